#include "client/ui/server_list.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/base/strings.h"
#include "platform/config/ini.h"

namespace klc {
namespace {

constexpr size_t kSectionLimit = 4096;
constexpr size_t kValueLimit = 1024;

// The lines of one section exactly as the file holds them (without line ends).
std::vector<std::string> RawSectionLines(const std::string& path, std::string_view section) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    if (!in) return lines;
    std::string line;
    bool inside = false;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        first = false;
        std::string_view t = plat::trim_view(line);
        if (t.starts_with('[')) {
            if (inside) break;
            size_t close = t.find(']');
            inside = close != std::string_view::npos &&
                     plat::iequals(plat::trim_view(t.substr(1, close - 1)), section);
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

} // namespace

std::string CIniFile::ReadSection(std::optional<std::string_view> section) const {
    std::vector<std::string> lines = RawSectionLines(Path(), section.value_or(m_section));
    // Blank lines before the next section belong to no text.
    while (!lines.empty() && plat::trim_view(lines.back()).empty())
        lines.pop_back();
    std::string text;
    size_t used = 0;
    for (const std::string& raw : lines) {
        used += raw.size() + 1;
        if (used > kSectionLimit) break;
        std::string line = plat::trim(raw);
        if (line.size() > 1 && !line.starts_with(';')) text += line;
        if (line.starts_with(';')) continue;
        text += "\r\n";
    }
    return text;
}

std::string CIniFile::ReadString(std::string_view key, std::string_view def,
                                 std::optional<std::string_view> section) const {
    std::string value = plat::ini_get_string(Path(), section.value_or(m_section), key, def);
    if (value.size() > kValueLimit) value.resize(kValueLimit);
    return value;
}

bool CIniFile::ReadServer(int32_t n, CServerEntry& entry) const {
    std::string section = plat::strprintf("Server%d", n + 1);
    std::string inf = ReadString("INFFile", {}, section);
    if (inf.empty()) return false;
    entry.url = inf;
    entry.name = ReadString("Name", {}, section);
    std::string path = ReadString("Path", {}, section);
    if (!path.empty()) entry.url = path + "/" + inf;
    entry.user_name.clear();
    entry.password.clear();
    return !entry.name.empty();
}

} // namespace klc
