#pragma once
// A libzip source that hands libzip one file already deflated and protected
// with AES-256 in the standard zip form (salt, password check value, the
// data in counter mode, a 10-byte HMAC-SHA1 tag). libzip's own encoder calls
// the cipher one 16-byte block at a time through an entry point that does not
// use the processor's AES instructions, which made a protected build several
// times slower than a plain one; this source encrypts whole buffers.
//
// libzip takes the bytes as they come and writes the headers from the
// source's description (deflated, AES-256, size, CRC, time, mode). It cannot
// take stored data this way (it would compute the CRC over the encrypted
// bytes), so only levels 1-9 come here.
#include <zip.h>

#include <cstdint>
#include <string>

#include "platform/archive/zip_archive.h"

namespace plat::archive::detail {

struct ProtectedSourceOptions {
    std::string path;     // the file to pack
    int level = 9;        // deflate level, 1-9
    std::string password; // not empty
    // Reports bytes read of the file; answering false stops the run.
    const Progress* progress = nullptr;
    bool* cancelled = nullptr; // set when the progress answered false
};

// Null with `error` set when the file cannot be opened.
zip_source_t* protected_file_source(zip_t* za, const ProtectedSourceOptions& options);

} // namespace plat::archive::detail
