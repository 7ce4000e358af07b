#include "client/ui/page_load_inf.h"

#include <QLabel>

#include "client/engine/catalogue_load.h"
#include "client/engine/errors.h"
#include "client/ui/select_updates.h"
#include "client/ui/sheet.h"
#include "platform/base/strings.h"

namespace klc {

CPGLoadINF::CPGLoadINF(WizardEnv& env)
    : CPGLoading(env, QStringLiteral("Kestrelite Client (Downloading Updates)")) {}

void CPGLoadINF::on_create() {
    BuildLoadingControls(136, 100, 1000, tr("Elapsed time:"));
}

bool CPGLoadINF::on_set_active() {
    if (!m_env.ctx.script_text.empty()) {
        Cleanup();
        return false;
    }
    HideNext();
    if (m_running) return true;
    m_running = true;
    m_failed = false;
    m_stopped = false;
    m_start_ms = -1;
    m_env.catalogue = CCatalogue{};
    MakeEngine();
    StartWorker();
    return true;
}

int32_t CPGLoadINF::DoWork() {
    m_stage = STAGE_PRODUCT_INF;
    int32_t r = LoadCatalogue(m_env.ctx, *this, m_env.catalogue, TransferSettingsOf(m_env.run),
                              RequestTemplateOf(m_env.run), m_engine.get());
    int32_t result = m_env.catalogue.result;
    // Links skipped for their criteria or for naming no file are no failure
    // of the run: the catalogue logged them already.
    if (result == ERR_LINK_CRITERIA || result == ERR_EMPTY_LINK || result == ERR_UNDEFINED_PRODUCT)
        result = 0;
    if (r != 0 && result >= 0 && m_env.ctx.cancel_event.is_set()) result = ERR_CANCELLED;
    // A product INF that failed, when the run went on past it, leaves the
    // products that loaded to be installed; the failure stays the run's result.
    m_failed = (r != 0 && result < 0) || m_stopped;
    m_page_result = result;
    return r;
}

void CPGLoadINF::tick() {
    if (m_start_ms < 0 || !m_clock) return;
    m_clock->setText(ElapsedText());
}

QString CPGLoadINF::ElapsedText() const {
    int64_t s = std::max<int64_t>(0, (m_env.clock.NowMs() - m_start_ms) / 1000);
    return QString::fromStdString(plat::strprintf("%02d:%02d:%02d", static_cast<int>(s / 3600),
                                                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60)));
}

void CPGLoadINF::OnWorkerDone() {
    if (!m_running) return;
    m_running = false;
    Cleanup();
    CKLMainWindow* w = Wizard();
    if (!w) return;
    // The catalogue is read only now that the worker is done with it.
    bool any = SelectUpdates(m_env.ctx, m_env.catalogue);
    if (!any || m_failed || m_stopped) {
        w->GoToLog();
        return;
    }
    w->set_active_page(Automatic() ? CKLMainWindow::PAGE_LOAD_PROD : CKLMainWindow::PAGE_VIEW_TREE);
}

} // namespace klc
