#include "client/engine/host.h"
#include "platform/sys/process.h"

namespace klc {

bool SystemRestarter::Restart() {
    plat::Process p;
    if (p.start({"systemctl", "reboot"}) != plat::SysError::Success) return false;
    return p.wait() == plat::WaitOutcome::Exited && p.exit_code() == 0;
}

} // namespace klc
