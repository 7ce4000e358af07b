#include "client/engine/host.h"

#include "platform/config/registry.h"
#include "platform/sys/process.h"

namespace klc {

bool SystemRestarter::Restart() {
    plat::Process p;
    if (p.start({"systemctl", "reboot"}) != plat::SysError::Success) return false;
    return p.wait() == plat::WaitOutcome::Exited && p.exit_code() == 0;
}

int32_t RunOnceCommands() {
    static constexpr const char* kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    int32_t started = 0;
    for (plat::Hive hive : {plat::Hive::LocalMachine, plat::Hive::CurrentUser}) {
        std::vector<plat::RegValueEntry> values;
        if (plat::registry().enum_values(hive, kKey, values) != plat::SysError::Success) continue;
        for (const auto& v : values) {
            plat::registry().delete_value(hive, kKey, v.name);
            // The command is split into its arguments; no shell sees it.
            std::vector<std::string> argv = plat::split_command_line(v.value.as_string());
            plat::Process p;
            if (argv.empty() || p.start(argv) != plat::SysError::Success) continue;
            p.wait();
            ++started;
        }
    }
    return started;
}

} // namespace klc
