#include "KLDesigner/builder/file_version.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "common/version.h"
#include "platform/fileinfo/version_info.h"
#include "platform/sys/files.h"
#include "platform/sys/oledate.h"

namespace kld {

namespace {

bool StartsWithShebang(const std::string& path) {
    // Only the first two bytes matter.
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[2] = {0, 0};
    size_t n = std::fread(head, 1, 2, f);
    std::fclose(f);
    return n == 2 && head[0] == '#' && head[1] == '!';
}

// The string of the table the translation list selects: U.S. English when it
// is listed, else the last pair listed; no list means U.S. English with code
// page 0.
std::string GetInfoString(const plat::FileVersionInfo& info, std::string_view name) {
    plat::Translation t{1033, 0};
    if (!info.translations.empty()) {
        t = info.translations.back();
        for (const auto& pair : info.translations) {
            if (pair.language == 1033) {
                t = pair;
                break;
            }
        }
    }
    auto value = info.query_string(name, t);
    if (!value) return "Unavailable";
    std::string text = TrimNull(*value + std::string(1, '\0'));
    return text.empty() ? "None" : text;
}

} // namespace

std::string PadLeft(std::string text, size_t length, std::string_view pad) {
    if (pad.empty()) return text;
    while (text.size() < length)
        text.insert(0, pad);
    return text;
}

std::string TrimNull(std::string_view text) {
    size_t nul = text.find('\0');
    if (nul == std::string_view::npos || nul == 0) return {};
    return std::string(text.substr(0, nul));
}

void GetFileVersionInfoStrings(const std::string& path, VersionStrings& info) {
    auto vi = plat::read_version_info(path);
    if (!vi) {
        // A script with "#!" is a program here, though it carries no version.
        if (StartsWithShebang(path)) info.FileType = 1;
        return;
    }
    switch (vi->file_type()) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
        info.FileType = static_cast<int32_t>(vi->file_type());
        break;
    default:
        info.FileType = 0;
        break;
    }
    info.FileVersion = GetInfoString(*vi, "FileVersion");
}

void GetFileAttributes(const std::string& path, OleDate& date, int32_t& size, int32_t& versionHigh,
                       int32_t& versionLow, int32_t& build, int32_t& fileType, int32_t& revision) {
    date = 0;
    size = 0;
    versionHigh = versionLow = build = revision = 0;
    if (path.empty()) return;
    auto modified = plat::file_modified(path);
    auto length = plat::file_length(path);
    if (!modified || !length || plat::is_folder(path)) return;
    // Whole seconds: the INF date carries no fraction, so the stored date and
    // a later re-read must agree to the second.
    plat::FileTime whole{modified->ticks - modified->ticks % plat::kFileTimeTicksPerSecond};
    OleDate d = 0;
    if (plat::ole_date_from_file_time(whole, d)) date = d;
    size = *length > 0x7FFFFFFFu ? INT32_MAX : static_cast<int32_t>(*length);

    VersionStrings info;
    GetFileVersionInfoStrings(path, info);
    fileType = info.FileType;
    // Each part is a Long as the record keeps it: a part beyond 16 bits is
    // kept whole, and one beyond a Long stays at the largest Long, never
    // turned into a smaller number.
    const auto parts = kl::VersionParts(info.FileVersion);
    auto asLong = [](uint32_t part) { return static_cast<int32_t>(std::min<uint32_t>(part, INT32_MAX)); };
    versionHigh = asLong(parts[0]);
    versionLow = asLong(parts[1]);
    build = asLong(parts[2]);
    revision = asLong(parts[3]);
}

void GetFileAttributes(const std::string& path, ActionRecord& r) {
    GetFileAttributes(path, r.FileDate, r.FileSize, r.VersionHigh, r.VersionLow, r.Build, r.FileType,
                      r.FileReserved);
}

} // namespace kld
