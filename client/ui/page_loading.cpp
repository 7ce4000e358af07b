#include "client/ui/page_loading.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/anim_static.h"
#include "client/ui/artwork.h"
#include "client/ui/fitted_label.h"
#include "client/ui/text_static.h"
#include "client/ui/title_static.h"

namespace klc {

CPGLoading::CPGLoading(WizardEnv& env, QString caption) : CPGBase(env, std::move(caption)) {
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
}

QVBoxLayout* CPGLoading::BuildLoadingControls(int advert_string, int scroll_ms, int timer_ms,
                                              const QString& clock_label) {
    QVBoxLayout* content = MakeFrame();
    auto* title = new CTitleStatic(QStringLiteral("Kestrelite™ is downloading Updates . . ."), this);
    SetControlId(title, 1008);
    title->setFixedHeight(22);
    title->SetFont(true, true, false);
    content->addWidget(title);

    auto* anims = new QHBoxLayout;
    const int ids[] = {1009, 1051, 1011};
    plat::ui::ImageStrip frames = AnimationFrames();
    for (int i = 0; i < 3; ++i) {
        m_anim[i] = new CAnimStatic(this);
        SetControlId(m_anim[i], ids[i]);
        m_anim[i]->setFixedSize(24, 24);
        if (i == 0)
            m_anim[i]->LoadFrames(frames);
        else
            m_anim[i]->ShareFrames(*m_anim[0]);
        anims->addWidget(m_anim[i]);
    }
    anims->addStretch(1);
    content->addLayout(anims);

    auto* form = new QFormLayout;
    // The server's host and the file's name come from outside: they are cut
    // to the page's width, never widen it.
    auto label = [&](int id) {
        QLabel* l = id == 1000 || id == 1005 ? new CFittedLabel(1, this) : new QLabel(this);
        SetControlId(l, id);
        return l;
    };
    m_connecting = label(1000);
    m_file = label(1005);
    m_bytes = label(1014);
    m_clock = label(1015);
    form->addRow(tr("Connecting to:"), m_connecting);
    form->addRow(tr("Downloading file:"), m_file);
    form->addRow(tr("Bytes received:"), m_bytes);
    if (!clock_label.isEmpty()) form->addRow(clock_label, m_clock);
    content->addLayout(form);
    m_progress = new QProgressBar(this);
    SetControlId(m_progress, 1006);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    content->addWidget(m_progress);

    m_advert = new CTextStatic(this);
    SetControlId(m_advert, 1016);
    QFont bold = m_advert->font();
    bold.setBold(true);
    m_advert->setFont(bold);
    m_advert->setMinimumHeight(48);
    m_advert->SetTextFromString(advert_string);
    m_advert->StartScroll(scroll_ms, 1);
    content->addWidget(m_advert, 1);
    m_timer.setInterval(timer_ms);
    m_timer.start();
    return content;
}

void CPGLoading::SetAnimationStage(int stage) {
    if (stage == m_anim_stage || !m_anim[0]) return;
    m_anim_stage = stage;
    switch (stage) {
    case 1:
        m_anim[0]->Play(7, 13, -1);
        m_anim[1]->Play(0, 0, 0);
        m_anim[2]->Play(1, 1, 0);
        break;
    case 2:
        m_anim[0]->Play(2, 6, 1);
        m_anim[1]->Play(14, 21, -1);
        m_anim[2]->Play(0, 0, 0);
        break;
    case 3:
        m_anim[1]->Play(2, 6, 1);
        m_anim[2]->Play(23, 27, -1);
        break;
    }
}

void CPGLoading::OnNotify(int32_t code, const std::string& text) {
    switch (code) {
    case NOTIFY_CONNECTING:
        m_connecting->setText(QString::fromStdString(text));
        SetAnimationStage(1);
        break;
    case NOTIFY_DOWNLOADING:
        // The worker began the new file from 0 (CPGBase::Notify).
        m_progress->setValue(std::clamp<int>(m_percent, 0, 100));
        m_file->setText(QString::fromStdString(text));
        SetAnimationStage(2);
        break;
    case NOTIFY_DISCONNECTING:
        SetAnimationStage(3);
        break;
    }
}

void CPGLoading::OnProgressUpdate() {
    m_progress->setValue(std::clamp<int>(m_percent, 0, 100));
    m_bytes->setText(QString::number(m_bytes_earlier + m_bytes_file));
}

void CPGLoading::OnAdvertisement(const std::string& text, bool replace) {
    if (!m_advert) return;
    if (replace) {
        m_advert->SetText(QString::fromStdString(text));
    } else {
        // The first line of an update replaces the page's standing text.
        if (!m_advert_replaced) m_advert->SetText(QString());
        m_advert->AddLine(QString::fromStdString(text));
    }
    m_advert_replaced = true;
}

CPageTransfer& CPGLoading::MakeEngine() {
    std::lock_guard lock(m_engine_mutex);
    m_env.ctx.cancel_event.reset();
    m_engine = std::make_unique<CPageTransfer>(m_env.ctx, *this);
    return *m_engine;
}

void CPGLoading::StopEngine() {
    std::lock_guard lock(m_engine_mutex);
    if (m_engine) m_engine->Cancel();
}

void CPGLoading::ReleaseEngine() {
    // The connection of the work closed it already; the engine object goes
    // with the page's clean-up, after the worker ended.
}

void CPGLoading::Cleanup() {
    for (CAnimStatic* a : m_anim)
        if (a) a->Stop();
    if (m_advert) m_advert->StopScroll();
    m_timer.stop();
    CPGBase::Cleanup();
    ReleaseWork();
    std::lock_guard lock(m_engine_mutex);
    m_engine.reset();
}

void CPGLoading::HideNext() {
    auto* next = sheet()->button(plat::ui::PropertySheet::Next);
    next->setEnabled(false);
    next->hide();
    sheet()->button(plat::ui::PropertySheet::Back)->hide();
}

bool CPGLoading::on_query_cancel() {
    if (AskTerminate() && !m_stopped) {
        m_stopped = true;
        StopEngine();
    }
    return false;
}

} // namespace klc
