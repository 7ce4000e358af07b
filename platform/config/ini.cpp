#include "platform/config/ini.h"

#include <algorithm>

#include "platform/base/strings.h"
#include "platform/sys/files.h"

namespace plat {

namespace {

constexpr size_t npos = std::string::npos;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A value in a matching pair of quotes loses them, as the platform reads it.
std::string unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool has_line_break(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Sections with more keys than this have them in the key table.
constexpr uint32_t kWalkedKeys = 16;

// iequals, without decoding the usual ASCII names.
bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        for (unsigned char c : a)
            if (c >= 0x80) return iequals(a, b);
        for (unsigned char c : b)
            if (c >= 0x80) return iequals(a, b);
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) return iequals(a, b);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

// The name as the index keeps it: case folded as iequals compares.
std::string fold(std::string_view name) {
    name = trim_view(name);
    for (unsigned char c : name)
        if (c >= 0x80) return to_lower(name);
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

std::string_view value_part(std::string_view raw) {
    size_t eq = raw.find('=');
    return eq == npos ? std::string_view() : trim_view(raw.substr(eq + 1));
}

} // namespace

IniDocument IniDocument::parse(std::string_view text) {
    IniDocument doc;
    if (text.starts_with(kBom)) {
        doc.m_bom = true;
        text.remove_prefix(kBom.size());
    }
    size_t first_nl = text.find('\n');
    if (first_nl != npos && (first_nl == 0 || text[first_nl - 1] != '\r')) doc.m_eol = "\n";

    // Room for every line and (about) every section and key up front: growing
    // the tables of a large file step by step would touch it all again each time.
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    doc.m_lines.reserve(lines);
    doc.m_index.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '[')));
    doc.m_keys.reserve(lines / 4);
    SectionIndex* tail = nullptr;
    bool named_section = false; // key lines count only below a named section
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view raw = text.substr(pos, nl == npos ? npos : nl - pos);
        pos = nl == npos ? text.size() : nl + 1;
        while (raw.ends_with('\r')) // CRs before the line end are part of it
            raw.remove_suffix(1);

        Line line;
        std::string_view name;
        std::string_view t = trim_view(raw);
        if (t.starts_with('[')) {
            size_t close = t.find(']');
            if (close != npos) {
                line.kind = Line::Header;
                name = trim_view(t.substr(1, close - 1));
                named_section = !name.empty();
            }
        } else if (named_section && !t.starts_with(';')) {
            size_t eq = t.find('=');
            if (eq != npos && !trim_view(t.substr(0, eq)).empty()) {
                line.kind = Line::Key;
                name = trim_view(t.substr(0, eq));
            }
        }
        line.assign(std::string(raw), name.empty() ? 0 : static_cast<size_t>(name.data() - raw.data()),
                    name.size());
        doc.m_lines.push_back(std::move(line));
        doc.index_line(doc.m_lines.size() - 1, tail);
    }
    return doc;
}

void IniDocument::Line::assign(std::string text, size_t at, size_t size) {
    raw = std::move(text);
    name_at = static_cast<uint32_t>(at);
    name_size = static_cast<uint32_t>(size);
}

void IniDocument::index_line(size_t i, SectionIndex*& tail) {
    const Line& line = m_lines[i];
    if (line.kind == Line::Header) {
        if (tail) tail->end = i;
        std::string name = fold(line.name());
        auto [it, added] = m_index.try_emplace(name);
        if (added) {
            it->second.header = i;
            it->second.end = i + 1;
            it->second.id = static_cast<uint32_t>(m_index.size() - 1);
            tail = &it->second;
            m_tail = std::move(name);
        } else {
            tail = nullptr; // a later section of the same name is never read
            m_tail.reset();
        }
        return;
    }
    if (!tail) return;
    tail->end = i + 1;
    if (line.kind != Line::Key) return;
    if (++tail->keys == kWalkedKeys + 1) {
        // Long enough to walk no more: its keys so far go into the table.
        tail->in_table = true;
        for (size_t k = tail->header + 1; k < i; ++k)
            if (m_lines[k].kind == Line::Key)
                m_keys.try_emplace(KeyName{tail->id, fold(m_lines[k].name())}, k);
    }
    if (tail->in_table) m_keys.try_emplace(KeyName{tail->id, fold(line.name())}, i);
}

