#include "platform/fileinfo/res_file.h"

#include "platform/fileinfo/byte_source.h"

namespace plat {

// Each entry: data size (32 bits), header size (32 bits, from the entry's
// start to its data), the type (0xFFFF and a number, or a UTF-16 name), the
// name, flags and language; then the data, padded to 4 bytes.
std::optional<std::vector<uint8_t>> find_res_version_block(std::span<const uint8_t> res) {
    constexpr uint16_t kNumbered = 0xFFFF, kVersionType = 16;
    size_t off = 0;
    while (off < res.size()) {
        if (res.size() - off < 8) return std::nullopt;
        const uint32_t data_size = read_u32(res, off);
        const uint32_t header_size = read_u32(res, off + 4);
        if (header_size < 12 || header_size > res.size() - off) return std::nullopt;
        const size_t data = off + header_size;
        if (data_size > res.size() - data) return std::nullopt;
        if (read_u16(res, off + 8) == kNumbered && read_u16(res, off + 10) == kVersionType)
            return std::vector<uint8_t>(res.begin() + data, res.begin() + data + data_size);
        off = (data + data_size + 3) & ~size_t(3);
    }
    return std::nullopt;
}

} // namespace plat
