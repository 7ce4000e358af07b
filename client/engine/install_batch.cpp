// The copy-on-restart batch. It keeps the name the client always used, but
// holds POSIX shell lines; every change rewrites it whole and atomically, so
// a crash never leaves half a batch for the next start to run.
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "platform/base/strings.h"
#include "platform/sys/files.h"

namespace klc {
namespace {

constexpr std::string_view kCopy = "cp -p -- ";

// Reads one single-quoted word as ShellQuote writes it; false when the text
// holds anything else.
bool read_word(std::string_view& s, std::string& out) {
    out.clear();
    bool any = false;
    while (!s.empty() && s.front() != ' ') {
        if (s.front() == '\'') {
            size_t end = s.find('\'', 1);
            if (end == std::string_view::npos) return false;
            out.append(s.substr(1, end - 1));
            s.remove_prefix(end + 1);
        } else if (s.substr(0, 2) == "\\'") {
            out += '\'';
            s.remove_prefix(2);
        } else {
            return false;
        }
        any = true;
    }
    return any;
}

} // namespace

std::string ShellQuote(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

bool CopyOnRestartBatch::Load() {
    m_pairs.clear();
    std::string bytes;
    if (plat::read_whole_file(m_path, bytes) != plat::SysError::Success) return false;
    for (const std::string& raw : plat::split(bytes, '\n')) {
        std::string_view line = raw;
        if (line.substr(0, kCopy.size()) != kCopy) continue;
        line.remove_prefix(kCopy.size());
        std::string source, target;
        if (!read_word(line, source) || line.empty()) continue;
        line.remove_prefix(1);
        if (!read_word(line, target)) continue;
        m_pairs.emplace_back(source, target);
    }
    return true;
}

void CopyOnRestartBatch::Add(const std::string& source, const std::string& target) {
    Remove(source);
    m_pairs.emplace_back(source, target);
}

bool CopyOnRestartBatch::Remove(const std::string& source) {
    auto before = m_pairs.size();
    std::erase_if(m_pairs, [&](const auto& p) { return p.first == source; });
    return m_pairs.size() != before;
}

std::string CopyOnRestartBatch::Text() const {
    std::string text = "#!/bin/sh\n";
    for (const auto& [source, target] : m_pairs) {
        text += std::string(kCopy) + ShellQuote(source) + " " + ShellQuote(target) + "\n";
        text += "rm -f -- " + ShellQuote(source) + "\n";
    }
    text += "rm -f -- " + ShellQuote(m_path) + "\n";
    return text;
}

int32_t CopyOnRestartBatch::Save() const {
    plat::SysError e = m_pairs.empty() ? plat::delete_file(m_path) : plat::write_file_atomic(m_path, Text());
    if (e == plat::SysError::FileNotFound && m_pairs.empty()) e = plat::SysError::Success;
    return static_cast<int32_t>(e);
}

} // namespace klc
