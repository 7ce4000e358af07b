#pragma once
// What the designer records about a source file: date, size, version parts
// and file type, read from the file and its version information.
#include <cstdint>
#include <string>
#include <string_view>

#include "KLDesigner/builder/document_model.h"

namespace kld {

struct VersionStrings {
    std::string FileVersion; // "Unavailable" without the string, "None" when empty
    int32_t FileType = 0;    // 0-5 or 7 as the file declares it, else 0
};

// The file's attributes as an action record stores them. `date` is the local
// modification time cut to whole seconds; the version parts come from the
// "FileVersion" text (split at "." or ","); `revision` receives the fourth
// part. An empty path gives the zero date and zeros; a missing file leaves
// the zeros too. `fileType` is not reset before it is read.
void GetFileAttributes(const std::string& path, OleDate& date, int32_t& size, int32_t& versionHigh,
                       int32_t& versionLow, int32_t& build, int32_t& fileType, int32_t& revision);

// The same into a record's file fields (the revision into FileReserved).
void GetFileAttributes(const std::string& path, ActionRecord& record);

void GetFileVersionInfoStrings(const std::string& path, VersionStrings& info);

std::string PadLeft(std::string text, size_t length, std::string_view pad);
// The part before the first NUL when that NUL is not the first character;
// otherwise (no NUL, or a NUL first) an empty text.
std::string TrimNull(std::string_view text);

} // namespace kld
