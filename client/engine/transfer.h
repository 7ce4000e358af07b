#pragma once
// The transfer engine: moves one file at a time from an HTTP or FTP server
// (directly or through proxies) or from the local file system into a local
// file, resuming partial files. The caller's thread posts a job to the engine's
// own worker thread and waits for it in short steps, so that progress reports
// and a cancel from another thread get in while a transfer runs.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "client/engine/transfer_settings.h"
#include "platform/sys/file_time.h"
#include "platform/sys/sync.h"

namespace plat::net {
class Session;
}

namespace klc {

// Request states between jobs; negative values are client error codes.
enum RequestState : int32_t {
    STATE_IDLE = 0,
    STATE_CONNECT_POSTED = 1,
    STATE_CONNECTED = 2, // also the state after every finished download
    STATE_DOWNLOAD_POSTED = 3,
    STATE_DOWNLOAD_DONE = 4,
};

// Download flags.
enum DownloadFlag : int32_t {
    DOWNLOAD_CREATE = 0x2,      // start the local file anew instead of resuming it
    DOWNLOAD_REMOTE_TIME = 0x10 // give the local file the remote file's time
};

// Engine flags: when progress is reported.
enum TransferFlag : int32_t {
    TRANSFER_TIMED_PROGRESS = 0x1, // every progress interval
    TRANSFER_BLOCK_PROGRESS = 0x2, // after every block moved
};

// Progress events, the first argument of OnProgress.
enum TransferEvent : int32_t {
    EVENT_CONNECT = 1,
    EVENT_DOWNLOAD = 3,
    EVENT_DISCONNECT = 7,
    EVENT_DISCONNECTED = 8,
};

// Carries a client error code out of the inner steps of a job; the job turns
// it into its state.
class CIFileException : public std::exception {
  public:
    explicit CIFileException(int32_t code) : m_code(code) {}
    int32_t code() const { return m_code; }
    const char* what() const noexcept override { return "transfer failed"; }

  private:
    int32_t m_code;
};

class CTransferEngine {
  public:
    CTransferEngine();
    virtual ~CTransferEngine();
    CTransferEngine(const CTransferEngine&) = delete;
    CTransferEngine& operator=(const CTransferEngine&) = delete;

    // One caller operation at a time: IsReady takes the busy mark without
    // waiting, Release gives it back. Every operation below takes it itself
    // and answers -13 when another operation holds it.
    bool IsReady();
    void Release();

    // Asks the running job to stop; it ends at the next block with -14. The
    // request stays cancelled until ResetCancel.
    void Cancel();
    bool IsCancelled();
    void ResetCancel();

    // n > 0: a progress report after every block moved; n ≤ 0: none (only the
    // timed ones). Blocks are as large as the link delivers them, up to
    // 256 KB, so a small n never slows a download down.
    void SetBlockSize(int32_t n);
    void SetFlags(int32_t flags) { m_flags = flags; }
    int32_t Flags() const { return m_flags; }
    void SetProgressInterval(int32_t ms) { m_progress_interval = ms; }
    // The clock timed progress is measured by, in milliseconds; none: the
    // steady clock. Tests give their own, so no report depends on speed.
    void SetProgressClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }

    // Takes the settings (none: keeps the current session when there is one).
    bool OpenSession(const CTransferSettings* settings = nullptr);
    // Ends the session and its connections.
    bool Close();
    // Connects to the request's server (HTTP and FTP: the server must answer,
    // FTP also accepts the login). Returns the state (2) or an error code.
    int32_t Connect(const CRequestInfo* request);
    // Drops the connections; the session stays.
    bool Disconnect();
    // Downloads `object` (a path on the connected server) into `local`,
    // resuming what the local file already holds unless DOWNLOAD_CREATE is
    // given. A partial file is continued only when it is proven to come from
    // the same remote file: the validators the server gave for it (HTTP: the
    // ETag or Last-Modified, asked back with If-Range; FTP and local files:
    // size and modification time) are kept beside it in its resume record
    // (ResumeRecordPath) and compared; without a record, or with another
    // file on the server, the local file is started again. `limit` caps the bytes to move. `max_size` (≥ 0) is the most the
    // local file may hold: a server that announces or sends more fails the
    // download with -8 at once, before the excess is written. Returns the
    // bytes in the local file (≥ 0) or a client error code; a failed download
    // leaves the partial local file in place for the next attempt.
    int64_t Download(std::string_view local, std::string_view object,
                     std::optional<int64_t> limit = std::nullopt, int32_t flags = 0, int64_t max_size = -1);

