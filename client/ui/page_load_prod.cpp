#include "client/ui/page_load_prod.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "client/ui/artwork.h"
#include "client/ui/sheet.h"

namespace klc {

CPGLoadPROD::CPGLoadPROD(WizardEnv& env)
    : CPGLoading(env, QStringLiteral("Kestrelite Client (Downloading Products)")) {}

CPGLoadPROD::~CPGLoadPROD() {
    Cleanup();
}

void CPGLoadPROD::ReleaseWork() {
    // The installer's connection uses the engine: it goes first.
    m_installer.reset();
}

void CPGLoadPROD::on_create() {
    QVBoxLayout* content = BuildLoadingControls(IDS_NO_ADVERTISEMENT, 50, 500);
    auto* form = new QFormLayout;
    m_total = new QLabel(this);
    SetControlId(m_total, 1018);
    m_speed = new QLabel(this);
    SetControlId(m_speed, 1053);
    form->addRow(tr("of:"), m_total);
    form->addRow(tr("Time left:"), m_clock);
    form->addRow(tr("Speed (KB/s):"), m_speed);
    content->insertLayout(4, form);
    m_total_bar = new QProgressBar(this);
    SetControlId(m_total_bar, 1050);
    m_total_bar->setRange(0, 100);
    m_total_bar->setValue(0);
    content->insertWidget(5, m_total_bar);
}

bool CPGLoadPROD::on_set_active() {
    if (!m_env.ctx.script_text.empty()) {
        Cleanup();
        return false;
    }
    HideNext();
    if (m_running) return true;
    m_running = true;
    m_stopped = false;
    m_start_ms = -1;
    m_ticks = 0;
    CPageTransfer& engine = MakeEngine();
    m_installer = std::make_unique<CUpdateInstaller>(m_env.ctx, *this);
    m_installer->SetTransfer(&engine);
    StartWorker();
    return true;
}

int32_t CPGLoadPROD::DoWork() {
    m_stage = STAGE_FILE;
    int32_t r = m_installer->LoadUpdates(m_env.catalogue, TransferSettingsOf(m_env.run),
                                         RequestTemplateOf(m_env.run));
    if (m_installer->Stopped()) m_stopped = true;
    // The installer logged its failures and asked about them already.
    m_page_result = m_installer->PageResult();
    return r;
}

void CPGLoadPROD::OnNotify(int32_t code, const std::string& text) {
    CPGLoading::OnNotify(code, text);
    if (code == NOTIFY_TOTAL) m_total->setText(QString::fromStdString(text));
}

void CPGLoadPROD::OnProgressUpdate() {
    CPGLoading::OnProgressUpdate();
    m_total_bar->setValue(TotalPercent());
}

int CPGLoadPROD::TotalPercent() const {
    int64_t total = m_bytes_total;
    if (total <= 0) return 0;
    return static_cast<int>(std::clamp<int64_t>((m_bytes_earlier + m_bytes_file) * 100 / total, 0, 100));
}

void CPGLoadPROD::tick() {
    ++m_ticks;
    bool changed = m_bytes_changed.exchange(false);
    if (m_ticks >= 8 || changed) {
        m_ticks = 0;
        ShowEstimate();
    }
}

void CPGLoadPROD::ShowEstimate() {
    if (!m_clock) return;
    int64_t start = m_start_ms;
    if (start < 0) return;
    Estimate e = ComputeEstimate(m_bytes_earlier + m_bytes_file, m_bytes_total, m_env.clock.NowMs() - start);
    m_clock->setText(QString::fromStdString(e.TimeLeftText()));
    m_speed->setText(QString::fromStdString(e.SpeedText()));
}

QString CPGLoadPROD::TimeLeftText() const {
    return m_clock ? m_clock->text() : QString();
}
QString CPGLoadPROD::SpeedText() const {
    return m_speed ? m_speed->text() : QString();
}
QString CPGLoadPROD::TotalText() const {
    return m_total ? m_total->text() : QString();
}

void CPGLoadPROD::OnWorkerDone() {
    if (!m_running) return;
    m_running = false;
    Cleanup();
    if (CKLMainWindow* w = Wizard()) w->GoToLog();
}

} // namespace klc
