// The variables that paths from INF files are expanded against. The client
// sets them once at start-up; a variable the user already set is kept.
#include "client/engine/context.h"

#include "platform/config/machine.h"
#include "platform/config/registry.h"
#include "platform/sys/environment.h"

namespace klc {

void InitClientEnvironment(const CClientContext& ctx) {
    plat::Environment& env = plat::Environment::process();
    if (!env.contains("SYSTEM")) env.set("SYSTEM", plat::system_folder().string());
    env.set("SYS", env.value("SYSTEM"));
    if (!env.contains("WINDIR")) env.set("WINDIR", plat::windows_folder().string());
    env.set("WIN", env.value("WINDIR"));
    if (!env.contains("TEMP")) env.set("TEMP", (plat::windows_folder() / "Temp").string());
    if (!env.contains("PROGRAMFILES")) {
        std::string pf = CClientContext::ReadRegistryText(
            "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/ProgramFilesDir");
        if (pf.empty()) pf = plat::program_files_folder().string();
        if (!pf.empty()) env.set("PROGRAMFILES", pf);
    }
    // Destination paths written by the designer say "%PROGRAM FILES%".
    if (!env.contains("PROGRAM FILES")) env.set("PROGRAM FILES", env.value("PROGRAMFILES"));
    env.set("PRODUCT", ctx.product_folder);
}

} // namespace klc
