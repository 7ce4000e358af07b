#pragma once
// What the system reads from an ELF file: the file type from its header, and
// the bytes of a named section from its section table.
#include <string_view>

#include "platform/fileinfo/byte_source.h"

namespace plat {

// VFT_APP for a program (a fixed-address executable, or a position-independent
// one that names an interpreter), VFT_DLL for a shared library; nothing for
// other ELF files (objects, core dumps), damaged headers and non-ELF files.
std::optional<uint32_t> elf_file_type(const ByteSource& file);

// The outcome of looking for a section by name.
struct ElfSectionLookup {
    enum class Status {
        Absent,  // not an ELF file, no section table, or no section of that name
        Found,   // `bytes` holds the section's contents (at most `limit` bytes of them)
        Damaged, // the section table, its names or the section lie outside the file
    };
    Status status{Status::Absent};
    std::vector<uint8_t> bytes;
};

// Walks the section table (32 and 64 bit, either byte order, the extended
// section count and name-table index included) for the first section called
// `name`. A section without contents in the file counts as damaged. Only the
// first `limit` bytes of the section are read; the whole of it must still lie
// inside the file.
ElfSectionLookup find_elf_section(const ByteSource& file, std::string_view name, size_t limit);

} // namespace plat
