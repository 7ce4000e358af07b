#pragma once
// Compiled resource files (".res", what a resource compiler writes with
// "-O res"): a sequence of entries, each a header and its data, every entry
// starting on a 4-byte boundary. The build reads the version block out of one
// to put it into an ELF file.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plat {

// The data of the first version resource (type 16), or nothing when there is
// none or an entry on the way to it is damaged.
std::optional<std::vector<uint8_t>> find_res_version_block(std::span<const uint8_t> res);

} // namespace plat
