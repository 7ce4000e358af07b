#pragma once
// Asks for a server of this run only: a name and the catalogue's address.
// "Add" is enabled only while both are given.
#include <QDialog>

#include "platform/ui/prompt.h"

class QLineEdit;
class QPushButton;

namespace klc {

class CServerLocationDlg : public QDialog, public plat::ui::IModalDialog {
    Q_OBJECT
  public:
    explicit CServerLocationDlg(QWidget* parent = nullptr);

    std::string dialog_name() const override { return "server"; }
    int32_t exec_modal() override { return exec(); }
    void done_with(int32_t result) override { done(result); }

    QString Name() const;
    QString Url() const;
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* UrlEdit() const { return m_url; }
    QPushButton* AddButton() const { return m_add; }

  private:
    QLineEdit* m_name;
    QLineEdit* m_url;
    QPushButton* m_add;
};

} // namespace klc
