#pragma once
// The client program from start to end: one instance only, the environment
// every path expands against, the settings and the switches, the wizard,
// and at the end the final program, the restart question and the exit
// status.
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "client/engine/context.h"
#include "client/engine/host.h"
#include "client/ui/settings.h"
#include "client/ui/sheet.h"
#include "client/ui/wizard_env.h"
#include "platform/sys/single_instance.h"
#include "platform/ui/prompt.h"

namespace klc {

inline constexpr const char* kInstanceName = "KLClient module execution";
inline constexpr const char* kBroadcastMessage = "KLClient Broadcast Message";
inline constexpr const char* kClientPathValue = "HKLM/SOFTWARE/Marovia/Kestrelite/KLClientPath";

// The process exit status of a run's last result: 0 for success, 256 plus
// the (negative) client error code otherwise, so -8 exits 248.
int ExitStatus(int32_t last_result);

// A prompt for unattended runs: it never shows anything. Messages go to
// standard error; every question gets its cancelling answer.
class UnattendedPrompt : public plat::ui::IPrompt {
  public:
    plat::ui::MsgAnswer message(const plat::ui::MessageRequest& request) override;
    std::optional<std::string> choose_open_file(const plat::ui::FileRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> choose_save_file(const plat::ui::FileRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> choose_folder(const plat::ui::FolderRequest&) override { return std::nullopt; }
    int32_t run_modal(plat::ui::IModalDialog&) override { return 0; }
    bool open_url(const std::string&) override { return false; }
};

class CClientApp {
  public:
    static constexpr int kRefusedStatus = 1;

    CClientApp(CClientContext& ctx, plat::ui::IPrompt& prompt, IRestarter& restarter, const IClock& clock);
    ~CClientApp();

    // Start-up up to the wizard. False when another instance runs: it was
    // told to come to the front, and this one ends with kRefusedStatus.
    bool InitInstance(const std::vector<std::string>& arguments);
    // The wizard window, known to this run so that another instance can
    // bring it to the front.
    std::unique_ptr<CKLMainWindow> MakeWizard();
    // The wizard, run modally; returns when it closed.
    void RunWizard();
    // Saves the settings and gives the instance lock up.
    void EndWizard();
    // The end of the run; returns the exit status.
    int ExitInstance();
    // All of it.
    int Run(const std::vector<std::string>& arguments);

    // The wizard while it runs (tests drive it).
    CKLMainWindow* Sheet() const { return m_sheet; }
    WizardEnv& Env() { return *m_env; }
    ClientSettings& Stored() { return m_stored; }
    ConnectionSettings& Connection() { return m_run; }

  private:
    void Broadcast();

    CClientContext& m_ctx;
    plat::ui::IPrompt& m_prompt;
    IRestarter& m_restarter;
    const IClock& m_clock;
    ClientSettings m_stored;
    ConnectionSettings m_run;
    std::unique_ptr<WizardEnv> m_env;
    std::unique_ptr<plat::SingleInstance> m_instance;
    QPointer<CKLMainWindow> m_sheet;
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
};

} // namespace klc
