#include "client/engine/inf.h"

#include <cstdlib>

#include "platform/base/strings.h"
#include "platform/sys/files.h"

namespace klc {

InfFile InfFile::Load(const std::string& path) {
    if (auto length = plat::file_length(path); length && *length > static_cast<uint64_t>(kInfFileMax))
        return InfFile();
    plat::IniDocument doc;
    if (plat::IniDocument::load(path, doc) != plat::SysError::Success) return InfFile();
    return InfFile(std::move(doc));
}

std::optional<std::string> InfFile::Get(std::string_view section, std::string_view key) const {
    auto v = m_doc.get(section, key);
    if (v && v->size() > kInfValueMax) v->resize(kInfValueMax);
    return v;
}

std::string InfFile::GetString(std::string_view section, std::string_view key, std::string_view def) const {
    auto v = Get(section, key);
    return v ? *v : std::string(def);
}

int32_t InfFile::GetInt(std::string_view section, std::string_view key, int32_t def) const {
    auto v = Get(section, key);
    if (!v) return def;
    bool ok = false;
    int32_t n = plat::parse_leading_int(*v, &ok);
    return ok ? n : def;
}

int32_t InfFile::GetNumber(std::string_view section, std::string_view key, int32_t def) const {
    auto v = Get(section, key);
    if (!v) return def;
    long long n = std::strtoll(v->c_str(), nullptr, 0);
    if (n > INT32_MAX) n = INT32_MAX;
    if (n < INT32_MIN) n = INT32_MIN;
    return static_cast<int32_t>(n);
}

} // namespace klc
