#pragma once
// Downloading and installing the selected updates: pieces are downloaded,
// archives unpacked, each file's action applied with a backup, and a failed
// update rolled back so that every file it touched is as it was before.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/engine/confine.h"
#include "client/engine/context.h"
#include "client/engine/host.h"
#include "client/engine/product.h"
#include "client/engine/registry_image.h"
#include "client/engine/transfer_settings.h"

namespace klc {

class CTransferEngine;
class CPageConnection;

// Steps of the installation where a failure can be injected by tests.
enum InstallStep : int32_t {
    STEP_BACKUP = 1,
    STEP_COPY,
    STEP_SET_DATE,
    STEP_REGISTER,
    STEP_EXECUTE,
    STEP_REMOVE,
    STEP_RENAME,
};

// The copy-on-restart batch: the pairs of files it copies when the machine
// starts next, kept as POSIX shell lines.
class CopyOnRestartBatch {
  public:
    explicit CopyOnRestartBatch(std::string path) : m_path(std::move(path)) {}

    // Reads the pairs of an existing batch; a missing batch holds none.
    bool Load();
    void Add(const std::string& source, const std::string& target);
    // Removes the pairs copying this source; true when one was there.
    bool Remove(const std::string& source);
    // Writes the batch atomically (or deletes it when no pair is left).
    int32_t Save() const;

    const std::vector<std::pair<std::string, std::string>>& Pairs() const { return m_pairs; }
    std::string Text() const;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
    std::vector<std::pair<std::string, std::string>> m_pairs;
};

// A text in single quotes for a POSIX shell ("it's" → 'it'\''s').
std::string ShellQuote(std::string_view text);

// Starts the command line of the RUN switch in the product folder, without
// waiting; a command that cannot be split or started is logged. True when it
// started.
bool StartFinalProgram(CClientContext& ctx);

constexpr const char* kRunOnceKey = "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/RunOnce";
constexpr const char* kRunOncePath = "HKLM/SOFTWARE/Microsoft/Windows/CurrentVersion/RunOnce/KLClientReboot";

class CUpdateInstaller {
  public:
    CUpdateInstaller(CClientContext& ctx, IClientHost& host);
    ~CUpdateInstaller();

    // The update page's whole work over the selected updates of the
    // catalogue: 0 when all were processed, 1 when the run stopped.
    int32_t LoadUpdates(CCatalogue& catalogue, const CTransferSettings& settings,
                        const CRequestInfo& request_template);

    // Single steps, each callable on its own.
    bool DownloadUpdate(CProduct& product, CUpdate& update);
    bool InstallUpdate(CProduct& product, CUpdate& update);
    bool RestoreUpdate(CProduct& product, CUpdate& update, bool restore);

    int32_t CopyFileWithRetry(const std::string& source, const std::string& target);
    int32_t BackupFile(const std::string& file, const std::string& backup);
    int32_t RegisterCopyOnReboot(const std::string& source, const std::string& target);
    int32_t RunProgram(const std::vector<std::string>& argv, const std::string& folder, bool wait);
    int32_t SelfRegister(const std::string& file);
    int32_t MoveFileTo(const std::string& existing, const std::string& target);
    int32_t ApplyOnSuccess(const std::string& text);
    bool DeleteFolderFiles(const std::string& folder, bool ask);

    // The engine used by DownloadUpdate (LoadUpdates makes its own).
    void SetTransfer(CTransferEngine* engine) { m_transfer = engine; }
    // Tests make a step fail: a non-zero platform error number fails the step.
    using FaultHook = std::function<int32_t(InstallStep step, const std::string& path)>;
    void SetFaultHook(FaultHook hook) { m_fault = std::move(hook); }

    int32_t PageResult() const { return m_result; }
    // True when a step of the last InstallUpdate failed.
    bool UpdateFailed() const { return m_update_failed; }
    bool Stopped() const { return m_stopped; }
    const std::string& DownloadFolder() const { return m_download_folder; }

    // The failure handling of the pages: stores the code, logs its text
    // (with `detail` after it) and asks whether to go on (false ends the run).
    bool AskContinue(int32_t code, const std::string& detail = {});

  private:
    struct Touched {
        std::string path;
        bool existed = false;
        std::string saved;    // a copy of the file as it was
        bool changed = false; // this run wrote, replaced or removed it
    };
    // A module this run registered, with the store as it was before and
    // after its registration.
    struct Registration {
        std::string file;
        RegistryImage before;
        RegistryImage after;
    };
    struct Paths;

    bool Prepare(CProduct& product, CUpdate& update);
    // Downloads the pieces of an entry into the download folder, noting each
    // one that arrived; `wrong` when one is not the size the INF gives.
    int32_t FetchPieces(CFileEntry& entry, std::vector<std::string>& locals, bool& wrong);
    // Unpacks an entry's archive; `wrong` and the archive layer's `reason`
    // when the pieces are no sound archive.
    int32_t Unpack(CFileEntry& entry, const std::vector<std::string>& locals, bool& wrong, std::string& reason);
    Paths PathsOf(const CFileEntry& entry) const;
    // Where an archive entry is unpacked: a folder of the download folder
    // named by the archive's base ("_0001"), so that files of one name from
    // two archives of an update do not overwrite each other.
    std::string UnpackFolderOf(const CFileEntry& entry) const;
    bool PolicyBackup(const CFileEntry& entry) const;
    bool PolicyDeletesBackup(const CFileEntry& entry) const;
    int32_t Fault(InstallStep step, const std::string& path);
    int32_t Fail(int32_t code, int32_t sys_error);
    // Remembers a file before the update changes it.
    int32_t Remember(const std::string& path, const std::string& policy_backup);
    void MarkChanged(const std::string& path);
    // Refuses an update whose targets hold a folder or a link before any
    // of its steps runs.
    int32_t CheckTargets(CUpdate& update);
    void UndoRegistrations();
    int32_t InstallEntry(CFileEntry& entry);
    // Refuses an entry whose paths leave the update's folders, with the
    // error of the step that would have reached outside.
    int32_t Confine(const CFileEntry& entry, const Paths& paths);
    CPageConnection& Connection();

    CClientContext& m_ctx;
    IClientHost& m_host;
    CTransferEngine* m_transfer = nullptr;
    std::unique_ptr<CPageConnection> m_connection;
    FaultHook m_fault;

    int32_t m_result = 0;
    int32_t m_stage = 3;
    bool m_stopped = false;
    bool m_yes_for_all = false;
    bool m_update_failed = false;

    std::string m_download_folder;
    std::string m_backup_folder;
    std::string m_rollback_folder;
    InstallScope m_scope;
    std::vector<Touched> m_touched;
    std::vector<Registration> m_registered;
    std::vector<std::string> m_reboot_sources;
    int64_t m_total = 0;
    int64_t m_done = 0;
};

} // namespace klc
