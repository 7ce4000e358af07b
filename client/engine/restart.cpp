#include "client/engine/host.h"

#include "client/engine/install.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"

namespace klc {

bool SystemRestarter::Restart() {
    plat::Process p;
    if (p.start({"systemctl", "reboot"}) != plat::SysError::Success) return false;
    return p.wait() == plat::WaitOutcome::Exited && p.exit_code() == 0;
}

int32_t RunOnceCommands() {
    // Only the client's own copy-on-restart batch is started, and only when
    // it holds nothing but the copies the client writes. Every other value of
    // the RunOnce keys is not the client's to run and stays where it is.
    auto path = ParseRegistryPath(kRunOncePath);
    if (!path) return 0;
    auto hive = static_cast<plat::Hive>(path->hive);
    plat::RegValue value;
    if (plat::registry().get_value(hive, path->key, path->value_name, value) != plat::SysError::Success)
        return 0;
    plat::registry().delete_value(hive, path->key, path->value_name);
    // The command is split into its arguments; no shell sees it.
    std::vector<std::string> argv = plat::split_command_line(value.as_string());
    if (argv.size() != 2 || argv[0] != "/bin/sh" || plat::file_name(argv[1]) != "KlClient.bat") return 0;
    CopyOnRestartBatch batch(argv[1]);
    std::string text;
    if (!batch.Load() || batch.Pairs().empty() ||
        plat::read_whole_file(argv[1], text) != plat::SysError::Success || text != batch.Text())
        return 0;
    plat::Process p;
    if (p.start(argv) != plat::SysError::Success) return 0;
    p.wait();
    return 1;
}

} // namespace klc
