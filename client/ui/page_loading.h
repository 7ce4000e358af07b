#pragma once
// What both loading pages show: the title, three animations, the server and
// file being loaded, a progress bar, the bytes so far, a clock and the
// scrolling advertisement; and how notifications move them.
#include <QTimer>
#include <memory>

#include "client/engine/page_transfer.h"
#include "client/ui/page_base.h"

class QLabel;
class QProgressBar;

namespace klc {

class CAnimStatic;
class CTextStatic;

class CPGLoading : public CPGBase {
    Q_OBJECT
  public:
    CPGLoading(WizardEnv& env, QString caption);

    bool on_query_cancel() override;
    void Cleanup() override;

    // The page's clock step; the timer calls it, tests call it directly.
    virtual void tick() {}
    int AnimationStage() const { return m_anim_stage; }

  protected:
    // Builds the shared controls into the page's frame; the update page adds
    // its own after them.
    QVBoxLayout* BuildLoadingControls(int advert_string, int scroll_ms, int timer_ms,
                                      const QString& clock_label = {});
    void SetAnimationStage(int stage);
    void OnNotify(int32_t code, const std::string& text) override;
    void OnProgressUpdate() override;
    void OnAdvertisement(const std::string& text, bool replace) override;
    void StopEngine() override;
    void ReleaseEngine() override;
    // After the worker ended and before the engine goes: what uses it.
    virtual void ReleaseWork() {}
    // A fresh engine for the next run of the worker.
    CPageTransfer& MakeEngine();
    void HideNext();

    std::unique_ptr<CPageTransfer> m_engine;
    std::mutex m_engine_mutex;
    QTimer m_timer;
    CAnimStatic* m_anim[3]{};
    CTextStatic* m_advert{nullptr};
    QLabel* m_connecting{nullptr};
    QLabel* m_file{nullptr};
    QLabel* m_bytes{nullptr};
    QLabel* m_clock{nullptr};
    QProgressBar* m_progress{nullptr};
    int m_anim_stage{0};
    bool m_advert_replaced{false};
};

} // namespace klc
