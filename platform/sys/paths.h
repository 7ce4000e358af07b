#pragma once
// Path text. Documents, INF files and servers write Windows-style paths with
// "\" and drive letters; the file system here wants "/". These helpers turn
// one into the other and take paths apart the way the callers expect.
// A "full path" is an absolute one; every drive root is "/".
#include <optional>
#include <string>
#include <string_view>

namespace plat {

// "\" becomes "/", runs of separators become one, a leading drive ("C:",
// "C:\") becomes "/" ("C:\Program Files\x" → "/Program Files/x"). A trailing
// separator is kept only for the root. Empty stays empty.
std::string native_path(std::string_view path);

// The same text with every "/" turned into "\" (for texts written to INF
// files, batch files and logs that read like the original platform).
std::string windows_path(std::string_view path);

// True for "/x", "\x", "C:\x", "C:/x" and "\\server\share" (a drive letter
// alone, "C:x", is relative to that drive and is not full).
bool is_absolute_path(std::string_view path);

// True for "/", "\", "C:", "C:\" and "C:/".
bool is_drive_root(std::string_view path);

// True for "/" or "\".
constexpr bool is_separator(char c) {
    return c == '/' || c == '\\';
}

// `folder` and `name` joined by exactly one "/"; an empty folder gives the
// name, an absolute name is returned as it stands.
std::string join_path(std::string_view folder, std::string_view name);

// The last element (after the last "/", "\" or drive colon), the folder before
// it (without the trailing separator; "/" for a name directly in the root),
// and the extension of the last element (after its last ".", without the
// dot; empty when there is none).
std::string file_name(std::string_view path);
std::string parent_path(std::string_view path);
std::string file_extension(std::string_view path);
// The last element without its extension.
std::string file_stem(std::string_view path);

// Split a trimmed path at its last separator: at a colon the folder keeps the
// colon ("C:file.txt" → "C:", "file.txt"); at "\" or "/" the separator
// belongs to neither part ("dir/sub\name" → "dir/sub", "name"). Without a
// separator the folder is empty.
void split_path(std::string_view path, std::string& folder, std::string& name);

// Split a trimmed name at the last "." of its last element; a separator or
// colon met first means no extension ("a.b\c" → "a.b\c", "").
void split_file_extension(std::string_view name, std::string& base, std::string& extension);

// A name that arrives from a server, an archive or a document, reduced to one
// safe path element: blanks around it trimmed, then refused (nullopt) when it
// is empty, ".", "..", holds "/", "\", ":" or a control character, or is
// longer than 255 bytes. Nothing built from the result can leave its folder.
std::optional<std::string> safe_file_name(std::string_view name);

// `relative` (either separator) joined below `folder`, refused when it is
// absolute, has a drive, names no element, or any element of it would be
// refused by safe_file_name (".." among them). Empty and "." elements are
// dropped; the others are trimmed.
std::optional<std::string> safe_join(std::string_view folder, std::string_view relative);

} // namespace plat
