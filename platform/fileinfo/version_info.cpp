#include "platform/fileinfo/version_info.h"

#include "platform/base/strings.h"

namespace plat {

std::string Translation::block_name() const { return strprintf("%04X%04X", language, code_page); }

std::string version_text(uint32_t ms, uint32_t ls)
{
    return strprintf("%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

const StringTable* FileVersionInfo::find_table(Translation translation) const
{
    const std::string block = translation.block_name();
    for (const auto& t : string_tables)
        if (iequals(t.block, block)) return &t;
    return nullptr;
}

static std::optional<std::string> find_value(const StringTable* table, std::string_view name)
{
    if (!table) return std::nullopt;
    for (const auto& [key, value] : table->values)
        if (iequals(key, name)) return value;
    return std::nullopt;
}

std::optional<std::string> FileVersionInfo::query_string(std::string_view name) const
{
    return find_value(string_tables.empty() ? nullptr : &string_tables.front(), name);
}

std::optional<std::string> FileVersionInfo::query_string(std::string_view name, Translation translation) const
{
    return find_value(find_table(translation), name);
}

std::optional<FileVersionInfo> read_version_info(const std::string&) { return std::nullopt; }
std::optional<FileVersionInfo> parse_version_info(std::span<const uint8_t>) { return std::nullopt; }
std::optional<FileVersionInfo> parse_version_block(std::span<const uint8_t>) { return std::nullopt; }

} // namespace plat
