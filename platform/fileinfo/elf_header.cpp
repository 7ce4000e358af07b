#include "platform/fileinfo/elf_header.h"

#include "platform/fileinfo/version_info.h"

#include <algorithm>

namespace plat {

namespace {

constexpr uint16_t kEtExec = 2;
constexpr uint16_t kEtDyn = 3;
constexpr uint32_t kPtInterp = 3;
constexpr uint32_t kShtNobits = 8;
constexpr uint16_t kShnXindex = 0xFFFF; // the real value lives in section 0

// The ELF header, its fields read in the file's own byte order.
struct ElfHeader {
    bool is64{false};
    bool big_endian{false};
    std::vector<uint8_t> bytes;

    uint16_t u16(std::span<const uint8_t> b, size_t off) const {
        const uint16_t v = read_u16(b, off);
        return big_endian ? uint16_t((v >> 8) | (v << 8)) : v;
    }
    uint32_t u32(std::span<const uint8_t> b, size_t off) const {
        const uint32_t v = read_u32(b, off);
        return big_endian ? __builtin_bswap32(v) : v;
    }
    uint64_t u64(std::span<const uint8_t> b, size_t off) const {
        const uint64_t v = read_u64(b, off);
        return big_endian ? __builtin_bswap64(v) : v;
    }
    // An address-sized field: 8 bytes at `off64` in a 64-bit file, else 4 at `off32`.
    uint64_t word(std::span<const uint8_t> b, size_t off64, size_t off32) const {
        return is64 ? u64(b, off64) : u32(b, off32);
    }

    uint16_t type() const { return u16(bytes, 16); }
};

std::optional<ElfHeader> read_elf_header(const ByteSource& file) {
    auto ident = file.bytes(0, 16);
    if (!ident || (*ident)[0] != 0x7F || (*ident)[1] != 'E' || (*ident)[2] != 'L' || (*ident)[3] != 'F')
        return std::nullopt;
    const uint8_t elf_class = (*ident)[4];
    const uint8_t data = (*ident)[5];
    if ((elf_class != 1 && elf_class != 2) || (data != 1 && data != 2)) return std::nullopt;
    ElfHeader h;
    h.is64 = elf_class == 2;
    h.big_endian = data == 2;
    auto header = file.bytes(0, h.is64 ? 64 : 52);
    if (!header) return std::nullopt;
    h.bytes = std::move(*header);
    return h;
}

// Whether the program header table holds an interpreter entry; nothing when
// the table is not all there.
std::optional<bool> has_interpreter(const ByteSource& file, const ElfHeader& h) {
    const uint64_t table = h.word(h.bytes, 32, 28);
    const uint16_t entry_size = h.u16(h.bytes, h.is64 ? 54 : 42);
    const uint16_t count = h.u16(h.bytes, h.is64 ? 56 : 44);
    if (count == 0) return false;
    if (entry_size < 4) return std::nullopt;
    auto raw = file.bytes(table, size_t(entry_size) * count);
    if (!raw) return std::nullopt;
    for (size_t i = 0; i < count; ++i)
        if (h.u32(*raw, i * entry_size) == kPtInterp) return true;
    return false;
}

// One entry of the section table, the fields the walk needs.
struct SectionEntry {
    uint32_t name{0};
    uint32_t type{0};
    uint64_t offset{0};
    uint64_t size{0};
    uint32_t link{0};
};

SectionEntry section_entry(const ElfHeader& h, std::span<const uint8_t> e) {
    SectionEntry s;
    s.name = h.u32(e, 0);
    s.type = h.u32(e, 4);
    s.offset = h.word(e, 24, 16);
    s.size = h.word(e, 32, 20);
    s.link = h.u32(e, h.is64 ? 40 : 24);
    return s;
}

bool inside(const ByteSource& file, uint64_t offset, uint64_t size) {
    return offset <= file.size() && size <= file.size() - offset;
}

} // namespace

std::optional<uint32_t> elf_file_type(const ByteSource& file) {
    auto h = read_elf_header(file);
    if (!h) return std::nullopt;
    switch (h->type()) {
    case kEtExec:
        return VFT_APP;
    case kEtDyn: {
        auto interp = has_interpreter(file, *h);
        if (!interp) return std::nullopt;
        return *interp ? VFT_APP : VFT_DLL;
    }
    default:
        return std::nullopt;
    }
}

ElfSectionLookup find_elf_section(const ByteSource& file, std::string_view name, size_t limit) {
    using Status = ElfSectionLookup::Status;
    const ElfSectionLookup absent{Status::Absent, {}}, damaged{Status::Damaged, {}};

    auto h = read_elf_header(file);
    if (!h) return absent;
    const uint64_t table = h->word(h->bytes, 40, 32);
    const size_t entry_size = h->u16(h->bytes, h->is64 ? 58 : 46);
    uint64_t count = h->u16(h->bytes, h->is64 ? 60 : 48);
    uint32_t names_index = h->u16(h->bytes, h->is64 ? 62 : 50);
    if (table == 0) return absent; // stripped of its section table
    if (entry_size < (h->is64 ? 64u : 40u)) return damaged;

    // Section 0 holds the count and the name-table index when they do not
    // fit in the header.
    auto first = file.bytes(table, entry_size);
    if (!first) return damaged;
    const SectionEntry zero = section_entry(*h, *first);
    if (count == 0) count = zero.size;
    if (names_index == kShnXindex) names_index = zero.link;
    if (count == 0 || names_index == 0) return absent; // no sections, or none named
    if (names_index >= count || count > file.size() / entry_size) return damaged;

    auto raw = file.bytes(table, size_t(count) * entry_size);
    if (!raw) return damaged;
    auto entry = [&](size_t i) {
        return section_entry(*h, std::span(*raw).subspan(i * entry_size, entry_size));
    };

    const SectionEntry names_entry = entry(names_index);
    if (names_entry.type == kShtNobits || !inside(file, names_entry.offset, names_entry.size)) return damaged;
    auto names = file.bytes(names_entry.offset, size_t(names_entry.size));
    if (!names) return damaged;

    const std::string_view all_names(reinterpret_cast<const char*>(names->data()), names->size());
    for (size_t i = 1; i < count; ++i) {
        const SectionEntry s = entry(i);
        const size_t end = s.name < all_names.size() ? all_names.find('\0', s.name) : std::string_view::npos;
        if (end == std::string_view::npos) return damaged; // outside the names, or without its terminator
        if (all_names.substr(s.name, end - s.name) != name) continue;

        if (s.type == kShtNobits || !inside(file, s.offset, s.size)) return damaged;
        auto contents = file.bytes(s.offset, size_t(std::min<uint64_t>(s.size, limit)));
        if (!contents) return damaged;
        return {Status::Found, std::move(*contents)};
    }
    return absent;
}

} // namespace plat
