#include "platform/fileinfo/version_info.h"

#include "platform/fileinfo/res_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sys/stat.h>

using namespace plat;

namespace {

std::string fixture(const std::string& name) {
    return std::string(KL_FILEINFO_FIXTURES) + "/" + name;
}

std::vector<uint8_t> bytes_of(const std::string& path) {
    const std::string s = kltest::read_file(path);
    return {s.begin(), s.end()};
}

void put_u16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
    b[off] = uint8_t(v);
    b[off + 1] = uint8_t(v >> 8);
}

void put_u32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    put_u16(b, off, uint16_t(v));
    put_u16(b, off + 2, uint16_t(v >> 16));
}

uint32_t get_u32(const std::vector<uint8_t>& b, size_t off) {
    uint32_t v;
    std::memcpy(&v, b.data() + off, 4);
    return v;
}

// Where the version block of a fixture starts and ends in the file.
std::pair<size_t, size_t> block_extent(const std::vector<uint8_t>& file) {
    const std::u16string key = u"VS_VERSION_INFO";
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    auto it = std::search(file.begin(), file.end(), k, k + key.size() * 2);
    EXPECT_NE(it, file.end());
    const size_t start = size_t(it - file.begin()) - 6;
    return {start, start + (file[start] | (file[start + 1] << 8))};
}

} // namespace

// ---------------------------------------------------------------------------
// PE files built from our own resource scripts

