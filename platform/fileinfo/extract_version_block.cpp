// Build step: copies the version block out of a compiled resource file, so
// that it can be added to an ELF file as its version section.
//
//   kl_extract_version_block <input.res> <output>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/fileinfo/res_file.h"
#include "platform/fileinfo/version_info.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <input.res> <output>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    const std::vector<uint8_t> res{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto block = plat::find_res_version_block(res);
    // The block must also read back as the client reads it.
    if (!block || !plat::parse_version_block(*block)) {
        std::fprintf(stderr, "%s: no readable version resource\n", argv[1]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(block->data()), std::streamsize(block->size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
