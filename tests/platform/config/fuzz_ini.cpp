// INF and INI files come from servers the client does not control: parsing
// any bytes must neither crash nor lose lines when the file is written back.
#include "platform/config/ini.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto doc = plat::IniDocument::parse(text);
    for (const auto& section : doc.sections()) {
        for (const auto& key : doc.keys(section))
            (void)doc.get_int(section, key, 0);
        (void)doc.section_lines(section);
    }
    // A parsed text written out and parsed again reads the same.
    const std::string once = doc.text();
    if (plat::IniDocument::parse(once).text() != once) std::abort();
    doc.set("Common", "INFVersion", "3");
    if (doc.get_string("common", "infversion") != "3") std::abort();
    doc.remove_section("Common");
    return 0;
}
