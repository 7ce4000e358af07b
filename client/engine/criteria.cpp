#include "client/engine/criteria.h"

#include <fcntl.h>
#include <unistd.h>

#include "client/engine/confine.h"
#include "platform/base/strings.h"
#include "platform/sys/environment.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {

TypedValue SplitTyped(std::string_view text, int32_t default_type) {
    TypedValue out;
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        out.type = default_type;
        out.rest = std::string(text);
        return out;
    }
    out.type = plat::parse_leading_int(text.substr(0, comma));
    out.rest = std::string(text.substr(comma + 1));
    out.has_type = true;
    return out;
}

std::string CutLastComponent(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string_view::npos) return {};
    return std::string(path.substr(0, cut));
}

namespace {

std::string file_version_string(const CClientContext& ctx, const std::string& file, std::string_view name) {
    CFileVersionInfo info;
    if (!info.Load(plat::native_path(ctx.ExpandPath(file)))) return {};
    return info.QueryString(name).value_or(std::string());
}

// Types 0-4 shared by the product path and the destination keys.
std::optional<std::string> resolve_folder(CClientContext& ctx, const TypedValue& v) {
    switch (v.type) {
    case 0:
        return ctx.ExpandPath(v.rest);
    case 1:
        return ctx.ExpandPath(CClientContext::ReadRegistryText(v.rest));
    case 2:
        return CutLastComponent(ctx.ExpandPath(CClientContext::ReadRegistryText(v.rest)));
    case 3:
        return ctx.ReadServerListValue(v.rest);
    case 4:
        return CutLastComponent(ctx.ReadServerListValue(v.rest));
    default:
        return std::nullopt;
    }
}

} // namespace

bool EvaluateCriteria(CClientContext& ctx, const InfFile& inf, std::string_view section,
                      ProductState& state) {
    // Product path: ProductPath wins over RegistryPath.
    auto product_path = inf.Get(section, "ProductPath");
    auto registry_path = inf.Get(section, "RegistryPath");
    if (product_path || registry_path) {
        ctx.WriteLog("... get product path", 3);
        TypedValue v;
        if (product_path)
            v = SplitTyped(*product_path, 0);
        else
            v = TypedValue{1, *registry_path, true};
        if (auto folder = resolve_folder(ctx, v)) {
            if (!folder->empty()) {
                state.product_path = *folder;
                state.product_path_local = v.type == 3 || v.type == 4 ||
                                           ((v.type == 1 || v.type == 2) && !IsProtectedRegistryPath(v.rest));
            }
            plat::set_environment("PRODUCT", state.product_path);
        }
    }

    if (auto text = inf.Get(section, "ProductVersion")) {
        ctx.WriteLog("... check product version", 3);
        TypedValue v = SplitTyped(*text, 0);
        switch (v.type) {
        case 0:
            state.version = ParseVersion(file_version_string(ctx, v.rest, "ProductVersion"));
            break;
        case 1:
            state.version = ParseVersion(file_version_string(ctx, v.rest, "FileVersion"));
            break;
        case 2:
            state.version = ParseVersion(
                file_version_string(ctx, CClientContext::ReadRegistryText(v.rest), "ProductVersion"));
            break;
        case 3:
            state.version = ParseVersion(
                file_version_string(ctx, CClientContext::ReadRegistryText(v.rest), "FileVersion"));
            break;
        case 4:
            state.version = CClientContext::ReadRegistryVersion(v.rest);
            break;
        case 5:
            state.version = ParseVersion(ctx.ReadServerListValue(v.rest));
            break;
        default:
            break;
        }
    }

    if (auto text = inf.Get(section, "ProductInstalled")) {
        ctx.WriteLog("... check if product installed ...", 3);
        TypedValue v = SplitTyped(*text, 1);
        int32_t installed = 0;
        switch (v.type) {
        case 0:
            installed = 1;
            break;
        case 1:
        case 2:
            installed = CClientContext::FileExists(ctx.ExpandPath(v.rest));
            break;
        case 3:
        case 4: {
            std::string value = CClientContext::ReadRegistryText(v.rest);
            installed = !value.empty() && CClientContext::FileExists(ctx.ExpandPath(value));
            break;
        }
        case 5:
            installed = CClientContext::RegistryKeyExists(v.rest);
            break;
        case 6:
            installed = state.version > ParseVersion(v.rest);
            break;
        case 7:
            installed = state.version < ParseVersion(v.rest);
            break;
        default:
            break;
        }
        state.installed = installed;
        ctx.WriteLog(installed ? "... IS INSTALLED" : "... NO INSTALLED", 3);
    }

    if (auto text = inf.Get(section, "Criteria")) {
        ctx.WriteLog("... check installation criteria ...", 3);
        TypedValue v = SplitTyped(*text, 0);
        uint64_t given = v.has_type ? ParseVersion(v.rest) : 0;
        if (given != 0) {
            if (v.type == 0)
                state.criteria_met = state.version < given;
            else if (v.type == 1)
                state.criteria_met = state.version > given;
        }
        ctx.WriteLog(state.criteria_met ? "... success" : "... fault", 3);
    }
    return state.installed && state.criteria_met;
}

