#pragma once
// What applies on this machine: the product criteria keys of a catalogue link
// or a product INF, the destination keys, and the per-file compare test.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/engine/context.h"
#include "client/engine/inf.h"
#include "platform/fileinfo/version_info.h"
#include "platform/sys/file_time.h"

namespace klc {

// "type,rest": the type is the number before the first ","; without a ","
// the whole text is the rest and the default type applies.
struct TypedValue {
    int32_t type = 0;
    std::string rest;
    bool has_type = false;
};
TypedValue SplitTyped(std::string_view text, int32_t default_type);

// The text up to its last path separator: the folder of a file path.
std::string CutLastComponent(std::string_view path);

// The product values the criteria keys work on; links start with the product
// folder, 1, 0, 1, updates with their link's values.
struct ProductState {
    std::string product_path;
    int32_t installed = 1;
    uint64_t version = 0;
    int32_t criteria_met = 1;
    // The product path came from this machine (the client's folder, the
    // registry, the server list), not from a path a server wrote.
    bool product_path_local = true;
};

// Reads ProductPath/RegistryPath, ProductVersion, ProductInstalled and
// Criteria of the section. A key that is absent leaves its value as passed
// in. True when the product is installed and the criteria are met.
bool EvaluateCriteria(CClientContext& ctx, const InfFile& inf, std::string_view section, ProductState& state);

// The destination keys DestinationPath and CLSID of a section; true when
// they gave a folder, which then replaces `path`.
bool EvaluateDestination(CClientContext& ctx, const InfFile& inf, std::string_view section,
                         std::string& path);

// Compare flags of a file entry.
namespace cmp {
constexpr int32_t NewerVersion = 0x1;
constexpr int32_t SameVersion = 0x2;
constexpr int32_t OlderTime = 0x4;
constexpr int32_t SameTime = 0x8;
constexpr int32_t OtherSize = 0x10;
constexpr int32_t SkipMissing = 0x20;
constexpr int32_t Always = -1;
} // namespace cmp

// CopyFlags (default every bit), replaced by Compare when that is 0 or more:
// 1/11 the version test, 2/12 the date test, 3/13 the size test, others always.
int32_t CompareFlags(std::optional<int32_t> copy_flags, std::optional<int32_t> compare);

// One file's version resource, read through its first translation.
class CFileVersionInfo {
  public:
    bool Load(const std::string& path);
    const std::vector<plat::Translation>& Translations() const;
    // The string of the given translation (none: the first one); none when
    // missing or empty.
    std::optional<std::string> QueryString(std::string_view name,
                                           std::optional<plat::Translation> translation = std::nullopt) const;

  private:
    std::optional<plat::FileVersionInfo> m_info;
};

// What the compare test of one file entry looks at.
struct InstallTest {
    std::string destination; // empty: "%PRODUCT%"
    std::string file_name;
    int32_t flags = cmp::Always;
    std::optional<plat::FileTime> date; // the entry's Date, UTC
    int32_t size = 0;
    uint64_t version = 0;
};

// The full target path of a file entry (destination expanded, then the name).
std::string TargetPath(const CClientContext& ctx, std::string_view destination, std::string_view file_name);

// True when the entry is to be installed over what the machine has.
bool DecideInstall(const CClientContext& ctx, const InstallTest& test);

} // namespace klc