TEST(VersionInfoPe, ReadsProgramFixedPartStringsAndTranslation) {
    auto info = read_version_info(fixture("app.exe"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->origin, FileVersionInfo::Origin::VersionResource);
    ASSERT_TRUE(info->fixed);
    EXPECT_EQ(info->fixed->signature, VS_FIXEDFILEINFO_SIGNATURE);
    EXPECT_EQ(info->file_type(), VFT_APP);
    EXPECT_EQ(info->fixed->file_version_ms, 0x00050000u);
    EXPECT_EQ(info->fixed->file_version_ls, 0x0002000Du);
    EXPECT_EQ(info->file_version(), 0x000500000002000Dull);
    EXPECT_EQ(info->product_version(), 0x0005000100000000ull);
    EXPECT_EQ(info->file_flags(), VS_FF_PRERELEASE);
    EXPECT_EQ(info->fixed->file_flags_mask, 0x3Fu);

    EXPECT_EQ(info->translations, (std::vector<Translation>{{0x409, 1200}}));
    EXPECT_EQ(info->translations[0].block_name(), "040904B0");
    EXPECT_EQ(info->query_string("FileVersion"), "5.0.2.13");
    EXPECT_EQ(info->query_string("fileversion"), "5.0.2.13"); // names ignore case
    EXPECT_EQ(info->query_string("CompanyName"), "Café Ørsted Tools");
    EXPECT_EQ(info->query_string("ProductVersion", {0x409, 1200}), "5.1");
    EXPECT_FALSE(info->query_string("LegalCopyright"));
    EXPECT_FALSE(info->has_string("OLESelfRegister"));
}

TEST(VersionInfoPe, ReadsLibraryWithTwoLanguagesAndEmptyRegisterValue) {
    auto info = read_version_info(fixture("library.dll")); // PE32+
    ASSERT_TRUE(info);
    EXPECT_EQ(info->file_type(), VFT_DLL);
    EXPECT_EQ(version_text(info->fixed->file_version_ms, info->fixed->file_version_ls), "2.3.4.5");
    EXPECT_EQ(info->file_flags(), 0u);

    const Translation german{0x407, 1252}, english{0x409, 1200};
    EXPECT_EQ(info->translations, (std::vector<Translation>{german, english}));
    ASSERT_EQ(info->string_tables.size(), 2u);
    EXPECT_EQ(info->string_tables[0].block, "040704E4");

    // Without a translation the first table answers.
    EXPECT_EQ(info->query_string("FileDescription"), "Beispielbibliothek");
    EXPECT_EQ(info->query_string("FileDescription", german), "Beispielbibliothek");
    EXPECT_EQ(info->query_string("FileDescription", english), "Sample library");
    EXPECT_EQ(info->query_string("FileVersion", german), "2, 3, 4, 5");
    EXPECT_FALSE(info->query_string("FileDescription", Translation{0x40C, 1252}));
    EXPECT_EQ(info->find_table({0x40C, 1252}), nullptr);

    // Present though empty: this is what marks a self-registering module.
    EXPECT_EQ(info->query_string("OLESelfRegister"), "");
    EXPECT_TRUE(info->has_string("OLESelfRegister"));
    EXPECT_EQ(info->query_string("OLESelfRegister", english), "");
}

TEST(VersionInfoPe, FileAndMemoryReadsAgree) {
    for (const std::string& path :
         {fixture("app.exe"), fixture("library.dll"), std::string(KL_FILEINFO_VERSIONED_LIBRARY)}) {
        const auto bytes = bytes_of(path);
        EXPECT_EQ(parse_version_info(bytes), read_version_info(path)) << path;
    }
}

// Cutting a file anywhere before the end of its version block leaves no
// version information; cutting it after changes nothing.
TEST(VersionInfoPe, TruncatedAtEveryOffset) {
    for (const char* name : {"app.exe", "library.dll"}) {
        const auto file = bytes_of(fixture(name));
        const auto full = parse_version_info(file);
        ASSERT_TRUE(full);
        const size_t block_end = block_extent(file).second;
        for (size_t n = 0; n <= file.size(); ++n) {
            const auto part = parse_version_info(std::span(file).first(n));
            if (n < block_end)
                ASSERT_FALSE(part) << name << " cut at " << n;
            else
                ASSERT_EQ(part, full) << name << " cut at " << n;
        }
    }
}

TEST(VersionInfoPe, TruncatedFileOnDisk) {
    kltest::TempDir dir;
    const auto file = bytes_of(fixture("app.exe"));
    const size_t cut = block_extent(file).first + 40;
    kltest::write_file(dir / "cut.exe", std::string(file.begin(), file.begin() + cut));
    EXPECT_FALSE(read_version_info((dir / "cut.exe").string()));
}

// Damaged headers: each one is named for the field it breaks.
TEST(VersionInfoPe, DamagedHeadersGiveNoVersionInformation) {
    const auto good = bytes_of(fixture("app.exe"));
    const uint32_t pe = get_u32(good, 0x3C);
    const size_t opt = pe + 24;
    const size_t resource_dir = opt + 96 + 2 * 8; // PE32 data directories
    const struct {
        const char* what;
        size_t offset;
        uint32_t value;
        int width;
    } cases[] = {
        {"program signature", 0, 0x5A4E, 2},
        {"header offset past the end", 0x3C, 0xFFFFFFF0u, 4},
        {"header signature", pe, 0x00004550u + 1, 4},
        {"section count past the end", pe + 6, 0xFFFF, 2},
        {"optional header size past the end", pe + 20, 0xFFFF, 2},
        {"optional header kind", opt, 0x999, 2},
        {"directory count without resources", opt + 92, 2, 4},
        {"no resource directory", resource_dir, 0, 4},
        {"resource directory outside every section", resource_dir, 0xFFFFFFF0u, 4},
    };
    for (const auto& c : cases) {
        auto bad = good;
        c.width == 2 ? put_u16(bad, c.offset, uint16_t(c.value)) : put_u32(bad, c.offset, c.value);
        EXPECT_FALSE(parse_version_info(bad)) << c.what;
    }
}

// Every single damaged byte, in both fixtures: some give no information, some
// change a value; none may read out of bounds (the suite runs under the
// address sanitizer).
TEST(VersionInfoPe, EveryDamagedByteIsSafe) {
    for (const char* name : {"app.exe", "library.dll"}) {
        const auto good = bytes_of(fixture(name));
        size_t readable = 0;
        for (size_t i = 0; i < good.size(); ++i) {
            for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(good[i] ^ 0x80)}) {
                auto bad = good;
                bad[i] = v;
                readable += parse_version_info(bad).has_value();
            }
        }
        EXPECT_GT(readable, 0u) << name; // damage to unused bytes changes nothing
    }
}

// ---------------------------------------------------------------------------
// ELF files and other files

TEST(VersionInfoElf, ProgramAndSharedLibrary) {
    struct Case {
        std::string path;
        uint32_t type;
    } cases[] = {{"/proc/self/exe", VFT_APP}, {KL_FILEINFO_SAMPLE_LIBRARY, VFT_DLL}};
    for (const auto& c : cases) {
        auto info = read_version_info(c.path);
        ASSERT_TRUE(info) << c.path;
        EXPECT_EQ(info->origin, FileVersionInfo::Origin::ElfHeader);
        EXPECT_EQ(info->file_type(), c.type) << c.path;
        EXPECT_EQ(info->file_version(), 0u);
        EXPECT_EQ(info->product_version(), 0u);
        EXPECT_TRUE(info->translations.empty());
        EXPECT_FALSE(info->query_string("FileVersion"));
    }
}

