#pragma once
// The window shown while Prepare builds the update: the overall percentage
// as a segmented bar and a label, and a Cancel button that asks before it
// raises the designer's cancel flag. The person cannot close it; code can.
#include <memory>

#include "KLDesigner/ui/progress_bar.h"
#include "platform/forms/form.h"

namespace kld {
class Designer;
}

namespace kld::ui {

class ProgressForm {
  public:
    explicit ProgressForm(Designer& designer);
    ~ProgressForm();

    plat::forms::Form& form() { return m_form; }
    ProgBar& bar() { return *m_bar; }

    // The bar's value and " <value> %", the value as the bar kept it.
    void OverallStatus(int32_t percent);
    std::string StatusText() const;
    void cmdCancel_Click();

  private:
    void Form_Load();

    Designer& m_designer;
    plat::forms::Form m_form{"frmProgress"};
    std::unique_ptr<ProgBar> m_bar;
};

// The About box, opened modally from the Help menu.
class AboutForm {
  public:
    explicit AboutForm(Designer& designer);
    plat::forms::Form& form() { return m_form; }

  private:
    Designer& m_designer;
    plat::forms::Form m_form{"frmAbout"};
};

} // namespace kld::ui
