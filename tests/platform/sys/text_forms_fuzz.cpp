// Texts that arrive from INF files, documents and command lines: dates, path
// names and command lines must never crash, and what they accept must hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sys/environment.h"
#include "platform/sys/oledate.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    if (auto d = plat::parse_ole_date(text)) {
        // Whatever parses formats and parses back to the same value.
        auto again = plat::parse_ole_date(plat::format_ole_date(*d));
        if (!again || *again != *d) std::abort();
    }
    if (auto joined = plat::safe_join("/base", text)) {
        if (joined->rfind("/base/", 0) != 0 || joined->find("/../") != std::string::npos) std::abort();
    }
    if (auto name = plat::safe_file_name(text)) {
        if (name->find('/') != std::string::npos || *name == "..") std::abort();
    }
    (void)plat::native_path(text);
    (void)plat::split_command_line(text);
    plat::Environment env;
    env.set("A", "x");
    (void)env.expand(text);
    return 0;
}
