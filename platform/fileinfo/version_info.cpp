#include "platform/fileinfo/version_info.h"

#include "platform/base/strings.h"
#include "platform/fileinfo/byte_source.h"
#include "platform/fileinfo/elf_header.h"
#include "platform/fileinfo/pe_resources.h"

#include <algorithm>

namespace plat {

// ---------------------------------------------------------------------------
// Lookups on what was read

std::string Translation::block_name() const {
    return strprintf("%04X%04X", language, code_page);
}

std::string version_text(uint32_t ms, uint32_t ls) {
    return strprintf("%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

const StringTable* FileVersionInfo::find_table(Translation translation) const {
    const std::string block = translation.block_name();
    for (const auto& t : string_tables)
        if (iequals(t.block, block)) return &t;
    return nullptr;
}

static std::optional<std::string> find_value(const StringTable* table, std::string_view name) {
    if (!table) return std::nullopt;
    for (const auto& [key, value] : table->values)
        if (iequals(key, name)) return value;
    return std::nullopt;
}

std::optional<std::string> FileVersionInfo::query_string(std::string_view name) const {
    return find_value(string_tables.empty() ? nullptr : &string_tables.front(), name);
}

std::optional<std::string> FileVersionInfo::query_string(std::string_view name,
                                                         Translation translation) const {
    return find_value(find_table(translation), name);
}

// ---------------------------------------------------------------------------
// The version block
//
// Every node of the block is: length (16 bits, the whole node with its
// children), value length, type (1 text, 0 binary), a NUL-terminated UTF-16
// key, padding to 4 bytes, the value, padding to 4 bytes, then the children.
// Offsets are 4-aligned relative to the start of the block.

namespace {

constexpr size_t align4(size_t n) {
    return (n + 3) & ~size_t(3);
}

struct Node {
    std::u16string key;
    std::span<const uint8_t> value;
    bool text{false};
    size_t value_chars{0}; // value length as the node states it, for text values
    size_t children_begin{0};
    size_t end{0};
};

// Reads the node at `off`, which must lie wholly inside [0, limit) of `block`.
std::optional<Node> read_node(std::span<const uint8_t> block, size_t off, size_t limit) {
    if (off + 6 > limit) return std::nullopt;
    const uint16_t length = read_u16(block, off);
    const uint16_t value_length = read_u16(block, off + 2);
    const uint16_t type = read_u16(block, off + 4);
    if (length < 6 || off + length > limit) return std::nullopt;

    Node node;
    node.end = off + length;
    size_t p = off + 6;
    for (;;) {
        if (p + 2 > node.end) return std::nullopt; // key without its terminator
        const char16_t c = read_u16(block, p);
        p += 2;
        if (c == 0) break;
        node.key.push_back(c);
    }
    const size_t value_begin = std::min(align4(p), node.end);
    node.text = type == 1;
    // A text value's length counts UTF-16 characters, a binary value's bytes;
    // a length that reaches past the node is cut at the node's end.
    const size_t stated = node.text ? size_t(value_length) * 2 : size_t(value_length);
    const size_t value_end = std::min(value_begin + stated, node.end);
    node.value = block.subspan(value_begin, value_end - value_begin);
    node.value_chars = value_length;
    node.children_begin = std::min(align4(value_end), node.end);
    return node;
}

// Calls `fn` for each child node of `parent`; a damaged child ends the walk,
// keeping what came before it.
template <class Fn> void for_each_child(std::span<const uint8_t> block, const Node& parent, Fn fn) {
    size_t off = parent.children_begin;
    while (off < parent.end) {
        auto child = read_node(block, off, parent.end);
        if (!child) return;
        fn(*child);
        off = align4(child->end);
    }
}

// A text value up to its first NUL, as the platform hands it to callers.
std::string text_value(std::span<const uint8_t> value) {
    std::u16string s;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t c = read_u16(value, i);
        if (c == 0) break;
        s.push_back(c);
    }
    return utf16_to_utf8(s);
}

std::optional<FixedFileInfo> fixed_part(std::span<const uint8_t> value) {
    if (value.size() < kFixedFileInfoSize) return std::nullopt;
    FixedFileInfo f;
    uint32_t* fields[] = {&f.signature,       &f.struc_version,      &f.file_version_ms,
                          &f.file_version_ls, &f.product_version_ms, &f.product_version_ls,
                          &f.file_flags_mask, &f.file_flags,         &f.file_os,
                          &f.file_type,       &f.file_subtype,       &f.file_date_ms,
                          &f.file_date_ls};
    for (size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = read_u32(value, i * 4);
    if (f.signature != VS_FIXEDFILEINFO_SIGNATURE) return std::nullopt;
    return f;
}

void read_string_file_info(std::span<const uint8_t> block, const Node& sfi, FileVersionInfo& info) {
    for_each_child(block, sfi, [&](const Node& table_node) {
        StringTable table;
        table.block = utf16_to_utf8(table_node.key);
        for_each_child(block, table_node, [&](const Node& s) {
            table.values.emplace_back(utf16_to_utf8(s.key), text_value(s.value));
        });
        info.string_tables.push_back(std::move(table));
    });
}

void read_var_file_info(std::span<const uint8_t> block, const Node& vfi, FileVersionInfo& info) {
    for_each_child(block, vfi, [&](const Node& var) {
        if (!iequals(utf16_to_utf8(var.key), "Translation")) return;
        for (size_t i = 0; i + 4 <= var.value.size(); i += 4)
            info.translations.push_back({read_u16(var.value, i), read_u16(var.value, i + 2)});
    });
}

} // namespace

std::optional<FileVersionInfo> parse_version_block(std::span<const uint8_t> block) {
    auto root = read_node(block, 0, block.size());
    if (!root || !iequals(utf16_to_utf8(root->key), "VS_VERSION_INFO")) return std::nullopt;

    FileVersionInfo info;
    info.origin = FileVersionInfo::Origin::VersionResource;
    info.fixed = fixed_part(root->value);
    for_each_child(block, *root, [&](const Node& child) {
        const std::string key = utf16_to_utf8(child.key);
        if (iequals(key, "StringFileInfo"))
            read_string_file_info(block, child, info);
        else if (iequals(key, "VarFileInfo"))
            read_var_file_info(block, child, info);
    });
    return info;
}

// ---------------------------------------------------------------------------
// Whole files

std::optional<FileVersionInfo> read_version_info(const ByteSource& file) {
    if (auto block = find_pe_version_block(file)) return parse_version_block(*block);

    const auto type = elf_file_type(file);
    // A version block is at most 64 KiB: its length is a 16-bit field.
    auto section = find_elf_section(file, kElfVersionSection, 0xFFFF);
    switch (section.status) {
    case ElfSectionLookup::Status::Damaged:
        return std::nullopt;
    case ElfSectionLookup::Status::Found: {
        auto info = parse_version_block(section.bytes);
        if (!info) return std::nullopt;
        info->origin = FileVersionInfo::Origin::ElfSection;
        // A script that leaves the type open (or a damaged fixed part) still
        // gets the type the header shows.
        if (info->file_type() == VFT_UNKNOWN && type) {
            if (!info->fixed) info->fixed = FixedFileInfo{};
            info->fixed->file_type = *type;
        }
        return info;
    }
    case ElfSectionLookup::Status::Absent:
        break;
    }
    if (!type) return std::nullopt;
    FileVersionInfo info;
    info.origin = FileVersionInfo::Origin::ElfHeader;
    FixedFileInfo fixed;
    fixed.file_type = *type;
    info.fixed = fixed;
    return info;
}

std::optional<FileVersionInfo> parse_version_info(std::span<const uint8_t> file) {
    return read_version_info(MemorySource(file));
}

std::optional<FileVersionInfo> read_version_info(const std::string& path) {
    auto file = FileSource::open(path);
    if (!file) return std::nullopt;
    return read_version_info(*file);
}

} // namespace plat