    // The record kept beside a partial local file: where it came from and
    // what proves it is still the same remote file.
    static std::string ResumeRecordPath(std::string_view local);
    // Deletes a local file and its resume record.
    static void DiscardLocal(std::string_view local);

    int32_t State() const { return m_state.load(); }
    const CTransferSettings& Settings() const { return m_settings; }
    // Size of the last remote object (-1 unknown).
    int64_t RemoteSize() const { return m_remote_size.load(); }

  protected:
    virtual void OnCancel() {}
    virtual int32_t OnProgress(int32_t event, int64_t bytes, int64_t size, float fraction) { return 0; }

  private:
    class LocalSink;
    // What the remote file of a partial local file looked like.
    struct ResumeRecord {
        std::string source; // the address, without user name and password
        std::string etag;
        std::string modified;
        int64_t size = -1;
        int64_t time = -1; // seconds since 1970 (UTC)
    };
    static std::optional<ResumeRecord> LoadRecord(const std::string& path);
    static void SaveRecord(const std::string& path, const ResumeRecord& record);

    // Caller side.
    void OpenSessionLocked(const CTransferSettings* settings);
    void PostJob();
    // Waits for the posted job, reporting progress and watching for a cancel.
    void WaitForJob(int32_t event);
    void ReportProgress(int32_t event);
    // Makes the running job stop at its next block and waits for its end.
    void Abort();

    // Worker side.
    void WorkerMain();
    void RunJob();
    int32_t ConnectServer();
    int32_t DownloadJob();
    int32_t DownloadNet();
    int32_t DownloadFile();
    bool WriteBlock(const char* data, size_t size);
    // False (and m_too_large) when an object of this size may not be taken.
    bool SizeAllowed(int64_t size);
    bool FlushBlock();
    bool RestartLocal();
    std::string SourceOf(const std::string& object) const;
    // True when the answer for a resumed download is the object the partial
    // file came from.
    bool SameRemote(int64_t total_size, int64_t time, const std::string& etag,
                    const std::string& modified) const;
    // Keeps what proves the object for a later resume; no proof: no record,
    // and the partial file is never continued.
    void KeepRecord(int64_t total_size, int64_t time, const std::string& etag, const std::string& modified);
    bool StopRequested() { return m_abort.load() || m_cancel.is_set(); }

    // Handover between the caller and the worker.
    plat::Semaphore m_busy{1, 1}; // one caller operation at a time
    plat::Semaphore m_data{1, 1}; // held by the worker around each block write
    plat::Event m_stop{true, false};
    plat::Event m_job_posted{true, false};
    plat::Event m_job_done{true, false};
    plat::Event m_block_moved{true, false};
    plat::Event m_cancel{true, false};
    std::atomic<bool> m_abort{false};

    CTransferSettings m_settings;
    CRequestInfo m_request;
    std::string m_object;
    int32_t m_block_size = 0;
    int32_t m_flags = 0;
    int32_t m_progress_interval = 1000;
    std::function<int64_t()> m_clock;
    std::atomic<int32_t> m_state{STATE_IDLE};

    // The running download, shared with the worker.
    int m_local_fd = -1;
    std::atomic<int64_t> m_base{0};
    int64_t m_limit = -1;
    bool m_limit_reached = false;
    int64_t m_max_size = -1;
    bool m_too_large = false;    // the object is larger than the local file may be
    bool m_other_remote = false; // the partial file came from another object
    std::string m_record_path;
    bool m_keep_record = false;
    std::optional<ResumeRecord> m_resume; // the partial file's record, while resuming
    std::vector<char> m_pending; // received, not yet written
    std::atomic<int64_t> m_to_transfer{-1};
    std::atomic<int64_t> m_remote_size{-1};
    std::atomic<int64_t> m_moved{0};
    std::atomic<int64_t> m_received{0}; // moved, and taken but not yet written
    std::optional<plat::FileTime> m_remote_time;

    std::unique_ptr<plat::net::Session> m_net; // used by the worker while a job runs
    std::thread m_worker;
};

} // namespace klc
