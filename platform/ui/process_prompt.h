#pragma once
// The prompt of code that no caller hands one, such as a control inside a
// container: the one set last, else a Qt prompt of the process. It lives in
// the one Qt platform library, so a program and the libraries it loads share
// it.
#include "platform/ui/prompt.h"

namespace plat::ui {

IPrompt& ProcessPrompt();
// Null goes back to the Qt prompt; answers the previous one (null for it).
IPrompt* SetProcessPrompt(IPrompt* prompt);

} // namespace plat::ui
