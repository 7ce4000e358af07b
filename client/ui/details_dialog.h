#pragma once
// Shows an update's news text; "Close" ends it.
#include <QDialog>

#include "platform/ui/prompt.h"

namespace klc {

class CDetailsDlg : public QDialog, public plat::ui::IModalDialog {
    Q_OBJECT
  public:
    explicit CDetailsDlg(const QString& text, QWidget* parent = nullptr);

    std::string dialog_name() const override { return "details"; }
    int32_t exec_modal() override { return exec(); }
    void done_with(int32_t result) override { done(result); }
};

} // namespace klc
