// The program the command line asks to start when the client ends.
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"

namespace klc {

bool StartFinalProgram(CClientContext& ctx) {
    // The command is split as a shell would split it (quotes, backslashes),
    // but no shell runs it: nothing in it is expanded.
    auto argv = plat::split_shell_words(ctx.final_program);
    plat::SysError e = plat::SysError::InvalidParameter;
    if (argv && !argv->empty()) {
        plat::Process process;
        plat::StartOptions options;
        options.working_folder = plat::native_path(ctx.product_folder);
        e = process.start(*argv, options);
    }
    if (e == plat::SysError::Success) return true;
    ctx.last_system_error = static_cast<int32_t>(e);
    ctx.WriteLog(ComposeErrorMessage(ERR_EXECUTE, 0, static_cast<int32_t>(e)).log + " (" + ctx.final_program + ")",
                 1);
    return false;
}

} // namespace klc
