#pragma once
// Where an update may reach. Paths in INF files come from a server, which may
// be anyone on the network path: before a file is written, backed up,
// removed, renamed, run or loaded, its path is resolved on this machine and
// must lie in the folders the update belongs in: the emulated machine, the
// folder the client started in, or the product folder this machine itself
// names. Registry values that start programs or steer the client are never
// written for a server either.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klc {

class CClientContext;
struct CUpdate;

// An expanded path text from an INF file as a full path on this machine:
// either separator, a drive ("C:\x", "C:x") rooted in the emulated machine
// rather than the real root, a relative path taken below `base`, and "." and
// ".." resolved as text. Links are left for InstallScope to see through.
std::string ResolveInstallPath(std::string_view expanded, std::string_view base);

// The place a path really names: every link among its existing elements
// followed (also a dangling last one), "." and ".." resolved on the way.
// nullopt when links loop or nest too deep.
std::optional<std::string> RealLocation(std::string_view full_path);

// The folders one update may change.
class InstallScope {
  public:
    // The emulated machine (its folders as the environment names them too),
    // the client's product folder, the update's product folder when this
    // machine named it (registry or server list), and the backup folder when
    // the person chose it.
    static InstallScope ForUpdate(const CClientContext& ctx, const CUpdate& update);

    // Adds a folder (a full path); "/" is never taken.
    void AddRoot(std::string_view folder);
    // A file no update may touch even inside the folders (the registry store,
    // the copy-on-restart batch).
    void AddProtectedFile(std::string_view path);
    // A folder no update may touch, nor anything in it (the client's store
    // of pieces, its journal and its batch).
    void AddProtectedFolder(std::string_view path);

    // Empty when the path (a full path from ResolveInstallPath) may be
    // changed; otherwise why not, for the log.
    std::string Refusal(std::string_view path) const;

  private:
    std::vector<std::string> m_roots;     // real locations
    std::vector<std::string> m_protected; // real locations
    std::vector<std::string> m_protected_folders;
};

// True for registry paths no server may write: the keys whose values start
// programs at the next start (Run, RunOnce and their siblings, any hive, any
// case), the client's own settings and path keys, and the machine's folder
// values the client's paths are built from.
bool IsProtectedRegistryPath(std::string_view path);

} // namespace klc
