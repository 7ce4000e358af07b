#pragma once
// Mapping between the operating system's errno values and the system's own
// error numbers, and the English description a log line shows for them.
#include "platform/base/types.h"

namespace plat {

// The error number that stands for an errno value (EACCES → AccessDenied ...).
SysError sys_error_from_errno(int err);

// The errno value of the last failed call, as a system error number.
SysError last_sys_error();

// A short English description of an error number, for messages and logs
// ("The process cannot access the file because it is being used by another process.").
const char* sys_error_text(SysError e);

} // namespace plat
