#pragma once
// The catalogue page: loads what the chosen server offers on its worker.
#include "client/ui/page_loading.h"

namespace klc {

class CPGLoadINF : public CPGLoading {
    Q_OBJECT
  public:
    explicit CPGLoadINF(WizardEnv& env);

    void on_create() override;
    bool on_set_active() override;
    plat::ui::WizardMove on_wizard_next() override { return plat::ui::WizardMove::stay(); }
    void tick() override;
    QString ElapsedText() const;

  protected:
    int32_t DoWork() override;
    void OnWorkerDone() override;

  private:
    bool m_running{false};
    bool m_failed{false};
};

} // namespace klc
