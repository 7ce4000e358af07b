#include "client/ui/page_main.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/artwork.h"
#include "client/ui/server_list.h"
#include "client/ui/server_location_dialog.h"
#include "client/ui/settings_pages.h"
#include "client/ui/sheet.h"
#include "client/ui/title_static.h"

namespace klc {
namespace {

constexpr int kMaxServers = 101;

} // namespace

CPGMain::CPGMain(WizardEnv& env) : CPGBase(env, QStringLiteral("Kestrelite Client")) {}

void CPGMain::on_create() {
    QVBoxLayout* content = MakeFrame();
    auto* title = new CTitleStatic(QStringLiteral("WELCOME to Kestrelite™ !"), this);
    SetControlId(title, 1007);
    title->setFixedHeight(28);
    title->SetFont(true, true, false);
    content->addWidget(title);
    m_welcome = new QPlainTextEdit(this);
    SetControlId(m_welcome, 1004);
    m_welcome->setReadOnly(true);
    content->addWidget(m_welcome, 1);
    content->addWidget(new QLabel(tr("Server:"), this));
    m_combo = new QComboBox(this);
    SetControlId(m_combo, 1002);
    // Server names come from the list file: a long one must not widen the
    // page; the open list shows it whole.
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo->setMinimumContentsLength(16);
    content->addWidget(m_combo);
    connect(m_combo, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling && index >= 0 && index == m_combo->count() - 1)
            plat::ui::Post(this, [this] { SpecifyUrl(); });
    });
}

QString CPGMain::WelcomeText() const {
    return m_welcome ? m_welcome->toPlainText() : QString();
}

bool CPGMain::on_set_active() {
    CClientContext& ctx = m_env.ctx;
    if (!ctx.script_text.empty()) return false;
    if (!ctx.current_server.url.empty()) {
        ctx.WriteLogString(400, 3);
        return false;
    }
    CIniFile ini(ctx);
    std::string welcome = ini.ReadSection("Information");
    m_welcome->setPlainText(welcome.empty() ? ClientText(131) : QString::fromStdString(welcome));

    m_filling = true;
    m_combo->clear();
    m_servers.clear();
    for (int32_t n = 0; n < kMaxServers; ++n) {
        CServerEntry e;
        if (!ini.ReadServer(n, e)) break;
        m_servers.push_back(e);
        m_combo->addItem(QString::fromStdString(e.name));
    }
    if (m_servers.empty()) {
        ctx.WriteLogString(200, 1);
        plat::ui::Post(this, [this] { NoServer(); });
    }
    m_combo->addItem(ClientText(133));
    m_combo->setCurrentIndex(0);
    m_filling = false;

    auto* back = sheet()->button(plat::ui::PropertySheet::Back);
    back->setText(ClientText(132));
    back->setVisible(ctx.settings_button != 0);
    back->setEnabled(true);
    auto* next = sheet()->button(plat::ui::PropertySheet::Next);
    next->setVisible(true);
    next->setEnabled(true);
    return true;
}

void CPGMain::NoServer() {
    plat::ui::MessageRequest box{ClientText(146).toStdString(), "KLClient Error", plat::ui::MsgIcon::Error,
                                 plat::ui::MsgButtons::Ok, 0};
    m_env.prompt.message(box);
    if (auto* w = Wizard()) plat::ui::Post(w, [w] { w->GoToLog(); });
}

void CPGMain::SpecifyUrl() {
    CServerLocationDlg dlg(this);
    int32_t r = m_env.prompt.run_modal(dlg);
    m_filling = true;
    if (r == QDialog::Accepted && !dlg.Name().isEmpty() && !dlg.Url().isEmpty()) {
        // A server of this run only: the list file is never written.
        m_servers.push_back({dlg.Name().toStdString(), dlg.Url().toStdString(), {}, {}});
        int at = m_combo->count() - 1;
        m_combo->insertItem(at, dlg.Name());
        m_combo->setCurrentIndex(at);
    } else {
        m_combo->setCurrentIndex(0);
    }
    m_filling = false;
}

plat::ui::WizardMove CPGMain::on_wizard_next() {
    int i = m_combo->currentIndex();
    if (i >= 0 && static_cast<size_t>(i) < m_servers.size())
        m_env.ctx.current_server = m_servers[static_cast<size_t>(i)];
    sheet()->button(plat::ui::PropertySheet::Back)->hide();
    return plat::ui::WizardMove::go_on();
}

plat::ui::WizardMove CPGMain::on_wizard_back() {
    // The Settings button.
    auto settings = MakeSettingsSheet({m_env.ctx, m_env.run, m_env.stored, m_env.prompt}, this);
    SettingsSheetDialog dialog(*settings);
    m_env.prompt.run_modal(dialog);
    return plat::ui::WizardMove::stay();
}

bool CPGMain::on_query_cancel() {
    if (AskTerminate())
        if (auto* w = Wizard()) w->GoToLog();
    return false;
}

} // namespace klc
