#pragma once
// The client's shared state and the small services every part of the client
// uses: folders and file names, the log, registry paths, version and date
// texts. One context lives for the whole run (ClientContext()); tests make
// their own instances.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "common/version.h"
#include "platform/sys/file_time.h"
#include "platform/sys/sync.h"

namespace klc {

// One entry of the server list: where the catalogue of a server lies.
struct CServerEntry {
    std::string name;
    std::string url; // full address of the server's catalogue file
    std::string user_name;
    std::string password;
};

// A registry path taken apart: "HKLM/SOFTWARE/Vendor/Value".
struct RegistryPath {
    int32_t hive = 0;       // plat::Hive value
    std::string key;        // "SOFTWARE\Vendor"
    std::string value_name; // empty for the key's default value
};

// Splits a registry path (either separator). Refused (nullopt) when it has
// fewer than two separators or names an unknown hive. "@" and "(Default)"
// name the key's default value.
std::optional<RegistryPath> ParseRegistryPath(std::string_view path);

// Version and build texts are read alike by the designer and the client.
using kl::ParseBuild;
using kl::ParseVersion;
// "MM/DD/YYYY hh:nn:ss" with any non-digit separators; two-digit years are
// 19xx from 50 on, else 20xx. nullopt for no date: an empty text, the zero
// date 12/30/1899 00:00:00 and fields that form no real date. With
// `to_utc` the fields are local time and the result is UTC.
std::optional<plat::FileTime> ParseDate(std::string_view text, bool to_utc);
// The version as "a.b.c.d".
std::string VersionText(uint64_t version);

class CClientContext {
  public:
    CClientContext();
    ~CClientContext();
    CClientContext(const CClientContext&) = delete;
    CClientContext& operator=(const CClientContext&) = delete;

    // --- paths ---------------------------------------------------------
    // Environment references ("%NAME%") expanded; none: the temporary folder.
    std::string ExpandPath(std::optional<std::string_view> text = std::nullopt) const;
    // The log (or given) file name made absolute against the product folder.
    std::string LogFilePath(std::optional<std::string_view> name = std::nullopt) const;
    // The download folder of a product and an update below `base` (none:
    // this run's own folder, RunFolder()). Names are single safe path elements; an
    // unsafe one is refused (nullopt) so nothing lands outside the folder.
    std::optional<std::string> UpdateFolder(std::optional<std::string_view> base, const std::string* product,
                                            const std::string* update, bool create) const;
    // --- the run's folders -------------------------------------------------
    // This run's own folder: made on the first call, with a unique name and
    // for this user alone (mode 0700), below the expanded temporary folder,
    // which other users and other clients may share. The catalogue, the
    // product INF files, icons and news lie here. Before it is opened:
    // the expanded temporary folder. nullopt when it cannot be made.
    std::optional<std::string> OpenRunFolder();
    std::string RunFolder() const;
    // Removes this run's folder with everything in it.
    void CloseRunFolder();
    // The machine's own folder for what outlives a run: the pieces kept for
    // a resume (one folder per product and update, see UpdateFolder) and the
    // journal of work in progress. For this user alone; made when missing.
    std::string StoreFolder() const;
    // What a run killed half-way left behind (copies under a hidden
    // temporary name, its own folder) is removed, and the log says so.
    // Called when a run begins; a second call finds nothing to do.
    void RecoverInterruptedRun();
    // Notes a copy onto `target` (made through a hidden temporary file
    // beside it) while it is under way, so that a killed run's leftover is
    // found by the next one.
    void BeginCopy(const std::string& target);
    void EndCopy(const std::string& target);

    // Every folder of the path, created in turn.
    static void CreateFolderPath(std::string_view path);
    static bool FileExists(std::string_view path);
    // The server list file resolved like a profile file: an absolute name as
    // it stands, else found beside the program, in the product folder or in
    // the system folder; else the name as it is.
    std::string ServerListPath() const;
    // A value of the server list file named by "section,key".
    std::string ReadServerListValue(std::string_view section_and_key) const;
    static std::string GetModulePath();

    // --- registry paths ------------------------------------------------
    static std::string ReadRegistryText(std::string_view path);
    static uint64_t ReadRegistryVersion(std::string_view path);
    static bool RegistryKeyExists(std::string_view path);
    // Creates the key when needed and stores the text; false on failure with
    // the platform error in `sys_error` when given.
    static bool WriteRegistryText(std::string_view path, std::string_view text, int32_t* sys_error = nullptr);

    // --- log -------------------------------------------------------------
    void WriteLog(std::string_view text, int32_t level);
    void WriteLogString(int32_t id, int32_t level);
    bool LogAvailable() const { return log_level > 0 && log_started.load(); }
    std::optional<std::string> ReadLog(std::optional<std::string_view> path = std::nullopt) const;
    std::string ResultLine();

    // --- fields ------------------------------------------------------------
    std::string product_folder;
    std::string temporary_folder{"%TEMP%"};
    // Empty: the machine's own folder (StoreFolder()).
    std::string store_folder;
    std::string server_list_file{"KLClient.INI"};
    std::string log_file{"KLClient.LOG"};
    std::string final_program;
    std::string script_text;
    std::string product_filter;
    std::string update_filter;
    CServerEntry current_server;
    int32_t backup_mode = 0;
    std::string backup_folder{"%PRODUCT%"};
    int32_t log_level = 2;
    std::atomic<int32_t> last_result{0};
    std::atomic<int32_t> last_system_error{0};
    int32_t automatic_mode = 0;
    int32_t settings_button = 1;
    plat::Event cancel_event{true, false};
    std::atomic<bool> log_started{false};
    std::atomic<bool> reboot_pending{false};
    std::atomic<bool> processed{false};

  private:
    enum class JournalKind { Copy, Run };
    void Journal(JournalKind kind, const std::string& path, bool add);

    std::mutex m_log_mutex;
    std::mutex m_journal_mutex;
    std::string m_run_folder;
};

// The one context of the running client.
CClientContext& ClientContext();

// Prepares the variables every path is expanded against: SYSTEM and SYS,
// WINDIR and WIN, TEMP, PROGRAMFILES (also as "PROGRAM FILES", the macro the
// designer writes) and PRODUCT (the context's product folder).
void InitClientEnvironment(const CClientContext& ctx);

} // namespace klc