namespace {

// Writes a field of `width` bytes in the given byte order.
void put_field(std::vector<uint8_t>& b, size_t off, uint64_t v, int width, bool big_endian) {
    for (int i = 0; i < width; ++i)
        b[off + (big_endian ? width - 1 - i : i)] = uint8_t(v >> (8 * i));
}

// A minimal ELF header with an optional program header table of `types`.
std::vector<uint8_t> elf(bool is64, bool big_endian, uint16_t type, std::vector<uint32_t> types) {
    const size_t header = is64 ? 64 : 52, entry = is64 ? 56 : 32;
    std::vector<uint8_t> b(header + entry * types.size());
    b[0] = 0x7F, b[1] = 'E', b[2] = 'L', b[3] = 'F', b[4] = is64 ? 2 : 1, b[5] = big_endian ? 2 : 1, b[6] = 1;
    auto put = [&](size_t off, uint64_t v, int width) { put_field(b, off, v, width, big_endian); };
    put(16, type, 2);
    put(is64 ? 32 : 28, types.empty() ? 0 : header, is64 ? 8 : 4); // program header offset
    put(is64 ? 54 : 42, entry, 2);
    put(is64 ? 56 : 44, types.size(), 2);
    for (size_t i = 0; i < types.size(); ++i)
        put(header + i * entry, types[i], 4);
    return b;
}

} // namespace

TEST(VersionInfoElf, FileTypeFromHeader) {
    constexpr uint32_t load = 1, interp = 3, dynamic = 2;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        std::optional<uint32_t> type;
    } cases[] = {
        {"fixed-address program", elf(true, false, 2, {}), VFT_APP},
        {"position-independent program", elf(true, false, 3, {load, interp, dynamic}), VFT_APP},
        {"shared library", elf(true, false, 3, {load, dynamic}), VFT_DLL},
        {"32-bit big-endian program", elf(false, true, 3, {interp}), VFT_APP},
        {"32-bit big-endian library", elf(false, true, 3, {load}), VFT_DLL},
        {"relocatable object", elf(true, false, 1, {}), std::nullopt},
        {"core dump", elf(true, false, 4, {load}), std::nullopt},
    };
    for (const auto& c : cases) {
        auto info = parse_version_info(c.bytes);
        EXPECT_EQ(info ? std::optional(info->file_type()) : std::nullopt, c.type) << c.what;
    }

    auto cut = elf(true, false, 3, {load, interp});
    cut.resize(cut.size() - 1); // program header table not all there
    EXPECT_FALSE(parse_version_info(cut));
    auto bad_class = elf(true, false, 2, {});
    bad_class[4] = 3;
    EXPECT_FALSE(parse_version_info(bad_class));
    auto short_header = elf(true, false, 2, {});
    short_header.resize(40);
    EXPECT_FALSE(parse_version_info(short_header));
}

TEST(VersionInfoFiles, NonExecutablesHaveNoVersionInformation) {
    kltest::TempDir dir;
    kltest::write_file(dir / "empty", "");
    kltest::write_file(dir / "text.txt", "MZ but not much else");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const std::string name : {"empty", "text.txt", "missing.exe", "pipe", ""})
        EXPECT_FALSE(read_version_info((dir / name).string())) << name; // "" is the folder itself
}

// ---------------------------------------------------------------------------
// The version block itself

