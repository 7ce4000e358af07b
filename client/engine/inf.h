#pragma once
// INF files as the client reads them: private-profile text whose values are
// cut to 255 characters, as the readers always took them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/config/ini.h"

namespace klc {

constexpr size_t kInfValueMax = 255;
// The largest catalogue or product INF file the client takes: they are INI
// text with short values: a catalogue of 100,000 products or a product of
// 32,000 pieces stays well below it, and a server cannot fill the disk or
// the memory with one.
constexpr int64_t kInfFileMax = 16 * 1024 * 1024;

class InfFile {
  public:
    InfFile() = default;
    explicit InfFile(plat::IniDocument doc) : m_doc(std::move(doc)) {}
    // A missing, unreadable or too large file reads as an empty one: every
    // key missing.
    static InfFile Load(const std::string& path);
    static InfFile Parse(std::string_view text) { return InfFile(plat::IniDocument::parse(text)); }

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key, std::string_view def = {}) const;
    // Leading integer of the value; the default when missing or without digits.
    int32_t GetInt(std::string_view section, std::string_view key, int32_t def) const;
    // The value converted as strtol with base 0 (decimal, 0x hex, 0 octal).
    int32_t GetNumber(std::string_view section, std::string_view key, int32_t def) const;

    // A file read over HTTP or FTP: the locations it names may lead only to
    // the network, never to the local files (only the user names those).
    void SetFromNetwork(bool network) { m_from_network = network; }
    bool FromNetwork() const { return m_from_network; }

  private:
    plat::IniDocument m_doc;
    bool m_from_network = false;
};

} // namespace klc
