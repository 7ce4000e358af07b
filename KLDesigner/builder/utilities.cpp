#include "KLDesigner/builder/utilities.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/file_version.h"
#include "KLDesigner/builder/vb.h"
#include "platform/base/strings.h"
#include "platform/config/machine.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace fs = std::filesystem;

namespace kld {

namespace {

// The path with "." and ".." resolved and every link on the way followed,
// for comparing folders; the text itself when that fails.
std::string Canonical(const std::string& native) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(native), ec);
    if (ec) return native;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// Removes one entry below a folder being cleared. Folders are made writable
// for their owner first, so read-only folders do not keep their content.
bool RemoveEntry(const fs::path& p, std::string* remaining) {
    std::error_code ec;
    auto st = fs::symlink_status(p, ec);
    if (ec) return true; // gone meanwhile
    if (fs::is_directory(st)) {
        ::chmod(p.c_str(), (static_cast<unsigned>(st.permissions()) & 07777) | S_IRWXU);
        bool ok = true;
        for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec))
            if (!RemoveEntry(it->path(), remaining)) ok = false;
        if (ec) {
            if (remaining && remaining->empty()) *remaining = p.string();
            return false;
        }
        if (!ok) return false;
    }
    if (!fs::remove(p, ec) || ec) {
        if (remaining && remaining->empty()) *remaining = p.string();
        return false;
    }
    return true;
}

} // namespace

bool BrowseForFolder(plat::ui::IPrompt& prompt, std::string& path, const std::string& title) {
    plat::ui::FolderRequest r;
    r.title = title;
    r.initial_folder = path;
    auto chosen = prompt.choose_folder(r);
    if (!chosen) return false;
    path = *chosen;
    return true;
}

std::string NativePath(std::string_view path) {
    return plat::native_path(path);
}

bool FileExists(std::string_view path) {
    if (path.empty()) return false;
    return plat::path_exists(NativePath(path));
}

bool IsFolderEmpty(std::string_view folder) {
    const std::string f = NativePath(folder);
    if (f.empty() || !plat::is_folder(f)) return true;
    auto entries = plat::list_folder(f, "*");
    if (!entries) return true;
    for (const auto& e : *entries)
        if ((e.attributes & (plat::attr::Directory | plat::attr::Hidden | plat::attr::System)) == 0)
            return false;
    return true;
}

bool ClearFolder(std::string_view folder, std::string* remaining) {
    if (remaining) remaining->clear();
    if (folder.size() < 4) return false;
    const std::string f = NativePath(folder);
    if (f.empty() || f == "/") return false;
    std::error_code ec;
    // A link to a folder is cleared as that folder and stays a link; links
    // found inside are removed, never followed.
    if (!fs::is_directory(fs::status(f, ec))) {
        if (!fs::exists(fs::symlink_status(f, ec))) return true;
        if (remaining && remaining->empty()) *remaining = f;
        return false;
    }
    bool ok = true;
    for (fs::directory_iterator it(f, ec), end; !ec && it != end; it.increment(ec))
        if (!RemoveEntry(it->path(), remaining)) ok = false;
    if (ec) {
        if (remaining && remaining->empty()) *remaining = f;
        return false;
    }
    return ok;
}

bool RemoveFolderTree(std::string_view folder, std::string* remaining) {
    if (remaining) remaining->clear();
    if (folder.size() < 4) return false;
    const std::string f = NativePath(folder);
    if (f.empty() || f == "/") return false;
    return RemoveEntry(fs::path(f), remaining);
}

bool CreateFolder(std::string_view path) {
    const std::string f = NativePath(path);
    if (f.empty()) return false;
    if (plat::create_folder(f, true) != plat::SysError::Success) return false;
    return plat::is_folder(f);
}

bool IsSystemFolder(std::string_view path, std::string_view programFolder) {
    std::string p = NativePath(vb::Trim(path));
    if (p.empty()) return false;
    p = Canonical(p);
    if (p == "/") return true;
    // Any folder directly below the root (/usr, /home, /etc ...).
    if (p.size() > 1 && p.find('/', 1) == std::string::npos) return true;
    std::vector<std::string> guarded = {plat::windows_folder().string(), plat::system_folder().string(),
                                        plat::program_files_folder().string(),
                                        plat::common_files_folder().string()};
    if (const char* home = std::getenv("HOME"); home && *home) guarded.emplace_back(home);
    if (!programFolder.empty()) guarded.emplace_back(programFolder);
    for (const auto& g : guarded)
        if (!g.empty() && Canonical(NativePath(g)) == p) return true;
    return false;
}

std::string GetWindowsFolder() {
    return plat::windows_folder().string();
}

std::string GetSystemFolder() {
    return plat::system_folder().string();
}

std::string GetProgramFilesFolder() {
    return ReadRegistryValue(hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                             "ProgramFilesDir");
}

std::string GetCommonFilesFolder() {
    return ReadRegistryValue(hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                             "CommonFilesDir");
}

std::string GetWordPadPath() {
    return ReadRegistryValue(hive::LocalMachine,
                             "SOFTWARE\\Classes\\Wordpad.Document.1\\Protocol\\StdFileEditing\\Server", "");
}

void SplitPath(std::string_view path, std::string& folder, std::string& name) {
    std::string p = vb::Trim(path);
    folder.clear();
    name = p;
    if (p.empty()) return;
    for (size_t i = p.size(); i-- > 0;) {
        if (p[i] == ':') {
            folder = p.substr(0, i + 1);
            name = p.substr(i + 1);
            return;
        }
        if (p[i] == '\\' || p[i] == '/') {
            folder = p.substr(0, i);
            name = p.substr(i + 1);
            return;
        }
    }
}

