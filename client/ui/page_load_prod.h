#pragma once
// The update page: downloads and installs the selected updates on its
// worker, with the total progress, the speed and the time left.
#include "client/ui/estimate.h"
#include "client/ui/page_loading.h"

namespace klc {

class CUpdateInstaller;

class CPGLoadPROD : public CPGLoading {
    Q_OBJECT
  public:
    explicit CPGLoadPROD(WizardEnv& env);
    ~CPGLoadPROD() override;

    void on_create() override;
    bool on_set_active() override;
    plat::ui::WizardMove on_wizard_next() override { return plat::ui::WizardMove::stay(); }
    // Every 500 ms: the estimate on every 8th tick or when bytes arrived.
    void tick() override;
    QString TimeLeftText() const;
    QString SpeedText() const;
    QString TotalText() const;
    int TotalPercent() const;

  protected:
    int32_t DoWork() override;
    void OnWorkerDone() override;
    void OnNotify(int32_t code, const std::string& text) override;
    void OnProgressUpdate() override;
    void ReleaseWork() override;

  private:
    void ShowEstimate();

    std::unique_ptr<CUpdateInstaller> m_installer;
    class QLabel* m_total{nullptr};
    class QLabel* m_speed{nullptr};
    class QProgressBar* m_total_bar{nullptr};
    int m_ticks{0};
    bool m_running{false};
};

} // namespace klc
