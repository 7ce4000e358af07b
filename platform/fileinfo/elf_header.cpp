#include "platform/fileinfo/elf_header.h"

#include "platform/fileinfo/version_info.h"

namespace plat {

namespace {

constexpr uint16_t kEtExec = 2;
constexpr uint16_t kEtDyn = 3;
constexpr uint32_t kPtInterp = 3;

// Header fields in the file's own byte order.
struct ElfFields {
    bool big_endian{false};

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
};

// Whether the program header table holds an interpreter entry; nothing when
// the table is not all there.
std::optional<bool> has_interpreter(const ByteSource& file, const ElfFields& f,
                                    std::span<const uint8_t> header, bool is64) {
    const uint64_t table = is64 ? f.u64(header, 32) : f.u32(header, 28);
    const uint16_t entry_size = f.u16(header, is64 ? 54 : 42);
    const uint16_t count = f.u16(header, is64 ? 56 : 44);
    if (count == 0) return false;
    if (entry_size < 4) return std::nullopt;
    auto raw = file.bytes(table, size_t(entry_size) * count);
    if (!raw) return std::nullopt;
    for (size_t i = 0; i < count; ++i)
        if (f.u32(*raw, i * entry_size) == kPtInterp) return true;
    return false;
}

} // namespace

std::optional<uint32_t> elf_file_type(const ByteSource& file) {
    auto ident = file.bytes(0, 16);
    if (!ident || (*ident)[0] != 0x7F || (*ident)[1] != 'E' || (*ident)[2] != 'L' || (*ident)[3] != 'F')
        return std::nullopt;
    const uint8_t elf_class = (*ident)[4];
    const uint8_t data = (*ident)[5];
    if ((elf_class != 1 && elf_class != 2) || (data != 1 && data != 2)) return std::nullopt;
    const bool is64 = elf_class == 2;
    const ElfFields f{data == 2};

    auto header = file.bytes(0, is64 ? 64 : 52);
    if (!header) return std::nullopt;
    switch (f.u16(*header, 16)) {
    case kEtExec:
        return VFT_APP;
    case kEtDyn: {
        auto interp = has_interpreter(file, f, *header, is64);
        if (!interp) return std::nullopt;
        return *interp ? VFT_APP : VFT_DLL;
    }
    default:
        return std::nullopt;
    }
}

} // namespace plat
