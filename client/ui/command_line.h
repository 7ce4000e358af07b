#pragma once
// The client's switches: each argument is matched against a fixed table of
// switch names, in order; a switch ends at its name, or goes on with ":" or
// "=" and its value. Arguments that match nothing are ignored.
#include <string>
#include <string_view>
#include <vector>

#include "client/engine/context.h"
#include "client/ui/settings.h"

namespace klc {

// One argument as typed; one leading "/", "-" or "--" is dropped first.
// False when it matches no switch (it is then ignored).
bool ParseParam(std::string_view argument, CClientContext& ctx, ConnectionSettings& connection);
void ParseCommandLine(const std::vector<std::string>& arguments, CClientContext& ctx,
                      ConnectionSettings& connection);

// The arguments that match no switch, as typed (a mistyped AUTOX, say).
std::vector<std::string> UnknownArguments(const std::vector<std::string>& arguments);

// True when the arguments ask for the switch list (--help, /?, ...).
bool WantsHelp(const std::vector<std::string>& arguments);
// The switch list --help prints.
std::string HelpText();

} // namespace klc
