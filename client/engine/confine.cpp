#include "client/engine/confine.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include "client/engine/context.h"
#include "client/engine/product.h"
#include "platform/base/strings.h"
#include "platform/config/machine.h"
#include "platform/sys/environment.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

// Elements of a path, either separator, empty ones dropped.
std::vector<std::string> elements(std::string_view path) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || plat::is_separator(path[i])) {
            if (i > start) out.emplace_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

// "" stands for the root while a path is being built.
void drop_last(std::string& path) {
    size_t cut = path.rfind('/');
    path.erase(cut == std::string::npos ? 0 : cut);
}

bool inside(std::string_view path, std::string_view root) {
    if (!path.starts_with(root)) return false;
    return path.size() == root.size() || path[root.size()] == '/';
}

constexpr int kMaxLinks = 40; // as the kernel allows

} // namespace

std::string ResolveInstallPath(std::string_view expanded, std::string_view base) {
    std::string start;
    std::string_view rest = expanded;
    if (rest.size() >= 2 && ((rest[0] | 0x20) >= 'a' && (rest[0] | 0x20) <= 'z') && rest[1] == ':') {
        // Every drive of the machine the path was written for is the
        // emulated machine here, never this machine's own root.
        start = plat::machine_root().string();
        rest.remove_prefix(2);
    } else if (rest.empty() || !plat::is_separator(rest[0])) {
        start = std::string(base);
    }
    std::string out;
    for (const std::string& e : elements(start + "/" + std::string(rest))) {
        if (e == ".") continue;
        if (e == "..") {
            drop_last(out); // the root's parent is the root
            continue;
        }
        out += '/';
        out += e;
    }
    return out.empty() ? "/" : out;
}

std::optional<std::string> RealLocation(std::string_view full_path) {
    std::vector<std::string> pending = elements(full_path);
    std::reverse(pending.begin(), pending.end());
    std::string done;
    int links = 0;
    while (!pending.empty()) {
        std::string e = std::move(pending.back());
        pending.pop_back();
        if (e == ".") continue;
        if (e == "..") {
            drop_last(done);
            continue;
        }
        std::string next = done + "/" + e;
        struct stat st {};
        if (::lstat(next.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            done = std::move(next);
            continue;
        }
        if (++links > kMaxLinks) return std::nullopt;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = ::readlink(next.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<size_t>(n));
        if (!target.empty() && target[0] == '/') done.clear();
        std::vector<std::string> more = elements(target);
        pending.insert(pending.end(), more.rbegin(), more.rend());
    }
    return done.empty() ? "/" : done;
}

void InstallScope::AddRoot(std::string_view folder) {
    if (folder.empty()) return;
    auto real = RealLocation(ResolveInstallPath(folder, "/"));
    if (!real || *real == "/") return;
    m_roots.push_back(std::move(*real));
}

void InstallScope::AddProtectedFile(std::string_view path) {
    if (auto real = RealLocation(ResolveInstallPath(path, "/"))) m_protected.push_back(std::move(*real));
}

void InstallScope::AddProtectedFolder(std::string_view path) {
    if (auto real = RealLocation(ResolveInstallPath(path, "/")); real && *real != "/")
        m_protected_folders.push_back(std::move(*real));
}

std::string InstallScope::Refusal(std::string_view path) const {
    auto real = RealLocation(path);
    if (!real) return plat::strprintf("%.*s leads through too many links", int(path.size()), path.data());
    bool owned = false;
    for (const std::string& p : m_protected)
        owned = owned || *real == p;
    for (const std::string& folder : m_protected_folders)
        owned = owned || inside(*real, folder);
    if (owned)
            return plat::strprintf("%.*s belongs to the client and the machine", int(path.size()),
                                   path.data());
    for (const std::string& root : m_roots)
        if (inside(*real, root)) return {};
    if (*real != path)
        return plat::strprintf("%.*s (%s) lies outside the product and the machine", int(path.size()),
                               path.data(), real->c_str());
    return plat::strprintf("%.*s lies outside the product and the machine", int(path.size()), path.data());
}

InstallScope InstallScope::ForUpdate(const CClientContext& ctx, const CUpdate& update) {
    InstallScope scope;
    scope.AddRoot(plat::machine_root().string());
    // The person may have put the machine's folders elsewhere.
    for (const char* name : {"SYSTEM", "SYS", "WINDIR", "WIN", "TEMP", "PROGRAMFILES", "PROGRAM FILES"})
        if (auto value = plat::get_environment(name)) scope.AddRoot(*value);
    scope.AddRoot(ctx.product_folder);
    if (update.product_path_local && !update.product_path.empty()) {
        // A value in the registry names a product's folder, never the whole
        // home folder or anything above it.
        std::string folder = ResolveInstallPath(update.product_path, ctx.product_folder);
        auto home = plat::get_environment("HOME");
        auto real_home = home && !home->empty() ? RealLocation(*home) : std::nullopt;
        auto real = RealLocation(folder);
        if (real && !(real_home && inside(*real_home, *real))) scope.AddRoot(folder);
    }
    // A backup folder the person chose; the default one lies in the
    // update's product folder and is checked like every other path.
    if (!ctx.backup_folder.empty() &&
        plat::to_lower(ctx.backup_folder).find("%product%") == std::string::npos)
        scope.AddRoot(ResolveInstallPath(ctx.ExpandPath(ctx.backup_folder), ctx.product_folder));

    std::string store = plat::registry_file().string();
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        scope.AddProtectedFile(store + suffix);
    scope.AddProtectedFile(
        plat::join_path(ResolveInstallPath(ctx.ExpandPath(), ctx.product_folder), "KlClient.bat"));
    scope.AddProtectedFolder(ctx.StoreFolder());
    return scope;
}

bool IsProtectedRegistryPath(std::string_view path) {
    auto r = ParseRegistryPath(path);
    if (!r) return false; // unusable: nothing is written anyway
    std::vector<std::string> keys;
    for (const std::string& e : elements(r->key))
        keys.push_back(plat::to_lower(e));
    std::string value = plat::to_lower(r->value_name);

    bool after_current_version = false;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& k = keys[i];
        // Every key whose values the machine starts: Run, RunOnce, RunOnceEx,
        // RunServices, RunServicesOnce, also below Policies\Explorer.
        if (after_current_version && (k == "run" || k == "runonce" || k == "runonceex" ||
                                      k == "runservices" || k == "runservicesonce"))
            return true;
        if (k == "currentversion") after_current_version = true;
        // The client's settings and the path it publishes of itself.
        if (k == "marovia" && i + 1 < keys.size() && keys[i + 1] == "kestrelite") return true;
    }
    // The machine's folders that paths expand to.
    auto ends_with = [&](std::initializer_list<const char*> tail) {
        if (keys.size() < tail.size()) return false;
        size_t at = keys.size() - tail.size();
        for (const char* t : tail)
            if (keys[at++] != t) return false;
        return true;
    };
    if (ends_with({"microsoft", "windows", "currentversion"}) &&
        (value == "programfilesdir" || value == "commonfilesdir"))
        return true;
    if (ends_with({"microsoft", "windows nt", "currentversion"}) && value == "systemroot") return true;
    return false;
}

} // namespace klc
