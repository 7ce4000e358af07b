#pragma once
// The file type of an ELF file, from its header.
#include "platform/fileinfo/byte_source.h"

namespace plat {

// VFT_APP for a program (a fixed-address executable, or a position-independent
// one that names an interpreter), VFT_DLL for a shared library; nothing for
// other ELF files (objects, core dumps), damaged headers and non-ELF files.
std::optional<uint32_t> elf_file_type(const ByteSource& file);

} // namespace plat
