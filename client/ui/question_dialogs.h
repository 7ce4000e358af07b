#pragma once
// The two file questions of an installation: a file in use (236) and a
// backup that already exists (238). Each button ends the dialog with its
// answer number; Escape and the close button give the Cancel-role answer.
#include <QDialog>
#include <vector>

#include "platform/ui/prompt.h"

namespace klc {

class CQuestionDlg : public QDialog, public plat::ui::IModalDialog {
    Q_OBJECT
  public:
    struct ButtonSpec {
        QString text;
        int answer;
        bool is_default;
    };
    CQuestionDlg(std::string name, const QString& question, std::vector<ButtonSpec> buttons,
                 int cancel_answer, QWidget* parent = nullptr);

    std::string dialog_name() const override { return m_name; }
    int32_t exec_modal() override { return exec(); }
    void done_with(int32_t result) override { done(result); }
    void reject() override { done(m_cancel_answer); }
    // The button that gives this answer.
    class QPushButton* Button(int answer) const;

  private:
    std::string m_name;
    int m_cancel_answer;
};

class CFileInUseDlg : public CQuestionDlg {
    Q_OBJECT
  public:
    explicit CFileInUseDlg(const QString& question, QWidget* parent = nullptr);
};

class CConfirmOverwriteDlg : public CQuestionDlg {
    Q_OBJECT
  public:
    explicit CConfirmOverwriteDlg(const QString& question, QWidget* parent = nullptr);
};

} // namespace klc
