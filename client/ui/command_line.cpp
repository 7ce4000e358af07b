#include "client/ui/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "platform/base/strings.h"

namespace klc {
namespace {

using Value = std::optional<std::string_view>;

// As strtol with base 0: decimal, "0x" hexadecimal, leading-zero octal,
// stopping at the first character that does not fit.
int32_t ToNumber(std::string_view text) {
    std::string s(text);
    return static_cast<int32_t>(std::strtol(s.c_str(), nullptr, 0));
}

struct Switch {
    const char* name;
    void (*handle)(Value value, CClientContext& ctx, ConnectionSettings& conn);
};

// Tried in this order, so BACKUPDIR is met before BACKUP and LOGFILE before LOG.
const Switch kSwitches[] = {
    {"WORKDIR", [](Value, CClientContext&, ConnectionSettings&) {}},
    {"BACKUPDIR", [](Value v, CClientContext& ctx,
                     ConnectionSettings&) { ctx.backup_folder = std::string(v.value_or("")); }},
    {"INIFILE", [](Value v, CClientContext& ctx,
                   ConnectionSettings&) { ctx.server_list_file = std::string(v.value_or("")); }},
    {"INFFILE",
     [](Value v, CClientContext& ctx, ConnectionSettings&) {
         ctx.current_server.url = std::string(v.value_or(""));
         ctx.current_server.name = ctx.current_server.url;
     }},
    {"LOGFILE",
     [](Value v, CClientContext& ctx, ConnectionSettings&) { ctx.log_file = std::string(v.value_or("")); }},
    {"PRODUCT",
     [](Value v, CClientContext& ctx, ConnectionSettings&) {
         if (!v || v->empty()) return;
         size_t comma = v->find(',');
         if (comma == std::string_view::npos) {
             ctx.product_filter = std::string(*v);
             return;
         }
         ctx.product_filter = std::string(v->substr(0, comma));
         ctx.update_filter = std::string(v->substr(comma + 1));
     }},
    {"TIMEOUT",
     [](Value v, CClientContext&, ConnectionSettings& conn) {
         if (!v) return;
         if (int32_t n = ToNumber(*v); n != 0) conn.request_timeout = n;
     }},
    {"AUTO", [](Value, CClientContext& ctx, ConnectionSettings&) { ctx.automatic_mode = 1; }},
    {"LOG",
     [](Value v, CClientContext& ctx, ConnectionSettings&) {
         if (v) ctx.log_level = ToNumber(*v);
     }},
    {"BACKUP",
     [](Value v, CClientContext& ctx, ConnectionSettings&) {
         if (v) ctx.backup_mode = ToNumber(*v);
     }},
    {"RUN", [](Value v, CClientContext& ctx,
               ConnectionSettings&) { ctx.final_program = std::string(v.value_or("")); }},
    {"SCRIPT", [](Value v, CClientContext& ctx,
                  ConnectionSettings&) { ctx.script_text = std::string(v.value_or("")); }},
    {"NOSETTINGS", [](Value v, CClientContext& ctx,
                      ConnectionSettings&) { ctx.settings_button = (v && !plat::iequals(*v, "0")) ? 1 : 0; }},
};

std::string_view StripMarker(std::string_view a) {
    if (a.starts_with("--")) return a.substr(2);
    if (a.starts_with("/") || a.starts_with("-")) return a.substr(1);
    return a;
}

// The names are ASCII: compared byte by byte without regard to case, so a
// letter outside ASCII never shifts where the value starts.
bool StartsWithName(std::string_view arg, std::string_view name) {
    if (arg.size() < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = arg[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != name[i]) return false;
    }
    return true;
}

} // namespace

bool ParseParam(std::string_view argument, CClientContext& ctx, ConnectionSettings& connection) {
    std::string_view arg = StripMarker(argument);
    if (arg.empty()) return false;
    for (const Switch& sw : kSwitches) {
        std::string_view name = sw.name;
        if (!StartsWithName(arg, name)) continue;
        if (arg.size() == name.size()) {
            sw.handle(std::nullopt, ctx, connection);
            return true;
        }
        char next = arg[name.size()];
        if (next == ':' || next == '=') {
            sw.handle(arg.substr(name.size() + 1), ctx, connection);
            return true;
        }
    }
    return false;
}

void ParseCommandLine(const std::vector<std::string>& arguments, CClientContext& ctx,
                      ConnectionSettings& connection) {
    for (const std::string& a : arguments)
        ParseParam(a, ctx, connection);
}

std::vector<std::string> UnknownArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> unknown;
    CClientContext probe;
    ConnectionSettings run;
    for (const std::string& a : arguments)
        if (!a.empty() && !ParseParam(a, probe, run)) unknown.push_back(a);
    return unknown;
}

bool WantsHelp(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments)
        if (a == "--help" || a == "-help" || a == "/help" || a == "/?" || a == "-h" || a == "-?") return true;
    return false;
}

std::string HelpText() {
    return "Usage: KLClient [switch ...]\n"
           "Switches may begin with /, - or --; a value follows = or :.\n"
           "  INIFILE=file      server list file (default KLClient.INI)\n"
           "  INFFILE=url       catalogue address; skips the server choice\n"
           "  PRODUCT=name[,update]  install only this product (and update)\n"
           "  AUTO              run unattended from the catalogue to the end\n"
           "  LOG=0..3          log level for this run\n"
           "  LOGFILE=file      log file for this run (default KLClient.LOG)\n"
           "  TIMEOUT=ms        transfer stall limit for this run\n"
           "  BACKUP=0..2       backup mode for this run\n"
           "  BACKUPDIR=folder  backup folder\n"
           "  RUN=command       program started when the client ends\n"
           "  SCRIPT=text       skip to the log page\n"
           "  NOSETTINGS[=0]    hide the Settings button\n"
           "  WORKDIR=folder    accepted and ignored\n"
           "Exit status: 0 on success, 256 + code for a negative result, 1 when\n"
           "another instance is already running, 2 when the wizard has no display\n"
           "to open on (an unattended run with AUTO needs none).\n";
}

} // namespace klc
