#pragma once
// What every wizard page shares: the worker of a loading page, the
// notifications it posts, the questions it asks through the prompt, and how
// a failure becomes a box and a log line.
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "client/engine/host.h"
#include "client/ui/wizard_env.h"
#include "platform/ui/property_sheet.h"
#include "platform/ui/ui_thread.h"

class QVBoxLayout;

namespace klc {

class CKLMainWindow;

class CPGBase : public plat::ui::PropertyPage, public IClientHost {
    Q_OBJECT
  public:
    CPGBase(WizardEnv& env, QString caption);
    ~CPGBase() override;

    // --- the worker -------------------------------------------------------
    // Starts the worker unless one runs: DoWork, ReleaseEngine, ReportResult,
    // then the "work ended" notification to the page.
    bool StartWorker();
    bool WorkerRunning() const { return m_worker.joinable(); }
    // Cancels the engine, answers every open question with its "stopped"
    // answer and joins the worker. A worker that takes long is logged and
    // waited for; it is never killed.
    virtual void Cleanup();
    void WaitWorker();

    // --- failures -----------------------------------------------------------
    // The message text of a failure; the log line is written unless the
    // engine already wrote it.
    std::string GetErrorText(int32_t code, int32_t stage, bool already_logged);
    int32_t PageResult() const { return m_page_result; }
    bool Stopped() const { return m_stopped; }

    // --- the engine's questions and notifications (worker side) -------------
    void Notify(int32_t code, const std::string& text) override;
    void OnProgress(float fraction) override;
    void OnBytes(int64_t done, int64_t total) override;
    void ShowAdvertisement(const std::string& text) override;
    void AddAdvertisementLine(const std::string& line) override;
    int32_t AskFileInUse(const std::string& question) override;
    int32_t AskBackupExists(const std::string& question) override;
    bool AskOverwriteReadOnly(const std::string& question) override;
    bool AskContinue(int32_t code, const std::string& message) override;
    bool AskDeleteTempFiles() override;
    int32_t LoadUpdateIcon(const std::string& path) override;

    WizardEnv& Env() { return m_env; }
    CKLMainWindow* Wizard() const;

  protected:
    // On the worker.
    virtual int32_t DoWork() { return 0; }
    virtual void ReleaseEngine() {}
    virtual void StopEngine() {}
    // On the UI thread, in the order the worker posted them.
    virtual void OnNotify(int32_t /*code*/, const std::string& /*text*/) {}
    virtual void OnAdvertisement(const std::string& /*text*/, bool /*replace*/) {}
    virtual void OnProgressUpdate() {}
    virtual void OnWorkerDone() {}

    // The question to end the run, with Yes and No (No the default).
    bool AskTerminate();
    bool Automatic() const { return m_env.ctx.automatic_mode != 0; }
    // The page's content area, right of the picture every page shows.
    QVBoxLayout* MakeFrame();

    WizardEnv& m_env;
    std::atomic<int32_t> m_page_result{0};
    std::atomic<int32_t> m_stage{0};
    std::atomic<bool> m_stopped{false};
    // A failure already shown through AskContinue gets no second box.
    std::atomic<int32_t> m_shown_code{0};

    // Progress, written by the worker and read when the update arrives.
    std::atomic<int32_t> m_percent{0};
    std::atomic<int64_t> m_bytes_earlier{0};
    std::atomic<int64_t> m_bytes_file{0};
    std::atomic<int64_t> m_bytes_total{0};
    std::atomic<bool> m_bytes_changed{false};
    std::atomic<int64_t> m_start_ms{-1};

  private:
    void ReportResult();
    void QueueProgress();

    std::thread m_worker;
    std::mutex m_end_mutex;
    std::condition_variable m_end_cv;
    bool m_worker_ended{false};
    plat::ui::QuestionGate m_questions;
    std::atomic<bool> m_progress_queued{false};
};

} // namespace klc