void IniDocument::index_appended() {
    SectionIndex* tail = m_tail ? &m_index[*m_tail] : nullptr;
    index_line(m_lines.size() - 1, tail);
}

void IniDocument::reindex() {
    m_index.clear();
    m_keys.clear();
    m_tail.reset();
    SectionIndex* tail = nullptr;
    for (size_t i = 0; i < m_lines.size(); ++i)
        index_line(i, tail);
}

SysError IniDocument::load(const std::filesystem::path& file, IniDocument& out) {
    std::string bytes;
    SysError e = read_whole_file(file.string(), bytes);
    if (e == SysError::ReadFault) return e; // keep the caller's document: nothing usable was read
    out = parse(bytes);
    return e;
}

std::string IniDocument::text() const {
    std::string out;
    if (m_bom) out += kBom;
    for (const auto& line : m_lines) {
        out += line.raw;
        out += m_eol;
    }
    return out;
}

SysError IniDocument::save(const std::filesystem::path& file) const {
    return write_file_atomic(file.string(), text());
}

std::pair<size_t, size_t> IniDocument::find_section(std::string_view section) const {
    auto it = m_index.find(fold(section));
    if (it == m_index.end()) return {npos, npos};
    return {it->second.header + 1, it->second.end};
}

size_t IniDocument::find_key(std::string_view section, std::string_view key) const {
    auto it = m_index.find(fold(section));
    if (it == m_index.end()) return npos;
    const SectionIndex& s = it->second;
    if (s.in_table) {
        auto k = m_keys.find(KeyName{s.id, fold(key)});
        return k == m_keys.end() ? npos : k->second;
    }
    std::string_view name = trim_view(key);
    for (size_t i = s.header + 1; i < s.end; ++i)
        if (m_lines[i].kind == Line::Key && same_name(m_lines[i].name(), name)) return i;
    return npos;
}

bool IniDocument::has_section(std::string_view section) const {
    return find_section(section).first != npos;
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
    size_t i = find_key(section, key);
    if (i == npos) return std::nullopt;
    return unquote(value_part(m_lines[i].raw));
}

std::string IniDocument::get_string(std::string_view section, std::string_view key,
                                    std::string_view def) const {
    auto v = get(section, key);
    return v ? *v : std::string(def);
}

int32_t IniDocument::get_int(std::string_view section, std::string_view key, int32_t def) const {
    auto v = get(section, key);
    if (!v) return def;
    bool ok = false;
    int32_t n = parse_leading_int(*v, &ok);
    return ok ? n : def;
}

std::vector<std::string> IniDocument::sections() const {
    std::vector<std::string> out;
    for (const auto& line : m_lines)
        if (line.kind == Line::Header) out.emplace_back(line.name());
    return out;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const {
    std::vector<std::string> out;
    for (auto& e : entries(section))
        out.push_back(std::move(e.key));
    return out;
}

std::vector<IniEntry> IniDocument::entries(std::string_view section) const {
    std::vector<IniEntry> out;
    auto [first, last] = find_section(section);
    for (size_t i = first; first != npos && i < last; ++i)
        if (m_lines[i].kind == Line::Key)
            out.push_back({std::string(m_lines[i].name()), unquote(value_part(m_lines[i].raw))});
    return out;
}

std::vector<std::string> IniDocument::section_lines(std::string_view section) const {
    std::vector<std::string> out;
    auto [first, last] = find_section(section);
    for (size_t i = first; first != npos && i < last; ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Line::Key)
            out.push_back(std::string(line.name()) + "=" + std::string(value_part(line.raw)));
        else if (auto t = trim_view(line.raw); !t.empty())
            out.emplace_back(t);
    }
    return out;
}

