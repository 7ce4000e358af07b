#include "client/engine/context.h"

#include <cctype>
#include <unistd.h>

#include "platform/base/strings.h"
#include "platform/config/ini.h"
#include "platform/sys/environment.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"

namespace klc {

CClientContext::CClientContext() {
    char buf[4096];
    if (getcwd(buf, sizeof buf)) product_folder = buf;
}

CClientContext::~CClientContext() {
    CloseRunFolder();
}

CClientContext& ClientContext() {
    static CClientContext context;
    return context;
}

std::string CClientContext::ExpandPath(std::optional<std::string_view> text) const {
    return plat::expand_environment(text ? *text : std::string_view(temporary_folder));
}

std::string CClientContext::LogFilePath(std::optional<std::string_view> name) const {
    std::string n(name ? *name : std::string_view(log_file));
    if (n.empty()) return n;
    // A full path, with or without a drive, stands; anything else lies in the
    // product folder.
    if (plat::is_absolute_path(n) || n.find(':') != std::string::npos) return plat::native_path(n);
    return plat::join_path(plat::native_path(product_folder), plat::native_path(n));
}

std::optional<std::string> CClientContext::UpdateFolder(std::optional<std::string_view> base,
                                                        const std::string* product, const std::string* update,
                                                        bool create) const {
    std::string folder = plat::native_path(base ? ExpandPath(*base) : RunFolder());
    auto descend = [&](const std::string& name) -> bool {
        auto safe = plat::safe_file_name(name);
        if (!safe) return false;
        folder = plat::join_path(folder, *safe);
        if (create) plat::create_folder(folder, true);
        return true;
    };
    if (product) {
        if (!descend(*product)) return std::nullopt;
        if (update && !descend(*update)) return std::nullopt;
    }
    return folder;
}

void CClientContext::CreateFolderPath(std::string_view path) {
    std::string native = plat::native_path(path);
    if (!native.empty()) plat::create_folder(native, true);
}

bool CClientContext::FileExists(std::string_view path) {
    return !path.empty() && plat::path_exists(plat::native_path(path));
}

std::string CClientContext::GetModulePath() {
    return plat::current_program_path();
}

std::string CClientContext::ServerListPath() const {
    std::string name = plat::native_path(server_list_file);
    if (name.empty()) return GetModulePath();
    if (plat::is_absolute_path(name)) return name;
    for (const std::string& folder : {plat::parent_path(GetModulePath()), plat::native_path(product_folder),
                                      plat::native_path(plat::expand_environment("%SYSTEM%"))}) {
        if (folder.empty() || folder.find('%') != std::string::npos) continue;
        std::string candidate = plat::join_path(folder, name);
        if (plat::is_file(candidate)) return candidate;
    }
    return name;
}

std::string CClientContext::ReadServerListValue(std::string_view section_and_key) const {
    size_t comma = section_and_key.find(',');
    if (comma == std::string_view::npos) return {};
    std::string section = plat::trim(section_and_key.substr(0, comma));
    std::string key = plat::trim(section_and_key.substr(comma + 1));
    return plat::ini_get_string(ServerListPath(), section, key);
}

// --- version and date texts --------------------------------------------------

std::string VersionText(uint64_t v) {
    return plat::strprintf("%u.%u.%u.%u", unsigned(v >> 48), unsigned((v >> 32) & 0xFFFF),
                           unsigned((v >> 16) & 0xFFFF), unsigned(v & 0xFFFF));
}

std::optional<plat::FileTime> ParseDate(std::string_view text, bool to_utc) {
    int32_t fields[6] = {0, 0, 0, 0, 0, 0};
    size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        bool digits = false;
        int64_t v = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            if (v < 100000) v = v * 10 + (text[pos] - '0');
            digits = true;
            ++pos;
        }
        if (!digits) break;
        fields[i] = static_cast<int32_t>(v);
        if (pos >= text.size()) break;
        ++pos; // the separator, whatever it is
    }
    plat::CalendarTime c;
    c.month = fields[0];
    c.day = fields[1];
    c.year = fields[2];
    c.hour = fields[3];
    c.minute = fields[4];
    c.second = fields[5];
    if (c.year < 100) c.year += c.year >= 50 ? 1900 : 2000;
    // The designer writes 12/30/1899 00:00:00 for "no date".
    if (c.year == 1899 && c.month == 12 && c.day == 30 && c.hour == 0 && c.minute == 0 && c.second == 0)
        return std::nullopt;
    plat::FileTime ft;
    if (!plat::file_time_from_calendar(c, to_utc, ft)) return std::nullopt;
    return ft;
}

} // namespace klc