void SplitFileExtension(std::string_view name, std::string& base, std::string& extension) {
    std::string n = vb::Trim(name);
    base = n;
    extension.clear();
    for (size_t i = n.size(); i-- > 0;) {
        if (n[i] == '\\' || n[i] == '/' || n[i] == ':') return;
        if (n[i] == '.') {
            base = n.substr(0, i);
            extension = n.substr(i + 1);
            return;
        }
    }
}

bool ReplaceText(std::string& text, std::string_view find, std::string_view replacement) {
    if (find.empty()) return false;
    bool replaced = false;
    size_t p = plat::ifind(text, find, 0);
    while (p != std::string::npos) {
        text.replace(p, find.size(), replacement);
        replaced = true;
        p = plat::ifind(text, find, p + replacement.size());
    }
    return replaced;
}

std::string ReadRegistryValue(int32_t hiveCode, std::string_view key, std::string_view valueName) {
    plat::Hive h;
    switch (hiveCode) {
    case hive::ClassesRoot:
        h = plat::Hive::ClassesRoot;
        break;
    case hive::CurrentUser:
        h = plat::Hive::CurrentUser;
        break;
    case hive::LocalMachine:
        h = plat::Hive::LocalMachine;
        break;
    case hive::Users:
        h = plat::Hive::Users;
        break;
    default:
        return {};
    }
    plat::RegValue v;
    if (plat::registry().get_value(h, key, valueName, v) != plat::SysError::Success) return {};
    if (v.is_text() || v.is_number()) return v.as_string();
    return {};
}

std::string MakeRegistryPath(std::string_view key, std::string_view valueName) {
    if (key.empty() || (key == "(Default)" && valueName.empty())) return {};
    std::string k = vb::Trim(key);
    std::string v = vb::Trim(valueName);
    ReplaceText(k, "/", "\\");
    ReplaceText(v, "/", "\\");
    std::string path = k + "\\" + v;
    while (ReplaceText(path, "\\\\", "\\")) {
    }
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string SourceFilePath(std::string_view folder, std::string_view name) {
    return NativePath(std::string(folder) + "\\" + std::string(name));
}

int32_t Designer::UpdateOperFileInfo(int32_t position) {
    if (PrepareRunning) return 0;
    m_host.SetBusy(true);
    const int32_t count = m_tree.ListCount();
    int32_t first = 0, last = -1;
    if (position == -1) {
        last = count - 1;
    } else if (position >= 0 && position < count) {
        TreeValue shift = m_tree.Shift(position);
        if (shift.ok() && shift.value <= 0) {
            first = position + 1;
            TreeValue next = m_tree.ItemNextSibling(position);
            last = next.ok() && next.value >= 1 ? next.value - 1 : count - 1;
        } else {
            first = last = position;
        }
    }
    int32_t changed = 0;
    for (int32_t p = first; p <= last; ++p) {
        TreeValue rec = m_tree.ItemLngValue(p);
        if (!rec.ok() || !IsRecordIndex(rec.value)) continue;
        ActionRecord& r = Actions[static_cast<size_t>(rec.value)];
        if (r.IsGroup || r.IsFolder || vb::IsBlank(r.SourcePath)) continue;
        TreeValue parentPos = m_tree.ItemParent(p);
        if (!parentPos.ok()) continue;
        TreeValue parent = m_tree.ItemLngValue(parentPos.value);
        if (!parent.ok() || !IsRecordIndex(parent.value)) continue;
        const std::string folder = Actions[static_cast<size_t>(parent.value)].SourceFolder;
        if (vb::IsBlank(folder)) continue;
        const std::string path = SourceFilePath(folder, r.SourcePath);
        if (!FileExists(path)) {
            r.FileDate = 0;
            r.FileSize = r.VersionHigh = r.VersionLow = r.Build = r.FileType = r.FileReserved = 0;
            ++changed;
            Message("File '" + path + "' not found.", mb::Exclamation);
            m_host.SetBusy(false);
            continue;
        }
        ActionRecord before = r;
        GetFileAttributes(path, r.FileDate, r.FileSize, r.VersionHigh, r.VersionLow, r.Build, r.FileType,
                          r.FileReserved);
        if (r.FileDate != before.FileDate || r.FileSize != before.FileSize ||
            r.VersionHigh != before.VersionHigh || r.VersionLow != before.VersionLow ||
            r.Build != before.Build || r.FileType != before.FileType || r.FileReserved != before.FileReserved)
            ++changed;
    }
    const int32_t selected = m_tree.ListIndex();
    if (changed >= 1 && selected >= first && selected <= last) {
        TreeValue rec = m_tree.ItemLngValue(selected);
        if (rec.ok() && IsRecordIndex(rec.value) && !Actions[static_cast<size_t>(rec.value)].IsGroup &&
            !Actions[static_cast<size_t>(rec.value)].IsFolder) {
            m_host.ReassignOperFileName();
            m_tree.SetRedraw(false);
            m_bridge.RefreshOperationItem(*this, selected, rec.value);
            m_tree.SetRedraw(true);
            m_host.RefreshOperAttributes(1);
        }
    }
    m_host.SetBusy(false);
    return changed;
}

} // namespace kld