SysError IniDocument::set(std::string_view section, std::string_view key,
                          std::optional<std::string_view> value) {
    std::string_view sec = trim_view(section);
    std::string_view name = trim_view(key);
    if (sec.empty() || name.empty() || has_line_break(sec) || has_line_break(name) || sec.find(']') != npos ||
        name.find('=') != npos || name.starts_with(';') || name.starts_with('[') ||
        (value && has_line_break(*value)))
        return SysError::InvalidParameter;

    size_t at = find_key(sec, name);
    if (!value) {
        if (at != npos) {
            m_lines.erase(m_lines.begin() + static_cast<ptrdiff_t>(at));
            reindex();
        }
        return SysError::Success;
    }
    if (at != npos) {
        // The stored spelling of the key stays; only its value changes.
        Line& line = m_lines[at];
        std::string stored(line.name());
        line.assign(stored + "=" + std::string(*value), 0, stored.size());
        return SysError::Success;
    }

    Line line;
    line.kind = Line::Key;
    line.assign(std::string(name) + "=" + std::string(*value), 0, name.size());

    auto [first, last] = find_section(sec);
    if (first == npos) {
        if (!m_lines.empty() && !trim_view(m_lines.back().raw).empty()) {
            m_lines.push_back(Line{});
            index_appended();
        }
        Line header;
        header.kind = Line::Header;
        header.assign("[" + std::string(sec) + "]", 1, sec.size());
        m_lines.push_back(std::move(header));
        index_appended();
        m_lines.push_back(std::move(line));
        index_appended();
        return SysError::Success;
    }
    // After the section's last key, so the blank lines and comments that
    // lead into the next section stay in front of it.
    size_t insert = first;
    for (size_t i = last; i > first; --i)
        if (m_lines[i - 1].kind == Line::Key) {
            insert = i;
            break;
        }
    if (insert == m_lines.size()) {
        // Writers fill one section after another: the common case appends.
        m_lines.push_back(std::move(line));
        index_appended();
    } else {
        m_lines.insert(m_lines.begin() + static_cast<ptrdiff_t>(insert), std::move(line));
        reindex();
    }
    return SysError::Success;
}

SysError IniDocument::remove_section(std::string_view section) {
    if (trim_view(section).empty()) return SysError::InvalidParameter;
    auto [first, last] = find_section(section);
    if (first != npos) {
        m_lines.erase(m_lines.begin() + static_cast<ptrdiff_t>(first - 1),
                      m_lines.begin() + static_cast<ptrdiff_t>(last));
        reindex();
    }
    return SysError::Success;
}

// ---- one-call forms ----------------------------------------------------

namespace {

IniDocument load_or_empty(const std::filesystem::path& file) {
    IniDocument doc;
    IniDocument::load(file, doc);
    return doc;
}

// Loads the file under the folder's lock, applies the change and writes the
// file back when the text changed.
template <class Change> SysError modify(const std::filesystem::path& file, bool create, Change change) {
    const auto folder = file.parent_path();
    FileLock lock;
    SysError locked = lock.wait_lock(folder.empty() ? std::string(".") : folder.string());
    if (locked == SysError::FileNotFound) return SysError::PathNotFound; // the file's folder is missing
    if (locked != SysError::Success) return locked;
    IniDocument doc;
    SysError e = IniDocument::load(file, doc);
    if (e == SysError::FileNotFound && !create) return SysError::Success;
    if (e != SysError::Success && e != SysError::FileNotFound) return e;
    const std::string before = e == SysError::FileNotFound ? std::string() : doc.text();
    if (SysError c = change(doc); c != SysError::Success) return c;
    if (e != SysError::FileNotFound && doc.text() == before) return SysError::Success;
    return doc.save(file);
}

} // namespace

std::string ini_get_string(const std::filesystem::path& file, std::string_view section, std::string_view key,
                           std::string_view def) {
    return load_or_empty(file).get_string(section, key, def);
}

int32_t ini_get_int(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    int32_t def) {
    return load_or_empty(file).get_int(section, key, def);
}

std::vector<std::string> ini_sections(const std::filesystem::path& file) {
    return load_or_empty(file).sections();
}

std::vector<std::string> ini_keys(const std::filesystem::path& file, std::string_view section) {
    return load_or_empty(file).keys(section);
}

std::vector<IniEntry> ini_entries(const std::filesystem::path& file, std::string_view section) {
    return load_or_empty(file).entries(section);
}

std::vector<std::string> ini_section_lines(const std::filesystem::path& file, std::string_view section) {
    return load_or_empty(file).section_lines(section);
}

SysError ini_write_string(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::optional<std::string_view> value) {
    // Reject bad names before touching the file, even when it is missing.
    if (SysError e = IniDocument().set(section, key, value); e != SysError::Success) return e;
    return modify(file, value.has_value(), [&](IniDocument& doc) { return doc.set(section, key, value); });
}

SysError ini_delete_section(const std::filesystem::path& file, std::string_view section) {
    if (trim_view(section).empty()) return SysError::InvalidParameter;
    return modify(file, false, [&](IniDocument& doc) { return doc.remove_section(section); });
}

} // namespace plat
