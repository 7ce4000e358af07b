#include "client/ui/page_base.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "client/engine/errors.h"
#include "client/ui/artwork.h"
#include "client/ui/question_dialogs.h"
#include "client/ui/sheet.h"

namespace klc {
namespace {

constexpr int kWaitBeforeLogMs = 3000;

} // namespace

CPGBase::CPGBase(WizardEnv& env, QString caption) : PropertyPage(std::move(caption)), m_env(env) {}

CPGBase::~CPGBase() {
    m_questions.release();
    if (m_worker.joinable()) m_worker.join();
}

CKLMainWindow* CPGBase::Wizard() const {
    return qobject_cast<CKLMainWindow*>(sheet());
}

QVBoxLayout* CPGBase::MakeFrame() {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* picture = new QLabel(this);
    picture->setPixmap(PagePicture());
    picture->setFixedSize(128, 256);
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture, 0, Qt::AlignTop);
    auto* content = new QVBoxLayout;
    row->addLayout(content, 1);
    return content;
}

// ------------------------------------------------------------ the worker

bool CPGBase::StartWorker() {
    if (m_worker.joinable()) return false;
    m_questions.reopen();
    {
        std::lock_guard lock(m_end_mutex);
        m_worker_ended = false;
    }
    m_worker = std::thread([this] {
        DoWork();
        ReleaseEngine();
        ReportResult();
        plat::ui::Post(this, [this] { OnWorkerDone(); });
        std::lock_guard lock(m_end_mutex);
        m_worker_ended = true;
        m_end_cv.notify_all();
    });
    return true;
}

void CPGBase::Cleanup() {
    StopEngine();
    WaitWorker();
}

void CPGBase::WaitWorker() {
    if (!m_worker.joinable()) return;
    m_questions.release();
    {
        std::unique_lock lock(m_end_mutex);
        if (!m_end_cv.wait_for(lock, std::chrono::milliseconds(kWaitBeforeLogMs),
                               [&] { return m_worker_ended; }))
            m_env.ctx.WriteLog("Waiting for the page's work to end ...", 2);
    }
    m_worker.join();
}

// ------------------------------------------------------------ failures

std::string CPGBase::GetErrorText(int32_t code, int32_t stage, bool already_logged) {
    ErrorMessage msg = ComposeErrorMessage(code, stage, m_env.ctx.last_system_error);
    m_page_result = 0;
    if (!already_logged) m_env.ctx.WriteLog(msg.log, 1);
    return msg.message;
}

void CPGBase::ReportResult() {
    int32_t code = m_page_result;
    if (code >= 0) return;
    m_env.ctx.last_result = code;
    std::string text = GetErrorText(code, m_stage, true);
    if (code == ERR_CANCELLED || Automatic() || m_stopped || code == m_shown_code) return;
    plat::ui::MessageRequest box{text, "KLClient", plat::ui::MsgIcon::Error, plat::ui::MsgButtons::Ok, 0};
    m_questions.ask<int>(
        this, [this, box] { return static_cast<int>(m_env.prompt.message(box)); }, 0);
}

bool CPGBase::AskTerminate() {
    plat::ui::MessageRequest box{ClientText(135).toStdString(), "KLClient", plat::ui::MsgIcon::Question,
                                 plat::ui::MsgButtons::YesNo, 1};
    return m_env.prompt.message(box) == plat::ui::MsgAnswer::Yes;
}

// ------------------------------------------------------------ notifications

void CPGBase::Notify(int32_t code, const std::string& text) {
    if (code == NOTIFY_DOWNLOADING) {
        // A new file's bar starts from nothing, whatever the last one reached.
        m_percent = 0;
        m_bytes_earlier += m_bytes_file.exchange(0);
        if (m_start_ms < 0) m_start_ms = m_env.clock.NowMs();
    }
    plat::ui::Post(this, [this, code, text] { OnNotify(code, text); });
}

void CPGBase::QueueProgress() {
    if (m_progress_queued.exchange(true)) return; // one update waits already
    plat::ui::Post(this, [this] {
        m_progress_queued = false;
        OnProgressUpdate();
    });
}

void CPGBase::OnProgress(float fraction) {
    m_percent = static_cast<int32_t>(fraction * 100.0f);
    QueueProgress();
}

void CPGBase::OnBytes(int64_t done, int64_t total) {
    if (total < 0) {
        m_bytes_file = done; // bytes of the current file
    } else {
        m_bytes_earlier = done;
        m_bytes_file = 0;
        m_bytes_total = total;
    }
    m_bytes_changed = true;
    QueueProgress();
}

void CPGBase::ShowAdvertisement(const std::string& text) {
    plat::ui::Post(this, [this, text] { OnAdvertisement(text, true); });
}

void CPGBase::AddAdvertisementLine(const std::string& line) {
    plat::ui::Post(this, [this, line] { OnAdvertisement(line, false); });
}

// ------------------------------------------------------------ questions

int32_t CPGBase::AskFileInUse(const std::string& question) {
    // Unattended: the file is still installed, at the next start.
    if (Automatic()) return IN_USE_COPY_ON_RESTART;
    return m_questions.ask<int32_t>(
        this,
        [this, question] {
            CFileInUseDlg dlg(QString::fromStdString(question), this);
            return m_env.prompt.run_modal(dlg);
        },
        IN_USE_SKIP);
}

int32_t CPGBase::AskBackupExists(const std::string& question) {
    if (Automatic()) return OVERWRITE_NO;
    return m_questions.ask<int32_t>(
        this,
        [this, question] {
            CConfirmOverwriteDlg dlg(QString::fromStdString(question), this);
            return m_env.prompt.run_modal(dlg);
        },
        OVERWRITE_NO);
}

bool CPGBase::AskOverwriteReadOnly(const std::string& question) {
    if (Automatic()) return false;
    plat::ui::MessageRequest box{question, "KLClient", plat::ui::MsgIcon::Question,
                                 plat::ui::MsgButtons::YesNo, 1};
    return m_questions.ask<bool>(
        this, [this, box] { return m_env.prompt.message(box) == plat::ui::MsgAnswer::Yes; }, false);
}

bool CPGBase::AskContinue(int32_t code, const std::string& message) {
    if (Automatic()) return true;
    m_shown_code = code;
    plat::ui::MessageRequest box{message, "KLClient", plat::ui::MsgIcon::Warning, plat::ui::MsgButtons::YesNo,
                                 1};
    bool go_on = m_questions.ask<bool>(
        this, [this, box] { return m_env.prompt.message(box) != plat::ui::MsgAnswer::Yes; }, false);
    if (!go_on) m_stopped = true;
    return go_on;
}

bool CPGBase::AskDeleteTempFiles() {
    if (Automatic()) return false;
    plat::ui::MessageRequest box{ClientText(140).toStdString(), "KLClient", plat::ui::MsgIcon::Question,
                                 plat::ui::MsgButtons::YesNo, 1};
    return m_questions.ask<bool>(
        this, [this, box] { return m_env.prompt.message(box) == plat::ui::MsgAnswer::Yes; }, false);
}

int32_t CPGBase::LoadUpdateIcon(const std::string& path) {
    return m_env.icons.Load(path);
}

} // namespace klc
