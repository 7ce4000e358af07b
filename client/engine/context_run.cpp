// The folders of a run: its own private folder below the shared temporary
// folder, the machine's folder for what outlives a run, and the journal that
// lets the next run clean up after one that was killed half-way.
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>

#include "client/engine/context.h"
#include "platform/base/strings.h"
#include "platform/config/machine.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

constexpr const char* kRunPrefix = "KLClient.";
constexpr const char* kJournalName = "KLClient.journal";
constexpr const char* kCopyTag = "copy";
constexpr const char* kRunTag = "run";

// The hidden temporary file a copy onto `target` writes first:
// ".<name>.XXXXXX" beside it (names are cut to 200 bytes, as the copy does).
bool IsCopyLeftover(const std::string& entry, const std::string& target_name) {
    std::string name = target_name;
    if (name.size() > 200) name.resize(200);
    const std::string head = "." + name + ".";
    if (entry.size() != head.size() + 6 || !entry.starts_with(head)) return false;
    for (char c : entry.substr(head.size()))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// A folder this client made for a run: "KLClient." and six characters.
bool IsRunFolderName(const std::string& name) {
    const std::string prefix = kRunPrefix;
    return name.size() == prefix.size() + 6 && name.starts_with(prefix);
}

void MakePrivateFolder(const std::string& folder) {
    plat::create_folder(folder, true);
    ::chmod(folder.c_str(), 0700);
}

} // namespace

std::optional<std::string> CClientContext::OpenRunFolder() {
    if (!m_run_folder.empty()) return m_run_folder;
    const std::string base = plat::native_path(ExpandPath());
    if (base.empty()) return std::nullopt;
    plat::create_folder(base, true);
    std::string templ = plat::join_path(base, std::string(kRunPrefix) + "XXXXXX");
    if (!::mkdtemp(templ.data())) return std::nullopt;
    m_run_folder = templ;
    Journal(JournalKind::Run, m_run_folder, true);
    return m_run_folder;
}

std::string CClientContext::RunFolder() const {
    return m_run_folder.empty() ? plat::native_path(ExpandPath()) : m_run_folder;
}

void CClientContext::CloseRunFolder() {
    if (m_run_folder.empty()) return;
    plat::remove_folder_tree(m_run_folder);
    Journal(JournalKind::Run, m_run_folder, false);
    m_run_folder.clear();
}

std::string CClientContext::StoreFolder() const {
    std::string folder = store_folder.empty() ? (plat::windows_temp_folder() / "KLClient").string()
                                              : plat::native_path(ExpandPath(store_folder));
    MakePrivateFolder(folder);
    return folder;
}

void CClientContext::BeginCopy(const std::string& target) {
    Journal(JournalKind::Copy, target, true);
}

void CClientContext::EndCopy(const std::string& target) {
    Journal(JournalKind::Copy, target, false);
}

void CClientContext::Journal(JournalKind kind, const std::string& path, bool add) {
    std::lock_guard guard(m_journal_mutex);
    const std::string file = plat::join_path(StoreFolder(), kJournalName);
    const std::string line = std::string(kind == JournalKind::Copy ? kCopyTag : kRunTag) + "\t" + path;
    std::string text;
    plat::read_whole_file(file, text);
    std::string kept;
    bool found = false;
    for (const std::string& l : plat::split(text, '\n')) {
        if (l.empty()) continue;
        if (l == line) {
            if (!add || found) continue;
            found = true;
        }
        kept += l + "\n";
    }
    if (add && !found) kept += line + "\n";
    if (kept.empty())
        plat::delete_file(file);
    else
        plat::write_file_atomic(file, kept);
}

void CClientContext::RecoverInterruptedRun() {
    std::string text;
    {
        std::lock_guard guard(m_journal_mutex);
        plat::read_whole_file(plat::join_path(StoreFolder(), kJournalName), text);
    }
    for (const std::string& l : plat::split(text, '\n')) {
        const size_t tab = l.find('\t');
        if (tab == std::string::npos) continue;
        const std::string tag = l.substr(0, tab);
        const std::string path = l.substr(tab + 1);
        if (tag == kRunTag) {
            if (path == m_run_folder) continue; // this run's own
            if (IsRunFolderName(plat::file_name(path)) && plat::is_folder(path)) {
                plat::remove_folder_tree(path);
                WriteLog(plat::strprintf("An earlier run was interrupted: its folder %s is removed.",
                                         path.c_str()),
                         1);
            }
            Journal(JournalKind::Run, path, false);
        } else if (tag == kCopyTag) {
            const std::string folder = plat::parent_path(path);
            const std::string name = plat::file_name(path);
            int32_t removed = 0;
            if (auto entries = plat::list_folder(folder)) {
                for (const auto& entry : *entries) {
                    if (entry.is_folder() || !IsCopyLeftover(entry.name, name)) continue;
                    const std::string leftover = plat::join_path(folder, entry.name);
                    if (plat::delete_file(leftover) != plat::SysError::Success) continue;
                    ++removed;
                    WriteLog(plat::strprintf("An earlier run was interrupted while copying %s: its temporary "
                                             "file %s is removed.",
                                             path.c_str(), leftover.c_str()),
                             1);
                }
            }
            if (removed == 0)
                WriteLog(plat::strprintf("An earlier run was interrupted while copying %s: it left no "
                                         "temporary file.",
                                         path.c_str()),
                         1);
            Journal(JournalKind::Copy, path, false);
        }
    }
}

} // namespace klc
