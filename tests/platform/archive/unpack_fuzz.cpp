// Unpacks arbitrary bytes as an archive into a scratch folder: nothing may
// crash, and nothing may land outside the folder.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/archive/zip_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "klfuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    // The scratch folder goes when the run ends.
    static const bool cleanup = [] { return std::atexit([] { std::filesystem::remove_all(root); }) == 0; }();
    (void)cleanup;
    const std::string archive = root + "/input.zip";
    const std::string folder = root + "/out/inner";
    std::filesystem::create_directories(folder);
    if (FILE* f = std::fopen(archive.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    plat::archive::unpack(archive, folder, {});
    // Anything beside "inner" means an entry escaped.
    for (const auto& e : std::filesystem::directory_iterator(root + "/out"))
        if (e.path().filename() != "inner") std::abort();
    std::filesystem::remove_all(root + "/out");
    return 0;
}
