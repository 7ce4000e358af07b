#pragma once
// Archives that lie about what they hold, made with libzip at a small cost:
// zeros deflate about a thousand to one, so 64 MiB of them take some 64 KB.
#include <sys/stat.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace bomb {

constexpr size_t kMiB = 1024 * 1024;

struct Member {
    std::string name;
    std::string bytes; // the content, or
    size_t zeros = 0;  // this many zero bytes
    bool link = false; // a symbolic link whose target is `bytes`
};

// Writes the members into a new archive at `path`, deflated.
inline void MakeArchive(const std::string& path, const std::vector<Member>& members) {
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    std::vector<std::string> contents; // alive until the archive is closed
    contents.reserve(members.size());
    for (const Member& m : members) {
        contents.push_back(m.zeros ? std::string(m.zeros, '\0') : m.bytes);
        zip_source_t* src = zip_source_buffer(z, contents.back().data(), contents.back().size(), 0);
        ASSERT_NE(src, nullptr);
        const zip_int64_t index = zip_file_add(z, m.name.c_str(), src, ZIP_FL_OVERWRITE);
        ASSERT_GE(index, 0);
        zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
        if (m.link)
            zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
    }
    ASSERT_EQ(zip_close(z), 0);
}

// Makes the archive's first entry claim `size` bytes, in its local header and
// in the central directory alike, whatever its data inflates to.
inline void UnderstateFirstSize(const std::string& path, uint32_t size) {
    std::string bytes = kltest::read_file(path);
    ASSERT_EQ(bytes.compare(0, 4, "PK\3\4"), 0);
    const size_t central = bytes.find("PK\1\2");
    ASSERT_NE(central, std::string::npos);
    const unsigned char le[4] = {static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
                                 static_cast<unsigned char>(size >> 16),
                                 static_cast<unsigned char>(size >> 24)};
    std::memcpy(bytes.data() + 22, le, 4);
    std::memcpy(bytes.data() + central + 24, le, 4);
    kltest::write_file(path, bytes);
}

} // namespace bomb
