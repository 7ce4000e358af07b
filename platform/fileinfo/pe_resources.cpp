#include "platform/fileinfo/pe_resources.h"

#include <algorithm>

namespace plat {

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kVersionResourceType = 16;
constexpr uint32_t kVersionResourceId = 1; // the name the resource compiler gives it
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr size_t kMaxVersionBlock = 0xFFFF; // its length field is 16 bits

struct Section {
    uint32_t virtual_address{0};
    uint32_t raw_size{0};
    uint32_t raw_offset{0};
};

// The image as the loader would see it: addresses relative to the image base
// turned into file offsets through the section table.
class PeImage {
  public:
    static std::optional<PeImage> open(const ByteSource& file);

    // Bytes at a relative address, only when all of them lie in one section's
    // file data.
    std::optional<std::vector<uint8_t>> bytes_at(uint32_t rva, size_t count) const;
    // How many bytes from `rva` on are in the file (0 when none).
    uint64_t available_at(uint32_t rva) const;

    uint32_t resource_rva() const { return m_resource_rva; }

  private:
    explicit PeImage(const ByteSource& file) : m_file(&file) {}
    const Section* section_of(uint32_t rva) const;

    const ByteSource* m_file;
    std::vector<Section> m_sections;
    uint32_t m_resource_rva{0};
};

std::optional<PeImage> PeImage::open(const ByteSource& file) {
    auto dos = file.bytes(0, 64);
    if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
    const uint32_t pe_off = read_u32(*dos, 0x3C);

    auto coff = file.bytes(pe_off, 24);
    if (!coff || read_u32(*coff, 0) != 0x00004550u) return std::nullopt; // "PE\0\0"
    const uint16_t section_count = read_u16(*coff, 6);
    const uint16_t optional_size = read_u16(*coff, 20);

    auto opt = file.bytes(uint64_t(pe_off) + 24, optional_size);
    if (!opt || optional_size < 2) return std::nullopt;
    size_t dirs_off = 0;
    size_t dir_count_off = 0;
    switch (read_u16(*opt, 0)) {
    case kPe32Magic:
        dir_count_off = 92, dirs_off = 96;
        break;
    case kPe32PlusMagic:
        dir_count_off = 108, dirs_off = 112;
        break;
    default:
        return std::nullopt;
    }
    const size_t resource_entry = dirs_off + kResourceDirectoryIndex * 8;
    if (resource_entry + 8 > opt->size() || read_u32(*opt, dir_count_off) <= kResourceDirectoryIndex)
        return std::nullopt;

    PeImage image(file);
    image.m_resource_rva = read_u32(*opt, resource_entry);
    if (image.m_resource_rva == 0) return std::nullopt; // no resources at all

    auto table = file.bytes(uint64_t(pe_off) + 24 + optional_size, size_t(section_count) * 40);
    if (!table) return std::nullopt;
    for (size_t i = 0; i < section_count; ++i) {
        const size_t s = i * 40;
        image.m_sections.push_back(
            {read_u32(*table, s + 12), read_u32(*table, s + 16), read_u32(*table, s + 20)});
    }
    return image;
}

const Section* PeImage::section_of(uint32_t rva) const {
    for (const auto& s : m_sections)
        if (rva >= s.virtual_address && uint64_t(rva) < uint64_t(s.virtual_address) + s.raw_size) return &s;
    return nullptr;
}

uint64_t PeImage::available_at(uint32_t rva) const {
    const Section* s = section_of(rva);
    if (!s) return 0;
    const uint64_t in_section = uint64_t(s->virtual_address) + s->raw_size - rva;
    const uint64_t offset = uint64_t(s->raw_offset) + (rva - s->virtual_address);
    if (offset >= m_file->size()) return 0;
    return std::min(in_section, m_file->size() - offset);
}

std::optional<std::vector<uint8_t>> PeImage::bytes_at(uint32_t rva, size_t count) const {
    const Section* s = section_of(rva);
    if (!s || count > available_at(rva)) return std::nullopt;
    return m_file->bytes(uint64_t(s->raw_offset) + (rva - s->virtual_address), count);
}

struct DirectoryEntry {
    uint32_t name{0};   // an id, or (bit 31) the offset of a name string
    uint32_t target{0}; // bit 31: offset of a subdirectory; else of a data entry
    bool is_id() const { return (name & kSubdirectoryBit) == 0; }
    bool is_directory() const { return (target & kSubdirectoryBit) != 0; }
    uint32_t offset() const { return target & ~kSubdirectoryBit; }
};

// The entries of the resource directory at `offset` (from the resource root).
std::optional<std::vector<DirectoryEntry>> directory_at(const PeImage& image, uint32_t offset) {
    const uint64_t rva = uint64_t(image.resource_rva()) + offset;
    if (rva > 0xFFFFFFFFu) return std::nullopt;
    auto header = image.bytes_at(uint32_t(rva), 16);
    if (!header) return std::nullopt;
    const size_t count = size_t(read_u16(*header, 12)) + read_u16(*header, 14);
    if (rva + 16 > 0xFFFFFFFFu) return std::nullopt;
    auto raw = image.bytes_at(uint32_t(rva + 16), count * 8);
    if (!raw) return std::nullopt;
    std::vector<DirectoryEntry> entries(count);
    for (size_t i = 0; i < count; ++i)
        entries[i] = {read_u32(*raw, i * 8), read_u32(*raw, i * 8 + 4)};
    return entries;
}

const DirectoryEntry* find_id(const std::vector<DirectoryEntry>& entries, uint32_t id) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const auto& e) { return e.is_id() && e.name == id; });
    return it == entries.end() ? nullptr : &*it;
}

} // namespace

std::optional<std::vector<uint8_t>> find_pe_version_block(const ByteSource& file) {
    auto image = PeImage::open(file);
    if (!image) return std::nullopt;

    // Three levels: type, then name, then language.
    auto types = directory_at(*image, 0);
    if (!types) return std::nullopt;
    const DirectoryEntry* type = find_id(*types, kVersionResourceType);
    if (!type || !type->is_directory()) return std::nullopt;

    auto names = directory_at(*image, type->offset());
    if (!names || names->empty()) return std::nullopt;
    const DirectoryEntry* name = find_id(*names, kVersionResourceId);
    if (!name) name = &names->front();
    if (!name->is_directory()) return std::nullopt;

    auto languages = directory_at(*image, name->offset());
    if (!languages || languages->empty()) return std::nullopt;
    const DirectoryEntry& language = languages->front();
    if (language.is_directory()) return std::nullopt;

    const uint64_t entry_rva = uint64_t(image->resource_rva()) + language.offset();
    if (entry_rva > 0xFFFFFFFFu) return std::nullopt;
    auto data_entry = image->bytes_at(uint32_t(entry_rva), 16);
    if (!data_entry) return std::nullopt;
    const uint32_t data_rva = read_u32(*data_entry, 0);
    const uint32_t data_size = read_u32(*data_entry, 4);

    // A stated size past the section's end is cut there; the block's own
    // length fields decide what of it is used.
    const size_t count =
        size_t(std::min<uint64_t>({data_size, kMaxVersionBlock, image->available_at(data_rva)}));
    if (count == 0) return std::nullopt;
    return image->bytes_at(data_rva, count);
}

} // namespace plat
