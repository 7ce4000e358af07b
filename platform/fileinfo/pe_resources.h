#pragma once
// Finding the version resource of a PE image (PE32 and PE32+).
#include "platform/fileinfo/byte_source.h"

namespace plat {

// The bytes of the version resource (resource type 16), or nothing when the
// file is not a PE image, has no version resource, or any structure on the
// way to it is damaged.
std::optional<std::vector<uint8_t>> find_pe_version_block(const ByteSource& file);

} // namespace plat
