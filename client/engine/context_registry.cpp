#include "client/engine/context.h"

#include "platform/base/strings.h"
#include "platform/config/registry.h"

namespace klc {

std::optional<RegistryPath> ParseRegistryPath(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '/') c = '\\';
    size_t first = p.find('\\');
    size_t last = p.rfind('\\');
    if (first == std::string::npos || first == last) return std::nullopt;
    auto hive = plat::parse_hive(plat::trim(p.substr(0, first)));
    // An unknown hive is refused: reading or writing some other hive in its
    // place would touch values the path never named.
    if (!hive) return std::nullopt;
    RegistryPath out;
    out.hive = static_cast<int32_t>(*hive);
    out.key = p.substr(first + 1, last - first - 1);
    out.value_name = p.substr(last + 1);
    if (out.value_name == "@" || plat::iequals(out.value_name, "(Default)")) out.value_name.clear();
    return out;
}

namespace {

plat::Hive hive_of(const RegistryPath& r) {
    return static_cast<plat::Hive>(r.hive);
}

} // namespace

std::string CClientContext::ReadRegistryText(std::string_view path) {
    auto r = ParseRegistryPath(path);
    if (!r) return {};
    plat::RegValue value;
    if (plat::registry().get_value(hive_of(*r), r->key, r->value_name, value) != plat::SysError::Success)
        return {};
    if (value.is_number()) return std::to_string(value.as_dword());
    return value.as_string();
}

uint64_t CClientContext::ReadRegistryVersion(std::string_view path) {
    auto r = ParseRegistryPath(path);
    if (!r) return 0;
    plat::RegValue value;
    if (plat::registry().get_value(hive_of(*r), r->key, r->value_name, value) != plat::SysError::Success)
        return 0;
    if (value.is_number()) return value.as_dword();
    return ParseVersion(value.as_string());
}

bool CClientContext::RegistryKeyExists(std::string_view path) {
    auto r = ParseRegistryPath(path);
    return r && plat::registry().key_exists(hive_of(*r), r->key);
}

bool CClientContext::WriteRegistryText(std::string_view path, std::string_view text, int32_t* sys_error) {
    auto r = ParseRegistryPath(path);
    plat::SysError e = plat::SysError::InvalidParameter;
    if (r) e = plat::registry().set_string(hive_of(*r), r->key, r->value_name, text);
    if (sys_error) *sys_error = static_cast<int32_t>(e);
    return e == plat::SysError::Success;
}

} // namespace klc