namespace {

std::string u16bytes(std::u16string_view s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

void pad4(std::string& b) {
    b.resize((b.size() + 3) & ~size_t(3), '\0');
}

// One node: length, value length, type, key, value, children.
std::string node(std::u16string_view key, const std::string& value, uint16_t value_length, uint16_t type,
                 const std::vector<std::string>& children = {}) {
    std::string b(6, '\0');
    b += u16bytes(key) + std::string(2, '\0');
    pad4(b);
    b += value;
    for (const auto& c : children) {
        pad4(b);
        b += c;
    }
    const uint16_t header[3] = {uint16_t(b.size()), value_length, type};
    std::memcpy(b.data(), header, 6);
    return b;
}

std::string text(std::u16string_view key, std::u16string_view value) {
    return node(key, u16bytes(value) + std::string(2, '\0'), uint16_t(value.size() + 1), 1);
}

std::string fixed_part(uint32_t signature = VS_FIXEDFILEINFO_SIGNATURE) {
    uint32_t f[13] = {signature, 0x10000, 0x00010002,  0x00030004, 0x00010000,
                      0,         0x3F,    VS_FF_DEBUG, 4,          VFT_DRV};
    return std::string(reinterpret_cast<const char*>(f), sizeof f);
}

std::string block(const std::string& fixed, const std::vector<std::string>& strings,
                  const std::string& translations = std::string("\x09\x04\xB0\x04", 4),
                  std::u16string_view table = u"040904B0") {
    return node(u"VS_VERSION_INFO", fixed, uint16_t(fixed.size()), 0,
                {node(u"StringFileInfo", "", 0, 1, {node(table, "", 0, 1, strings)}),
                 node(u"VarFileInfo", "", 0, 1,
                      {node(u"Translation", translations, uint16_t(translations.size()), 0)})});
}

std::optional<FileVersionInfo> parse(const std::string& b) {
    return parse_version_block(std::span(reinterpret_cast<const uint8_t*>(b.data()), b.size()));
}

// Offset of a key's node inside a block.
size_t node_at(const std::string& b, std::u16string_view key) {
    return b.find(u16bytes(key)) - 6;
}

} // namespace

TEST(VersionBlock, WellFormed) {
    auto info = parse(block(fixed_part(), {text(u"FileVersion", u"1.2.3.4"), text(u"Clef", u"\U0001D11E")}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->file_type(), VFT_DRV);
    EXPECT_EQ(info->file_flags(), VS_FF_DEBUG);
    EXPECT_EQ(version_text(info->fixed->file_version_ms, info->fixed->file_version_ls), "1.2.3.4");
    EXPECT_EQ(info->query_string("FileVersion"), "1.2.3.4");
    EXPECT_EQ(info->query_string("Clef"), "\xF0\x9D\x84\x9E"); // a surrogate pair becomes one UTF-8 character
}

TEST(VersionBlock, DamagedRootGivesNothing) {
    const std::string good = block(fixed_part(), {text(u"FileVersion", u"1.0")});
    auto with_length = [&](uint16_t n) {
        std::string b = good;
        std::memcpy(b.data(), &n, 2);
        return b;
    };
    EXPECT_FALSE(parse(with_length(uint16_t(good.size() + 1)))) << "longer than the data";
    EXPECT_FALSE(parse(with_length(4))) << "shorter than a node header";
    EXPECT_FALSE(parse(good.substr(0, good.size() - 1))) << "cut by one byte";
    EXPECT_FALSE(parse(node(u"VS_VERSION_INFX", fixed_part(), 52, 0))) << "wrong key";
    EXPECT_FALSE(parse(with_length(20))) << "key without its terminator";
    EXPECT_FALSE(parse(""));
}

TEST(VersionBlock, DamagedFixedPartKeepsStrings) {
    for (const std::string& fixed : {fixed_part(0xFEEF04BC), fixed_part().substr(0, 40), std::string()}) {
        auto info = parse(block(fixed, {text(u"FileVersion", u"7.0")}));
        ASSERT_TRUE(info);
        EXPECT_FALSE(info->fixed);
        EXPECT_EQ(info->file_type(), VFT_UNKNOWN);
        EXPECT_EQ(info->file_version(), 0u);
        EXPECT_EQ(info->query_string("FileVersion"), "7.0");
    }
}

TEST(VersionBlock, DamagedStringKeepsTheOnesBeforeIt) {
    std::string b = block(fixed_part(), {text(u"First", u"1"), text(u"Second", u"2"), text(u"Third", u"3")});
    const uint16_t too_long = 0x400;
    std::memcpy(b.data() + node_at(b, u"Second"), &too_long, 2);
    auto info = parse(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->query_string("First"), "1");
    EXPECT_FALSE(info->query_string("Second"));
    EXPECT_FALSE(info->query_string("Third"));
    EXPECT_EQ(info->translations.size(), 1u); // the sibling block after the damage is still read
}

TEST(VersionBlock, StringValueEdges) {
    // A stated value length past the node is cut at the node's end; a value
    // stops at its first NUL; an empty value is present.
    std::string overlong = text(u"Over", u"abc");
    overlong[2] = 100;
    auto info = parse(block(fixed_part(), {overlong, text(u"Nul", std::u16string(u"ab\0cd", 5)),
                                           node(u"Empty", "", 0, 1), text(u"After", u"x")}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->query_string("Over"), "abc");
    EXPECT_EQ(info->query_string("Nul"), "ab");
    EXPECT_EQ(info->query_string("Empty"), "");
    EXPECT_EQ(info->query_string("After"), "x");
}

TEST(VersionBlock, TranslationsAndTableNames) {
    // A partial last pair is dropped; table names match without regard to case.
    auto info = parse(
        block(fixed_part(), {text(u"Name", u"v")}, std::string("\x07\x04\xE4\x04\x09\x04", 6), u"040704e4"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->translations, (std::vector<Translation>{{0x407, 1252}}));
    EXPECT_EQ(info->query_string("Name", {0x407, 1252}), "v");
    EXPECT_EQ(info->string_tables[0].block, "040704e4"); // kept as the file spells it
}

TEST(VersionText, FormatsFourParts) {
    EXPECT_EQ(version_text(0x00050000, 0x0002000D), "5.0.2.13");
    EXPECT_EQ(version_text(0, 0), "0.0.0.0");
    EXPECT_EQ(version_text(0xFFFFFFFF, 0xFFFFFFFF), "65535.65535.65535.65535");
}

// ---------------------------------------------------------------------------
// ELF files carrying a version section

// The build put the PE library's script into a Linux library: it reads back
// exactly as the PE file does.
TEST(VersionInfoElfSection, BuiltLibraryReadsLikeThePeLibrary) {
    auto elf_info = read_version_info(KL_FILEINFO_VERSIONED_LIBRARY);
    auto pe_info = read_version_info(fixture("library.dll"));
    ASSERT_TRUE(elf_info);
    ASSERT_TRUE(pe_info);
    EXPECT_EQ(elf_info->origin, FileVersionInfo::Origin::ElfSection);
    EXPECT_EQ(elf_info->fixed, pe_info->fixed);
    EXPECT_EQ(elf_info->translations, pe_info->translations);
    EXPECT_EQ(elf_info->string_tables, pe_info->string_tables);
    EXPECT_EQ(elf_info->file_type(), VFT_DLL);
    EXPECT_EQ(elf_info->query_string("OLESelfRegister", {0x409, 1200}), "");
}

// The section table sits at the end of a linked file: any cut loses it.
TEST(VersionInfoElfSection, TruncatedBuiltLibraryHasNoVersionInformation) {
    const auto file = bytes_of(KL_FILEINFO_VERSIONED_LIBRARY);
    const uint64_t table = get_u32(file, 40) | (uint64_t(get_u32(file, 44)) << 32);
    ASSERT_EQ(table + uint64_t(file[60] | (file[61] << 8)) * 64, file.size());
    for (size_t n = 0; n < file.size(); ++n)
        ASSERT_FALSE(parse_version_info(std::span(file).first(n))) << "cut at " << n;
}

namespace {

struct Section {
    std::string name;
    std::string bytes;
    uint32_t type = 1; // contents in the file
};

// A shared library (no interpreter) with a section table: null entry, the
// given sections, then the name table. `extended` keeps the count and the
// name-table index in section 0, as files with very many sections do.
struct ElfImage {
    std::vector<uint8_t> bytes;
    bool is64, big_endian;
    size_t table, entry;

    size_t section_field(size_t index, size_t off64, size_t off32) const {
        return table + index * entry + (is64 ? off64 : off32);
    }
    void put(size_t off, uint64_t v, int width) { put_field(bytes, off, v, width, big_endian); }
    void put_word(size_t off, uint64_t v) { put(off, v, is64 ? 8 : 4); }
};

ElfImage elf_image(bool is64, bool big_endian, std::vector<Section> sections, bool extended = false) {
    ElfImage img{elf(is64, big_endian, 3, {1}), is64, big_endian, 0, size_t(is64 ? 64 : 40)};
    std::string names(1, '\0');
    std::vector<std::pair<size_t, size_t>> placed; // name offset, contents offset
    sections.push_back({".shstrtab", "", 3});
    for (const auto& sec : sections) {
        placed.emplace_back(names.size(), img.bytes.size());
        names += sec.name + '\0';
        img.bytes.insert(img.bytes.end(), sec.bytes.begin(), sec.bytes.end());
    }
    placed.back().second = img.bytes.size();
    sections.back().bytes = names;
    img.bytes.insert(img.bytes.end(), names.begin(), names.end());
    img.table = img.bytes.size();
    const size_t count = sections.size() + 1;
    img.bytes.resize(img.table + count * img.entry);
    for (size_t i = 1; i < count; ++i) {
        img.put(img.section_field(i, 0, 0), placed[i - 1].first, 4);
        img.put(img.section_field(i, 4, 4), sections[i - 1].type, 4);
        img.put_word(img.section_field(i, 24, 16), placed[i - 1].second);
        img.put_word(img.section_field(i, 32, 20), sections[i - 1].bytes.size());
    }
    img.put_word(is64 ? 40 : 32, img.table);
    img.put(is64 ? 58 : 46, img.entry, 2);
    img.put(is64 ? 60 : 48, extended ? 0 : count, 2);
    img.put(is64 ? 62 : 50, extended ? 0xFFFF : count - 1, 2);
    if (extended) {
        img.put_word(img.section_field(0, 32, 20), count);
        img.put(img.section_field(0, 40, 24), count - 1, 4);
    }
    return img;
}

std::string fixed_part_of_type(uint32_t type) {
    std::string f = fixed_part();
    std::memcpy(f.data() + 36, &type, 4);
    return f;
}

const std::string kStrings =
    block(fixed_part(), {text(u"FileVersion", u"1.2.3.4"), text(u"OLESelfRegister", u"")});

} // namespace

TEST(VersionInfoElfSection, EveryClassAndByteOrder) {
    const struct {
        const char* what;
        bool is64, big_endian, extended;
    } layouts[] = {
        {"64-bit little-endian", true, false, false},
        {"32-bit big-endian", false, true, false},
        {"64-bit, count in section 0", true, false, true},
        {"32-bit little-endian, count in section 0", false, false, true},
    };
    for (const auto& l : layouts) {
        auto img =
            elf_image(l.is64, l.big_endian, {{".text", "code"}, {".kl_version", kStrings}}, l.extended);
        auto info = parse_version_info(img.bytes);
        ASSERT_TRUE(info) << l.what;
        EXPECT_EQ(info->origin, FileVersionInfo::Origin::ElfSection) << l.what;
        EXPECT_EQ(info->file_type(), VFT_DRV) << l.what; // as the block declares it
        EXPECT_EQ(version_text(info->fixed->file_version_ms, info->fixed->file_version_ls), "1.2.3.4");
        EXPECT_TRUE(info->has_string("OLESelfRegister")) << l.what;
    }
}

TEST(VersionInfoElfSection, UnknownTypeComesFromTheHeader) {
    for (const std::string& fixed : {fixed_part_of_type(VFT_UNKNOWN), std::string()}) {
        auto img = elf_image(true, false, {{".kl_version", block(fixed, {text(u"FileVersion", u"3.0")})}});
        auto info = parse_version_info(img.bytes);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->file_type(), VFT_DLL);
        EXPECT_EQ(info->query_string("FileVersion"), "3.0");
    }
}

// Without a version section the header alone answers; a damaged section
// table, name table, section or block gives no version information at all.
TEST(VersionInfoElfSection, MissingAndDamagedSections) {
    using Damage = std::function<void(ElfImage&)>;
    const size_t version = 2, names = 3; // indexes in the section table
    const struct {
        const char* what;
        Damage damage;
        std::optional<FileVersionInfo::Origin> origin;
    } cases[] = {
        {"intact", [](ElfImage&) {}, FileVersionInfo::Origin::ElfSection},
        {"no section table", [](ElfImage& i) { i.put_word(i.is64 ? 40 : 32, 0); },
         FileVersionInfo::Origin::ElfHeader},
        {"no name table", [](ElfImage& i) { i.put(i.is64 ? 62 : 50, 0, 2); },
         FileVersionInfo::Origin::ElfHeader},
        {"another name",
         [](ElfImage& i) {
             const std::string n = ".kl_version";
             std::search(i.bytes.begin(), i.bytes.end(), n.begin(), n.end())[1] = 'X';
         },
         FileVersionInfo::Origin::ElfHeader},
        {"table past the end", [](ElfImage& i) { i.put_word(i.is64 ? 40 : 32, i.bytes.size() - 8); },
         std::nullopt},
        {"entries too small", [](ElfImage& i) { i.put(i.is64 ? 58 : 46, 16, 2); }, std::nullopt},
        {"count past the end", [](ElfImage& i) { i.put(i.is64 ? 60 : 48, 0xFFF0, 2); }, std::nullopt},
        {"name table index past the count", [](ElfImage& i) { i.put(i.is64 ? 62 : 50, 9, 2); }, std::nullopt},
        {"name table past the end",
         [&](ElfImage& i) { i.put_word(i.section_field(names, 24, 16), i.bytes.size()); }, std::nullopt},
        {"name past the name table", [&](ElfImage& i) { i.put(i.section_field(version, 0, 0), 0xFFFF, 4); },
         std::nullopt},
        {"name cut by the name table's size",
         [&](ElfImage& i) { i.put_word(i.section_field(names, 32, 20), 10); }, std::nullopt},
        {"section past the end", [&](ElfImage& i) { i.put_word(i.section_field(version, 24, 16), ~0ull); },
         std::nullopt},
        {"section longer than the file",
         [&](ElfImage& i) { i.put_word(i.section_field(version, 32, 20), i.bytes.size()); }, std::nullopt},
        {"section without contents", [&](ElfImage& i) { i.put(i.section_field(version, 4, 4), 8, 4); },
         std::nullopt},
    };
    for (bool is64 : {true, false}) {
        for (const auto& c : cases) {
            auto img = elf_image(is64, !is64, {{".text", "code"}, {".kl_version", kStrings}});
            c.damage(img);
            auto info = parse_version_info(img.bytes);
            EXPECT_EQ(info ? std::optional(info->origin) : std::nullopt, c.origin)
                << c.what << (is64 ? " 64" : " 32");
            if (info) {
                EXPECT_EQ(info->file_type(),
                          c.origin == FileVersionInfo::Origin::ElfSection ? VFT_DRV : VFT_DLL);
            }
        }
    }

    std::string bad_block = kStrings;
    bad_block[6] = 'X'; // the root's key
    EXPECT_FALSE(parse_version_info(elf_image(true, false, {{".kl_version", bad_block}}).bytes));
}

TEST(VersionInfoElfSection, EveryDamagedByteIsSafe) {
    for (bool is64 : {true, false}) {
        const auto good = elf_image(is64, !is64, {{".text", "code"}, {".kl_version", kStrings}}).bytes;
        for (size_t i = 0; i < good.size(); ++i) {
            for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(good[i] ^ 0x80)}) {
                auto bad = good;
                bad[i] = v;
                (void)parse_version_info(bad);
            }
        }
        for (size_t n = 0; n < good.size(); ++n)
            EXPECT_FALSE(parse_version_info(std::span(good).first(n))) << n;
    }
}

// ---------------------------------------------------------------------------
// Compiled resource files

TEST(ResFile, FindsTheVersionBlockOfACompiledScript) {
    const auto res = bytes_of(KL_FILEINFO_VERSIONED_RES);
    const auto dll = bytes_of(fixture("library.dll"));
    const auto [begin, end] = block_extent(dll);
    const std::vector<uint8_t> expected(dll.begin() + begin, dll.begin() + end);
    ASSERT_EQ(find_res_version_block(res), expected);

    // The version entry follows an empty leading one; cutting into it loses it.
    const size_t entry_end = 32 + get_u32(res, 36) + get_u32(res, 32);
    for (size_t n = 0; n <= res.size(); ++n) {
        auto part = find_res_version_block(std::span(res).first(n));
        if (n < entry_end)
            ASSERT_FALSE(part) << "cut at " << n;
        else
            ASSERT_EQ(part, expected) << "cut at " << n;
    }
    const struct {
        const char* what;
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"header shorter than its type", 36, 8},
        {"header past the end", 36, 0xFFFFFF00u},
        {"data past the end", 32, uint32_t(res.size())},
        {"leading entry swallows the rest", 0, uint32_t(res.size())},
        {"another type", 40, 0x000EFFFFu},
    };
    for (const auto& c : cases) {
        auto bad = res;
        put_u32(bad, c.offset, c.value);
        EXPECT_FALSE(find_res_version_block(bad)) << c.what;
    }
}
