#include "client/ui/app.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "client/ui/artwork.h"
#include "client/ui/command_line.h"
#include "client/ui/server_list.h"
#include "client/ui/sheet.h"
#include "platform/config/machine.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"
#include "platform/ui/ui_thread.h"

namespace klc {

int ExitStatus(int32_t last_result) {
    return last_result >= 0 ? 0 : 256 + last_result;
}

plat::ui::MsgAnswer UnattendedPrompt::message(const plat::ui::MessageRequest& request) {
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    switch (request.buttons) {
    case plat::ui::MsgButtons::Ok:
        return plat::ui::MsgAnswer::Ok;
    case plat::ui::MsgButtons::YesNo:
        return plat::ui::MsgAnswer::No;
    default:
        return plat::ui::MsgAnswer::Cancel;
    }
}

CClientApp::CClientApp(CClientContext& ctx, plat::ui::IPrompt& prompt, IRestarter& restarter,
                       const IClock& clock)
    : m_ctx(ctx), m_prompt(prompt), m_restarter(restarter), m_clock(clock) {}

CClientApp::~CClientApp() {
    *m_alive = false;
    m_instance.reset();
}

bool CClientApp::InitInstance(const std::vector<std::string>& arguments) {
    // Whether this run is unattended decides how a refusal is told.
    CClientContext probe;
    ConnectionSettings probe_run;
    ParseCommandLine(arguments, probe, probe_run);

    m_instance =
        std::make_unique<plat::SingleInstance>((plat::machine_root() / "run").string(), kInstanceName);
    std::weak_ptr<bool> alive = m_alive;
    bool first = m_instance->acquire([this, alive](const std::string& message) {
        if (message != kBroadcastMessage) return;
        // On the listener thread: the window is raised on the UI thread.
        plat::ui::Post(QCoreApplication::instance(), [this, alive] {
            if (alive.lock()) Broadcast();
        });
    });
    if (!first) {
        m_instance->send_to_first(kBroadcastMessage);
        m_instance.reset();
        std::string text = ClientText(300).toStdString();
        if (probe.automatic_mode) {
            std::fprintf(stderr, "%s\n", text.c_str());
        } else {
            m_prompt.message({text, "Kestrelite", plat::ui::MsgIcon::Warning, plat::ui::MsgButtons::Ok, 0});
        }
        return false;
    }

    std::error_code ec;
    m_ctx.product_folder = std::filesystem::current_path(ec).string();
    InitClientEnvironment(m_ctx);
    // A failed write of the program's own path changes nothing else.
    CClientContext::WriteRegistryText(kClientPathValue, CClientContext::GetModulePath());

    m_stored = LoadSettings();
    ApplySettings(m_stored, m_ctx);
    m_run = m_stored.connection;
    ParseCommandLine(arguments, m_ctx, m_run);
    if (m_ctx.server_list_file.empty()) m_ctx.server_list_file = "KLClient.INI";
    if (m_ctx.log_file.empty()) m_ctx.log_file = "KLClient.LOG";
    if (m_ctx.backup_folder.empty()) m_ctx.backup_folder = "%PRODUCT%";
    if (m_ctx.automatic_mode && m_ctx.current_server.url.empty())
        CIniFile(m_ctx).ReadServer(0, m_ctx.current_server);
    m_env.reset(new WizardEnv{m_ctx, m_stored, m_run, m_prompt, m_restarter, m_clock});
    return true;
}

void CClientApp::Broadcast() {
    if (m_sheet) m_sheet->BringToFront();
}

std::unique_ptr<CKLMainWindow> CClientApp::MakeWizard() {
    auto sheet = std::make_unique<CKLMainWindow>(*m_env);
    m_sheet = sheet.get();
    return sheet;
}

void CClientApp::RunWizard() {
    std::unique_ptr<CKLMainWindow> sheet = MakeWizard();
    // Started from inside the loop, so a wizard that finishes at once (an
    // unattended script) ends the loop instead of leaving it waiting.
    CKLMainWindow* w = sheet.get();
    QTimer::singleShot(0, w, [w] { w->Start(); });
    w->exec();
    w->CleanupPages();
}

void CClientApp::EndWizard() {
    SaveSettings(m_stored);
    m_instance.reset();
}

int CClientApp::ExitInstance() {
    m_ctx.CloseRunFolder();
    if (!m_ctx.final_program.empty()) StartFinalProgram(m_ctx);
    // Unattended runs never ask; the copies wait for the next start.
    if (m_ctx.reboot_pending && !m_ctx.automatic_mode) {
        plat::ui::MessageRequest box{ClientText(IDS_ASK_REBOOT).toStdString(), "KLClient",
                                     plat::ui::MsgIcon::Warning, plat::ui::MsgButtons::OkCancel, 1};
        if (m_prompt.message(box) == plat::ui::MsgAnswer::Ok) m_restarter.Restart();
    }
    m_ctx.ResultLine();
    return ExitStatus(m_ctx.last_result);
}

int CClientApp::Run(const std::vector<std::string>& arguments) {
    if (!InitInstance(arguments)) return kRefusedStatus;
    RunWizard();
    EndWizard();
    return ExitInstance();
}

} // namespace klc
