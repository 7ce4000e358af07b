#pragma once
// The server list file: the welcome text in [Information] and the servers in
// [Server1], [Server2], ... It is only ever read.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/engine/context.h"

namespace klc {

class CIniFile {
  public:
    // `ctx` resolves the file name (its server list file) before each read.
    explicit CIniFile(const CClientContext& ctx, std::string default_section = "Information")
        : m_ctx(ctx), m_section(std::move(default_section)) {}

    // The section's raw lines: a blank or one-character line becomes an empty
    // line and ";" lines are dropped; each line ends with CR LF. Blank lines
    // after the last text line are dropped.
    std::string ReadSection(std::optional<std::string_view> section = std::nullopt) const;
    // At most 1024 characters.
    std::string ReadString(std::string_view key, std::string_view def = {},
                           std::optional<std::string_view> section = std::nullopt) const;
    // Entry n from section "Server<n+1>"; false when it names no catalogue
    // file or no server.
    bool ReadServer(int32_t n, CServerEntry& entry) const;

    std::string Path() const { return m_ctx.ServerListPath(); }

  private:
    const CClientContext& m_ctx;
    std::string m_section;
};

} // namespace klc
