#pragma once
// Whole-file replacement for the configuration files: write a temporary file
// beside the target, flush it, then rename it over the target, so readers see
// either the old or the new file and a crash leaves no half-written one.
#include "platform/base/types.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace plat::config_detail {

SysError errno_to_syserror(int err);

// Reads a whole file. FileNotFound when it is missing.
SysError read_whole_file(const std::filesystem::path& file, std::string& out);

// Replaces the file's content atomically; keeps the old file's permissions.
SysError replace_file(const std::filesystem::path& file, std::string_view bytes);

// An exclusive lock on a folder, held while this object lives; serialises the
// read-modify-write cycles of processes that change files in that folder.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    SysError status() const { return m_status; }

  private:
    int m_fd{-1};
    SysError m_status{SysError::Success};
};

} // namespace plat::config_detail
