#pragma once
// Private-profile INI files: the text format of the product INF files, the
// catalogue and the client's server list.
//
// Rules, as the platform's profile functions have them:
//  - section and key names compare without regard to case; the first
//    occurrence of a section or key wins;
//  - names and values are read with leading and trailing blanks trimmed, and a
//    value enclosed in a pair of matching quotes (" or ') loses them;
//  - a missing file, section or key gives the caller's default;
//  - writing creates the file and the section as needed; writing "no value"
//    (std::nullopt) deletes the key, ini_delete_section the whole section;
//  - comment lines (starting with ';'), lines outside any section and lines that are
//    no key=value pair are kept untouched when the file is rewritten;
//  - files are UTF-8 text; a byte-order mark and the file's line ends (CR LF
//    or LF) are kept, a new file gets CR LF;
//  - every write replaces the whole file atomically (temporary file in the
//    same folder, then rename), so a crash never leaves half a file; writers
//    in the same folder are serialised with a lock on the folder.
// Paths are Linux paths; turning document paths with '\' into them is the
// caller's business.
#include "platform/base/types.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {

// One key of a section as read: name as written, value trimmed and unquoted.
struct IniEntry {
    std::string key;
    std::string value;
};

// The parsed text of one INI file. Reading many keys from one file (INF
// readers) goes through this to avoid re-reading the file per key; the free
// functions below load and save one of these per call.
class IniDocument {
  public:
    IniDocument() = default;

    // Reads the file; a missing file gives an empty document and
    // SysError::FileNotFound, or PathNotFound when its folder is missing (the
    // document is still usable for writing).
    static SysError load(const std::filesystem::path& file, IniDocument& out);
    static IniDocument parse(std::string_view text);

    // Writes the document atomically (temporary file + rename), through a
    // symbolic link to the file it names, keeping the file's permissions. A
    // read-only file is refused with AccessDenied and left as it was.
    SysError save(const std::filesystem::path& file) const;
    std::string text() const;

    bool has_section(std::string_view section) const;
    // Trimmed and unquoted value, or nullopt when the section or key is missing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    std::string get_string(std::string_view section, std::string_view key, std::string_view def = {}) const;
    // Leading integer of the value (optional blanks and sign, then digits);
    // the default when the key is missing or holds no digits.
    int32_t get_int(std::string_view section, std::string_view key, int32_t def) const;

    std::vector<std::string> sections() const;                     // file order
    std::vector<std::string> keys(std::string_view section) const; // file order
    std::vector<IniEntry> entries(std::string_view section) const; // file order
    // Every non-blank line of the section as the platform's section read
    // gives it: trimmed, key lines as "key=value" with the blanks around '='
    // dropped (values not unquoted), comment lines and lines without '='
    // included; file order.
    std::vector<std::string> section_lines(std::string_view section) const;

    // Sets a key (creating the section at the end of the file and the key at
    // the end of its section); nullopt deletes the key. Names must not be
    // empty, must not hold CR/LF, a key no '=' and a section no ']'; values
    // must not hold CR/LF: anything else is SysError::InvalidParameter and
    // changes nothing.
    SysError set(std::string_view section, std::string_view key, std::optional<std::string_view> value);
    // Removes the section with all its lines; Success also when it was missing.
    SysError remove_section(std::string_view section);

  private:
    struct Line {
        std::string raw; // the line as in the file, without its line end
        // Where the trimmed name of a header's section or of a key lies in raw.
        uint32_t name_at = 0;
        uint32_t name_size = 0;
        enum Kind : uint8_t { Other, Header, Key } kind = Other;

        std::string_view name() const { return std::string_view(raw).substr(name_at, name_size); }
        // Makes the line hold `text`, whose name is `size` bytes from `at`.
        void assign(std::string text, size_t at, size_t size);
    };
    // Where each section and key is, by folded name, so that reading a file
    // of many sections costs about the same per key however large it is. Only
    // the first section of a name and the first key of a name within it are
    // indexed: later ones are never read. The keys of a short section are
    // found by walking its few lines, which lie side by side; a long one's
    // keys go into the key table.
    struct SectionIndex {
        size_t header = 0;     // line of the section's header
        size_t end = 0;        // one past its last body line
        uint32_t id = 0;       // its number in the key table
        uint32_t keys = 0;     // key lines in its body
        bool in_table = false; // its keys are in m_keys
    };
    struct KeyName {
        uint32_t section;
        std::string key;
        bool operator==(const KeyName&) const = default;
    };
    struct KeyHash {
        size_t operator()(const KeyName& k) const noexcept {
            return std::hash<std::string>()(k.key) ^ (k.section * 0x9E3779B97F4A7C15ull);
        }
    };
    std::vector<Line> m_lines;
    std::string m_eol{"\r\n"};
    bool m_bom{false};
    std::unordered_map<std::string, SectionIndex> m_index;
    std::unordered_map<KeyName, size_t, KeyHash> m_keys; // line of each key
    std::optional<std::string> m_tail;                   // indexed section the last line belongs to

    // Builds the index from the lines (after a change that moved lines).
    void reindex();
    // Takes line i, the last one indexed so far, into the index; `tail` is
    // the indexed section the lines before it belong to, or none.
    void index_line(size_t i, SectionIndex*& tail);
    // Takes a line appended at the end of m_lines into the index.
    void index_appended();
    // Index range [first, last) of a section's body lines; first == npos when missing.
    std::pair<size_t, size_t> find_section(std::string_view section) const;
    size_t find_key(std::string_view section, std::string_view key) const;
};

// One-call forms, each loading the file afresh.
std::string ini_get_string(const std::filesystem::path& file, std::string_view section, std::string_view key,
                           std::string_view def = {});
int32_t ini_get_int(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    int32_t def);
std::vector<std::string> ini_sections(const std::filesystem::path& file);
std::vector<std::string> ini_keys(const std::filesystem::path& file, std::string_view section);
std::vector<IniEntry> ini_entries(const std::filesystem::path& file, std::string_view section);
std::vector<std::string> ini_section_lines(const std::filesystem::path& file, std::string_view section);

// Writes (or with nullopt deletes) one key; creates the file and section.
// Deleting from a missing file is Success and creates nothing.
SysError ini_write_string(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::optional<std::string_view> value);
// Deletes a whole section; Success also when the file or section is missing.
SysError ini_delete_section(const std::filesystem::path& file, std::string_view section);

} // namespace plat
