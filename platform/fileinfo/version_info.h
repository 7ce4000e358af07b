#pragma once
// Version information of a file, as the system reads it from an executable's
// version resource: the fixed part (versions, flags, file type), the
// translation table and the string tables.
//
// Windows executables and libraries (PE32 and PE32+) carry a real version
// resource. Linux programs and shared libraries (ELF) carry the same version
// block, byte for byte as a resource compiler writes it (little-endian in
// every ELF byte order), in a section of its own named ".kl_version"
// (kElfVersionSection; the build adds it with kl_embed_version_info from
// cmake/KLVersionInfo.cmake). When the block leaves the file type unknown,
// the ELF header gives it. An ELF file without that section has only what its
// header says: the file type, every version number 0, so the callers that
// only ask "is this a program?" get an answer on Linux too.
//
// Anything else, and any truncated or damaged file, is "no version
// information": read_version_info returns an empty optional. So is an ELF file
// whose section table, section names or version block are damaged. The reader never
// trusts a size or offset in the file; every read is checked against what is
// really there.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// File types of the fixed part (the platform's VFT_ values).
constexpr uint32_t VFT_UNKNOWN = 0;
constexpr uint32_t VFT_APP = 1;
constexpr uint32_t VFT_DLL = 2;
constexpr uint32_t VFT_DRV = 3;
constexpr uint32_t VFT_FONT = 4;
constexpr uint32_t VFT_VXD = 5;
constexpr uint32_t VFT_STATIC_LIB = 7;

// File flags of the fixed part (the platform's VS_FF_ values).
constexpr uint32_t VS_FF_DEBUG = 0x01;
constexpr uint32_t VS_FF_PRERELEASE = 0x02;
constexpr uint32_t VS_FF_PATCHED = 0x04;
constexpr uint32_t VS_FF_PRIVATEBUILD = 0x08;
constexpr uint32_t VS_FF_INFOINFERRED = 0x10;
constexpr uint32_t VS_FF_SPECIALBUILD = 0x20;

// Signature that opens a valid fixed part.
constexpr uint32_t VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BDu;

// The fixed part of a version resource (52 bytes in the file), field by field.
struct FixedFileInfo {
    uint32_t signature{0};
    uint32_t struc_version{0};
    uint32_t file_version_ms{0}; // high word: major, low word: minor
    uint32_t file_version_ls{0}; // high word: build, low word: revision
    uint32_t product_version_ms{0};
    uint32_t product_version_ls{0};
    uint32_t file_flags_mask{0};
    uint32_t file_flags{0};
    uint32_t file_os{0};
    uint32_t file_type{VFT_UNKNOWN};
    uint32_t file_subtype{0};
    uint32_t file_date_ms{0};
    uint32_t file_date_ls{0};

    // Both words joined: ms in the upper 32 bits.
    uint64_t file_version() const { return (uint64_t(file_version_ms) << 32) | file_version_ls; }
    uint64_t product_version() const { return (uint64_t(product_version_ms) << 32) | product_version_ls; }
    bool operator==(const FixedFileInfo&) const = default;
};

constexpr size_t kFixedFileInfoSize = 52;

// The ELF section that carries a version block.
constexpr const char* kElfVersionSection = ".kl_version";

// One language / code-page pair of the translation table.
struct Translation {
    uint16_t language{0};
    uint16_t code_page{0};

    // The name of the string table this pair selects: "%04X%04X", for
    // example "040904B0" for U.S. English, Unicode.
    std::string block_name() const;
    bool operator==(const Translation&) const = default;
};

// One string table: its block name as the file spells it and its values in
// file order.
struct StringTable {
    std::string block;
    std::vector<std::pair<std::string, std::string>> values; // name, value (UTF-8)
    bool operator==(const StringTable&) const = default;
};

struct FileVersionInfo {
    // Where the information came from: a PE version resource, the version
    // section of an ELF file, or the ELF header alone.
    enum class Origin { VersionResource, ElfSection, ElfHeader };

    Origin origin{Origin::VersionResource};
    // The fixed part; empty when the resource has none (or a damaged one).
    // For ELF files only file_type is set.
    std::optional<FixedFileInfo> fixed;
    // The "\VarFileInfo\Translation" table in file order (may be empty).
    std::vector<Translation> translations;
    // The "\StringFileInfo" tables in file order.
    std::vector<StringTable> string_tables;

    // Shortcuts to the fixed part; 0 when there is none.
    uint32_t file_type() const { return fixed ? fixed->file_type : VFT_UNKNOWN; }
    uint64_t file_version() const { return fixed ? fixed->file_version() : 0; }
    uint64_t product_version() const { return fixed ? fixed->product_version() : 0; }
    uint32_t file_flags() const { return fixed ? fixed->file_flags : 0; }

    // A string value of the first string table; empty optional when there is
    // no such value. A value that is present but empty (as "OLESelfRegister"
    // usually is) gives an empty string. Names compare without regard to case.
    std::optional<std::string> query_string(std::string_view name) const;
    // A string value of the table that `translation` selects (its block name
    // compared without regard to case).
    std::optional<std::string> query_string(std::string_view name, Translation translation) const;
    // The table that `translation` selects, or nullptr.
    const StringTable* find_table(Translation translation) const;
    bool has_string(std::string_view name) const { return query_string(name).has_value(); }
    bool operator==(const FileVersionInfo&) const = default;
};

// Reads the version information of a file. Empty optional: the file cannot be
// read, is neither a PE nor an ELF file, or its version resource is missing,
// truncated or damaged.
std::optional<FileVersionInfo> read_version_info(const std::string& path);

// The same from bytes already in memory (a whole file image).
std::optional<FileVersionInfo> parse_version_info(std::span<const uint8_t> file);

// Parses one version block (the VS_VERSIONINFO resource data itself, as a
// resource compiler writes it). Empty optional when the block is damaged.
std::optional<FileVersionInfo> parse_version_block(std::span<const uint8_t> block);

// "major.minor.build.revision" of two version words, e.g. "5.0.2.13".
std::string version_text(uint32_t ms, uint32_t ls);

} // namespace plat
