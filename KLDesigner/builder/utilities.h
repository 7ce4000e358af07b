#pragma once
// File, folder and registry helpers of the designer. Paths may arrive in the
// document's form ("\" separators); every helper makes them native first.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/prompt.h"

namespace kld {

// The folder browser; on a choice `path` becomes the chosen folder.
bool BrowseForFolder(plat::ui::IPrompt& prompt, std::string& path, const std::string& title);

// The document's path text as a native path ("\" → "/").
std::string NativePath(std::string_view path);

// True when the path names a file or a folder.
bool FileExists(std::string_view path);
// True when the folder is missing or holds no plain file (folders, hidden
// and system files do not count).
bool IsFolderEmpty(std::string_view folder);
// Deletes everything inside the folder, read-only and hidden files and
// sub-folders included, keeping the folder. Symbolic links are removed,
// never followed. Answers true when the folder is empty afterwards; else
// `remaining` names the first entry that could not be removed. The root and
// texts shorter than 4 characters are never cleared (false, nothing named).
bool ClearFolder(std::string_view folder, std::string* remaining = nullptr);
// Deletes a folder with everything in it (links removed, not followed).
bool RemoveFolderTree(std::string_view folder, std::string* remaining = nullptr);
// True when the folder exists afterwards; missing parents are made.
bool CreateFolder(std::string_view path);
// Folders whose contents must never be cleared: the root, any folder
// directly below it, the home folder, the machine's Windows, system,
// Program Files and Common Files folders and the program's own folder.
bool IsSystemFolder(std::string_view path, std::string_view programFolder);

std::string GetWindowsFolder();
std::string GetSystemFolder();
std::string GetProgramFilesFolder();
std::string GetCommonFilesFolder();
std::string GetWordPadPath();

// Splits a trimmed path at its last "\", "/" (the separator belongs to
// neither part) or ":" (the folder keeps it).
void SplitPath(std::string_view path, std::string& folder, std::string& name);
// Splits a trimmed name at the last "." of its last element.
void SplitFileExtension(std::string_view name, std::string& base, std::string& extension);
// Replaces every occurrence of `find` (without regard to case); true when
// anything was replaced. Searching goes on after each replacement.
bool ReplaceText(std::string& text, std::string_view find, std::string_view replacement);

// The source file of an item: its group's folder and its own name, joined
// as the document writes them and made native.
std::string SourceFilePath(std::string_view folder, std::string_view name);

// Registry hives by the numbers the designer's lists use.
namespace hive {
constexpr int32_t ClassesRoot = 0;
constexpr int32_t CurrentUser = 1;
constexpr int32_t LocalMachine = 2;
constexpr int32_t Users = 3;
} // namespace hive
// A value's data as text (a number in decimal); empty when it cannot be read.
std::string ReadRegistryValue(int32_t hiveCode, std::string_view key, std::string_view valueName);
// "key\value name", separators made "\", runs of them one, no trailing one;
// "" for an empty key or for "(Default)" with an empty value name.
std::string MakeRegistryPath(std::string_view key, std::string_view valueName);

} // namespace kld