bool EvaluateDestination(CClientContext& ctx, const InfFile& inf, std::string_view section,
                         std::string& path) {
    auto clsid = inf.Get(section, "CLSID");
    auto destination = inf.Get(section, "DestinationPath");
    if (!clsid && !destination) return false;
    // Modules are registered for their class under HKEY_CLASSES_ROOT.
    auto class_path = [](const std::string& id) {
        return "HKCR/CLSID/" + plat::trim(id) + "/InprocServer32/@";
    };
    TypedValue v;
    if (destination) {
        v = SplitTyped(*destination, 0);
    } else {
        v.type = 2;
        v.rest = class_path(*clsid);
    }
    auto folder = resolve_folder(ctx, v);
    if (!folder || folder->empty()) return false;
    path = *folder;
    return true;
}

int32_t CompareFlags(std::optional<int32_t> copy_flags, std::optional<int32_t> compare) {
    if (compare && *compare >= 0) {
        switch (*compare) {
        case 1:
        case 11:
            return cmp::NewerVersion;
        case 2:
        case 12:
            return cmp::OlderTime;
        case 3:
        case 13:
            return cmp::OtherSize;
        default:
            return cmp::Always;
        }
    }
    return copy_flags.value_or(cmp::Always);
}

bool CFileVersionInfo::Load(const std::string& path) {
    m_info = plat::read_version_info(path);
    return m_info.has_value();
}

const std::vector<plat::Translation>& CFileVersionInfo::Translations() const {
    static const std::vector<plat::Translation> none;
    return m_info ? m_info->translations : none;
}

std::optional<std::string> CFileVersionInfo::QueryString(std::string_view name,
                                                         std::optional<plat::Translation> translation) const {
    if (!m_info) return std::nullopt;
    if (!translation) {
        if (m_info->translations.empty()) return std::nullopt;
        translation = m_info->translations.front();
    }
    auto v = m_info->query_string(name, *translation);
    if (!v || v->empty()) return std::nullopt;
    return v;
}

std::string TargetPath(const CClientContext& ctx, std::string_view destination, std::string_view file_name) {
    std::string folder = ctx.ExpandPath(destination.empty() ? std::string_view("%PRODUCT%") : destination);
    // The file the installation would write: compared where it will land.
    return plat::join_path(ResolveInstallPath(folder, ctx.product_folder), file_name);
}

bool DecideInstall(const CClientContext& ctx, const InstallTest& t) {
    if (t.flags < 0) return true;
    std::string target = TargetPath(ctx, t.destination, t.file_name);
    // A file that exists but cannot be opened counts as missing.
    int fd = plat::is_file(target) ? ::open(target.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) return (t.flags & cmp::SkipMissing) == 0;
    bool decision = false;
    if (t.flags & (cmp::OlderTime | cmp::SameTime)) {
        auto modified = plat::file_modified(target);
        if (!modified) {
            decision = true;
        } else if (t.date) {
            // Stored dates have whole seconds; compare at that resolution.
            uint64_t have = modified->ticks / plat::kFileTimeTicksPerSecond;
            uint64_t want = t.date->ticks / plat::kFileTimeTicksPerSecond;
            if ((t.flags & cmp::OlderTime) && have < want) decision = true;
            if ((t.flags & cmp::SameTime) && have == want) decision = true;
        }
    }
    if (t.flags & cmp::OtherSize) {
        auto length = plat::file_length(target);
        if (!length || *length != static_cast<uint64_t>(static_cast<uint32_t>(t.size))) decision = true;
    }
    if (t.flags & (cmp::NewerVersion | cmp::SameVersion)) {
        CFileVersionInfo info;
        uint64_t have = 0;
        if (info.Load(target)) have = ParseVersion(info.QueryString("FileVersion").value_or(std::string()));
        if ((t.flags & cmp::NewerVersion) && t.version > have) decision = true;
        if ((t.flags & cmp::SameVersion) && t.version == have) decision = true;
    }
    ::close(fd);
    return decision;
}

} // namespace klc
