#include "client/engine/transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include "client/engine/errors.h"
#include "platform/base/strings.h"
#include "platform/net/session.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {

namespace {

constexpr int32_t kWaitStepMs = 100;
// Local copies read large blocks; progress and cancel are still seen after each.
constexpr int64_t kFileBlock = 256 * 1024;

plat::net::SessionOptions SessionOptionsFor(const CTransferSettings& s) {
    plat::net::SessionOptions o;
    o.timeout_ms = s.timeout;
    switch (s.proxy_mode) {
    case PROXY_DIRECT:
        o.proxy_mode = plat::net::ProxyMode::Direct;
        break;
    case PROXY_NAMED:
        o.proxy_mode = plat::net::ProxyMode::Named;
        break;
    default:
        o.proxy_mode = plat::net::ProxyMode::System;
        break;
    }
    o.http_proxy = {s.http_proxy_server, s.http_proxy_port, s.http_proxy_user, s.http_proxy_password};
    o.ftp_proxy = {s.ftp_proxy_server, s.ftp_proxy_port, s.ftp_proxy_user, s.ftp_proxy_password};
    o.user_agent = "KLite";
    o.http_headers = {"Accept: text/*"};
    return o;
}

plat::net::Endpoint EndpointFor(const CRequestInfo& r) {
    plat::net::Endpoint ep;
    ep.scheme = r.scheme == SCHEME_FTP ? plat::net::Scheme::Ftp : plat::net::Scheme::Http;
    ep.host = r.host;
    ep.port = r.port;
    if (!r.user_name.empty()) {
        ep.user = r.user_name;
        ep.password = r.password;
    }
    ep.ftp_passive = r.passive != 0;
    return ep;
}

int32_t CodeFor(plat::net::Status status, int32_t scheme) {
    using plat::net::Status;
    switch (status) {
    case Status::Ok:
        return STATE_DOWNLOAD_DONE;
    case Status::BadUrl:
        return ERR_BAD_URL;
    case Status::ConnectFailed:
    case Status::LoginDenied:
        return ERR_BAD_SERVER;
    case Status::NotFound:
        return scheme == SCHEME_FTP ? ERR_SIZE : ERR_LOAD;
    case Status::OpenFailed:
        return ERR_LOAD;
    case Status::ResumeMismatch:
    case Status::RangeNotSatisfiable:
        return ERR_OFFSET;
    case Status::Cancelled:
        return ERR_CANCELLED;
    case Status::SinkFailed:
        return ERR_WRITE;
    case Status::Lost:
    case Status::Other:
        break;
    }
    return ERR_NO_INTERNET;
}

bool WriteAll(int fd, const char* data, size_t size, int64_t offset) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

// A weak ETag names an object only roughly: it cannot prove a byte range.
bool StrongTag(const std::string& etag) {
    return !etag.empty() && !etag.starts_with("W/");
}

int64_t LocalSize(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

} // namespace

// Takes the bytes of a running download into the local file, on the worker.
class CTransferEngine::LocalSink : public plat::net::Sink {
  public:
    explicit LocalSink(CTransferEngine& engine) : m_engine(engine) {}

    bool begin(const plat::net::Response& r) override {
        if (m_engine.m_base > 0) {
            // The server sent the object from its start: it is not the one
            // the partial file came from, or it gives no ranges.
            if (r.start_offset == 0) {
                if (!m_engine.RestartLocal()) return false;
            } else if (!m_engine.SameRemote(r.total_size, r.remote_time, r.etag, r.last_modified)) {
                m_engine.m_other_remote = true;
                return false;
            }
        }
        m_engine.KeepRecord(r.total_size, r.remote_time, r.etag, r.last_modified);
        m_engine.m_remote_size = r.total_size;
        if (r.remote_time >= 0)
            m_engine.m_remote_time = plat::file_time_from_timespec(timespec{r.remote_time, 0});
        if (m_engine.m_to_transfer < 0) m_engine.m_to_transfer = r.content_length;
        const int64_t announced = r.total_size >= 0       ? r.total_size
                                  : r.content_length >= 0 ? m_engine.m_base + r.content_length
                                                          : -1;
        return m_engine.SizeAllowed(announced);
    }

    bool write(const char* data, size_t size) override { return m_engine.WriteBlock(data, size); }

    bool cancelled() override { return m_engine.StopRequested(); }

  private:
    CTransferEngine& m_engine;
};

CTransferEngine::CTransferEngine() {
    m_worker = std::thread([this] { WorkerMain(); });
}

CTransferEngine::~CTransferEngine() {
    // The worker ends on its own: a running job sees the abort at its next
    // block, an idle worker sees the stop event.
    m_abort = true;
    m_stop.set();
    m_worker.join();
    m_net.reset();
}

// --- caller side -------------------------------------------------------------

bool CTransferEngine::IsReady() {
    return m_busy.wait(0);
}

void CTransferEngine::Release() {
    m_busy.release();
}

void CTransferEngine::Cancel() {
    m_cancel.set();
    OnCancel();
}

bool CTransferEngine::IsCancelled() {
    return m_cancel.is_set();
}

void CTransferEngine::ResetCancel() {
    m_cancel.reset();
}

void CTransferEngine::SetBlockSize(int32_t n) {
    if (n <= 0) {
        m_block_size = 0;
        m_flags &= ~TRANSFER_BLOCK_PROGRESS;
    } else {
        m_block_size = n;
        m_flags |= TRANSFER_BLOCK_PROGRESS;
    }
}

bool CTransferEngine::OpenSession(const CTransferSettings* settings) {
    if (!IsReady()) return false;
    OpenSessionLocked(settings);
    Release();
    return true;
}

void CTransferEngine::OpenSessionLocked(const CTransferSettings* settings) {
    if (settings)
        m_settings = *settings;
    else if (m_net)
        return;
    // No job runs while the busy mark is held, so the worker's session can be
    // replaced from here.
    m_net = std::make_unique<plat::net::Session>(SessionOptionsFor(m_settings));
    m_state = STATE_IDLE;
}

bool CTransferEngine::Close() {
    if (!IsReady()) return false;
    m_net.reset();
    m_state = STATE_IDLE;
    Release();
    return true;
}

int32_t CTransferEngine::Connect(const CRequestInfo* request) {
    if (!request || !IsReady()) return ERR_UNDEFINED;
    m_request = *request;
    switch (m_request.scheme) {
    case SCHEME_HTTP:
    case SCHEME_FTP:
        OpenSessionLocked(nullptr);
        OnProgress(EVENT_CONNECT, 0, 0, 0.0f);
        m_state = STATE_CONNECT_POSTED;
        PostJob();
        WaitForJob(EVENT_CONNECT);
        break;
    case SCHEME_FILE:
        m_state = STATE_CONNECTED;
        break;
    default:
        m_state = ERR_BAD_URL;
        break;
    }
    const int32_t state = m_state;
    Release();
    return state;
}

bool CTransferEngine::Disconnect() {
    if (!IsReady()) return false;
    OnProgress(EVENT_DISCONNECT, 0, 0, 0.0f);
    if (m_net) m_net->disconnect();
    m_state = STATE_IDLE;
    OnProgress(EVENT_DISCONNECTED, 0, 0, 0.0f);
    Release();
    return true;
}

int64_t CTransferEngine::Download(std::string_view local, std::string_view object,
                                  std::optional<int64_t> limit, int32_t flags, int64_t max_size) {
    if (local.empty()) return ERR_TARGET_INVALID;
    if (!IsReady()) return ERR_UNDEFINED;
    if (m_state != STATE_CONNECTED && m_state != STATE_DOWNLOAD_DONE) {
        Release();
        return ERR_CONNECTION_LOST;
    }
    const std::string local_path(local);
    const int open_flags = O_RDWR | O_CREAT | O_CLOEXEC | ((flags & DOWNLOAD_CREATE) ? O_TRUNC : 0);
    m_local_fd = open(local_path.c_str(), open_flags, 0644);
    if (m_local_fd < 0 || LocalSize(m_local_fd) < 0) {
        if (m_local_fd >= 0) close(m_local_fd);
        m_local_fd = -1;
        Release();
        return ERR_TARGET_INVALID;
    }

    m_base = LocalSize(m_local_fd);
    m_object = std::string(object);
    m_record_path = ResumeRecordPath(local_path);
    m_resume.reset();
    m_other_remote = false;
    if (m_base > 0 && !(flags & DOWNLOAD_CREATE)) {
        // A partial file is trusted only with the proof of where it came from.
        m_resume = LoadRecord(m_record_path);
        if (m_resume && m_resume->source != SourceOf(m_object)) m_resume.reset();
        const bool provable = m_resume && (m_request.scheme == SCHEME_HTTP
                                               ? StrongTag(m_resume->etag) || !m_resume->modified.empty()
                                               : m_resume->size >= 0 && m_resume->time >= 0);
        if (!provable) {
            m_resume.reset();
            if (ftruncate(m_local_fd, 0) == 0) m_base = 0;
        }
    }
    if (!m_resume) ::unlink(m_record_path.c_str());
    // A file made anew each time (a catalogue, a note) is never resumed.
    m_keep_record = !(flags & DOWNLOAD_CREATE);
    m_limit = limit ? std::max<int64_t>(*limit, 0) : -1;
    m_to_transfer = m_limit;
    m_max_size = max_size;
    m_too_large = false;
    m_moved = 0;
    m_received = 0;
    m_remote_time.reset();
    // Every file starts at nothing, whatever the one before reached.
    OnProgress(EVENT_DOWNLOAD, m_base, -1, 0.0f);
    m_state = STATE_DOWNLOAD_POSTED;
    PostJob();
    WaitForJob(EVENT_DOWNLOAD);

    const int32_t state = m_state;
    ReportProgress(state);
    if ((flags & DOWNLOAD_REMOTE_TIME) && state == STATE_DOWNLOAD_DONE && m_remote_time) {
        const timespec t = plat::timespec_from_file_time(*m_remote_time);
        const timespec times[2] = {t, t};
        futimens(m_local_fd, times);
    }
    const int64_t size = LocalSize(m_local_fd);
    close(m_local_fd);
    m_local_fd = -1;

    int64_t result = state;
    if (state == STATE_DOWNLOAD_DONE) {
        result = size;
    } else {
        m_state = STATE_CONNECTED;
    }
    Release();
    return result;
}

void CTransferEngine::PostJob() {
    m_abort = false;
    m_job_done.reset();
    m_job_posted.set();
}

void CTransferEngine::WaitForJob(int32_t event) {
    auto now = [this]() -> int64_t {
        if (m_clock) return m_clock();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    int64_t last = now();
    for (;;) {
        const int32_t which = plat::wait_any({&m_job_done, &m_block_moved}, kWaitStepMs);
        if (which == 0) break;
        if (which == 1) {
            m_block_moved.reset();
            if (m_flags & TRANSFER_BLOCK_PROGRESS) ReportProgress(event);
        }
        // The interval is measured by the clock, so timed reports also come
        // while blocks keep arriving faster than the wait step.
        if (const int64_t t = now(); t - last >= m_progress_interval) {
            last = t;
            if (m_flags & TRANSFER_TIMED_PROGRESS) ReportProgress(event);
        }
        if (m_cancel.is_set()) {
            Abort();
            m_state = ERR_CANCELLED;
            break;
        }
    }
}

void CTransferEngine::ReportProgress(int32_t event) {
    if (event == EVENT_CONNECT) {
        OnProgress(event, 0, 0, 0.0f);
        return;
    }
    // Bytes count as they arrive, although they are written in large blocks.
    const int64_t received = m_received;
    const int64_t total = m_to_transfer;
    float fraction = 0.0f;
    if (total < 1)
        fraction = event == STATE_DOWNLOAD_DONE ? 1.0f : 0.0f;
    else
        fraction = static_cast<float>(std::clamp(static_cast<double>(received) / total, 0.0, 1.0));
    OnProgress(event, m_base + received, m_remote_size, fraction);
}

void CTransferEngine::Abort() {
    // Waits until no block is being written, so the local file ends on a
    // block boundary, then lets the worker stop at its next block.
    const bool held = m_data.wait(20);
    m_abort = true;
    if (held) m_data.release();
    while (!m_job_done.wait(kWaitStepMs)) {
    }
}

// --- worker side -------------------------------------------------------------

void CTransferEngine::WorkerMain() {
    for (;;) {
        if (plat::wait_any({&m_stop, &m_job_posted}) == 0) return;
        m_job_posted.reset();
        RunJob();
    }
}

void CTransferEngine::RunJob() {
    int32_t state = m_state;
    try {
        if (state == STATE_CONNECT_POSTED)
            state = ConnectServer();
        else if (state == STATE_DOWNLOAD_POSTED)
            state = DownloadJob();
    } catch (const CIFileException& e) {
        state = e.code();
    } catch (...) {
        state = ERR_NO_INTERNET;
    }
    // A cancel that came in meanwhile has already set the state.
    int32_t expected = m_state;
    if (expected == STATE_CONNECT_POSTED || expected == STATE_DOWNLOAD_POSTED)
        m_state.compare_exchange_strong(expected, state);
    m_job_done.set();
}

int32_t CTransferEngine::ConnectServer() {
    if (!m_net) return ERR_NO_SESSION;
    LocalSink watch(*this); // only its cancel is asked
    const plat::net::Result r = m_net->connect(EndpointFor(m_request), &watch);
    if (r.status == plat::net::Status::Ok) return STATE_CONNECTED;
    const int32_t code = CodeFor(r.status, m_request.scheme);
    return code == ERR_LOAD || code == ERR_NO_INTERNET ? ERR_BAD_SERVER : code;
}

int32_t CTransferEngine::DownloadJob() {
    switch (m_request.scheme) {
    case SCHEME_FILE:
        return DownloadFile();
    case SCHEME_HTTP:
    case SCHEME_FTP:
        return DownloadNet();
    default:
        return ERR_BAD_URL;
    }
}

bool CTransferEngine::SizeAllowed(int64_t size) {
    if (m_max_size < 0 || size <= m_max_size) return true;
    m_too_large = true;
    return false;
}

bool CTransferEngine::WriteBlock(const char* data, size_t size) {
    if (m_limit >= 0) {
        const int64_t left = m_limit - m_moved - static_cast<int64_t>(m_pending.size());
        size = static_cast<size_t>(std::clamp<int64_t>(left, 0, static_cast<int64_t>(size)));
    }
    // Bytes beyond what the object may hold are never written.
    if (!SizeAllowed(m_base + m_moved + static_cast<int64_t>(m_pending.size() + size))) return false;
    // The library hands over small pieces; the local file and the caller's
    // progress see whole blocks.
    m_pending.insert(m_pending.end(), data, data + size);
    m_received += static_cast<int64_t>(size);
    m_block_moved.set();
    if (m_pending.size() >= static_cast<size_t>(kFileBlock) && !FlushBlock()) return false;
    if (m_limit >= 0 && m_moved + static_cast<int64_t>(m_pending.size()) >= m_limit) {
        m_limit_reached = true;
        return false;
    }
    return true;
}

bool CTransferEngine::FlushBlock() {
    if (m_pending.empty()) return true;
    m_data.wait();
    const bool ok = WriteAll(m_local_fd, m_pending.data(), m_pending.size(), m_base + m_moved);
    m_data.release();
    if (!ok) {
        m_pending.clear();
        return false;
    }
    m_moved += static_cast<int64_t>(m_pending.size());
    m_pending.clear();
    return true;
}

// Starts the local file again from nothing.
bool CTransferEngine::RestartLocal() {
    m_pending.clear();
    if (ftruncate(m_local_fd, 0) != 0) return false;
    m_base = 0;
    m_moved = 0;
    m_received = 0;
    m_resume.reset();
    return true;
}

std::string CTransferEngine::SourceOf(const std::string& object) const {
    if (m_request.scheme == SCHEME_FILE) return "file:" + plat::native_path(object);
    return plat::net::Session::make_url(EndpointFor(m_request), object);
}

bool CTransferEngine::SameRemote(int64_t total_size, int64_t time, const std::string& etag,
                                 const std::string& modified) const {
    if (!m_resume) return false;
    const ResumeRecord& was = *m_resume;
    // A size either side does not know proves nothing; a different one
    // disproves.
    if (was.size >= 0 && total_size >= 0 && was.size != total_size) return false;
    if (m_request.scheme == SCHEME_HTTP) {
        // The server was asked for the range of this very object; a server
        // that ignores the condition still shows its validators.
        if (!etag.empty() && !was.etag.empty() && etag != was.etag) return false;
        if (!modified.empty() && !was.modified.empty() && modified != was.modified) return false;
        return true;
    }
    return total_size >= 0 && time >= 0 && total_size == was.size && time == was.time;
}

void CTransferEngine::KeepRecord(int64_t total_size, int64_t time, const std::string& etag,
                                 const std::string& modified) {
    if (!m_keep_record) return;
    ResumeRecord r;
    r.source = SourceOf(m_object);
    r.size = total_size;
    r.time = time;
    if (m_request.scheme == SCHEME_HTTP) {
        if (StrongTag(etag)) r.etag = etag;
        r.modified = modified;
    }
    const bool provable = m_request.scheme == SCHEME_HTTP ? !r.etag.empty() || !r.modified.empty()
                                                          : r.size >= 0 && r.time >= 0;
    if (provable)
        SaveRecord(m_record_path, r);
    else
        ::unlink(m_record_path.c_str());
}

std::string CTransferEngine::ResumeRecordPath(std::string_view local) {
    return std::string(local) + ".klresume";
}

void CTransferEngine::DiscardLocal(std::string_view local) {
    plat::delete_file(std::string(local));
    plat::delete_file(ResumeRecordPath(local));
}

std::optional<CTransferEngine::ResumeRecord> CTransferEngine::LoadRecord(const std::string& path) {
    std::string text;
    if (plat::read_whole_file(path, text) != plat::SysError::Success) return std::nullopt;
    ResumeRecord r;
    bool source = false;
    for (const std::string& line : plat::split(text, '\n')) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "source") {
            r.source = value;
            source = true;
        } else if (key == "etag") {
            r.etag = value;
        } else if (key == "modified") {
            r.modified = value;
        } else if (key == "size") {
            r.size = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "time") {
            r.time = std::strtoll(value.c_str(), nullptr, 10);
        }
    }
    if (!source) return std::nullopt;
    return r;
}

void CTransferEngine::SaveRecord(const std::string& path, const ResumeRecord& r) {
    // Values come from a server: a line break would forge another key.
    auto line = [](const char* key, const std::string& value) {
        std::string v = value;
        std::replace(v.begin(), v.end(), '\n', ' ');
        std::replace(v.begin(), v.end(), '\r', ' ');
        return std::string(key) + "=" + v + "\n";
    };
    const std::string text = line("source", r.source) + line("etag", r.etag) + line("modified", r.modified) +
                             line("size", std::to_string(r.size)) + line("time", std::to_string(r.time));
    plat::write_file_atomic(path, text);
}

int32_t CTransferEngine::DownloadNet() {
    if (!m_net) return ERR_NO_SESSION;
    if (m_object.empty()) return ERR_LOAD;
    const plat::net::Endpoint ep = EndpointFor(m_request);
    LocalSink sink(*this);
    m_limit_reached = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string if_range;
        if (m_base > 0 && m_resume && m_request.scheme == SCHEME_HTTP)
            if_range = StrongTag(m_resume->etag) ? m_resume->etag : m_resume->modified;
        m_other_remote = false;
        const plat::net::Result r = m_net->get(ep, m_object, m_base, sink, if_range);
        // What arrived before a failure stays for the next attempt to resume.
        if (!FlushBlock()) return ERR_WRITE;
        if (m_other_remote) {
            // The partial file is of another object: it starts again.
            if (!RestartLocal()) return ERR_WRITE;
            continue;
        }
        if (m_too_large) return ERR_LOAD;
        if (m_limit_reached) return STATE_DOWNLOAD_DONE;
        if (r.status == plat::net::Status::RangeNotSatisfiable && m_base > 0) {
            // The local piece is the whole remote file already: nothing to move.
            if (r.response.total_size >= 0 && r.response.total_size == m_base &&
                SameRemote(r.response.total_size, r.response.remote_time, r.response.etag,
                           r.response.last_modified) &&
                m_resume->size == m_base) {
                m_remote_size = r.response.total_size;
                return STATE_DOWNLOAD_DONE;
            }
            // It is longer, or the server will not say: start again from 0.
            if (!RestartLocal()) return ERR_WRITE;
            continue;
        }
        if (r.status != plat::net::Status::Ok) return CodeFor(r.status, m_request.scheme);
        // A length the server promised must have arrived in full.
        if (r.response.total_size >= 0 && m_base + m_moved != r.response.total_size) return ERR_NO_INTERNET;
        return STATE_DOWNLOAD_DONE;
    }
    return ERR_OFFSET;
}

int32_t CTransferEngine::DownloadFile() {
    const std::string source = plat::native_path(m_object);
    const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ERR_LOAD;
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return ERR_LOAD;
    }
    const int64_t size = st.st_size;
    m_remote_size = size;
    m_remote_time = plat::file_time_from_timespec(st.st_mtim);
    if (!SizeAllowed(size)) {
        close(fd);
        return ERR_LOAD;
    }
    // The copy is never open to more people than the file it was made from.
    struct stat local {};
    if (fstat(m_local_fd, &local) == 0) fchmod(m_local_fd, local.st_mode & st.st_mode & 0777);
    int32_t result = STATE_DOWNLOAD_DONE;
    const int64_t time = st.st_mtim.tv_sec;
    if (m_base > 0 && !SameRemote(size, time, {}, {}) && !RestartLocal()) result = ERR_WRITE;
    KeepRecord(size, time, {}, {});
    if (m_to_transfer < 0) m_to_transfer = size - m_base;
    m_limit_reached = false;
    const size_t block = static_cast<size_t>(std::max<int64_t>(m_block_size, kFileBlock));
    std::vector<char> buffer(block);
    while (result == STATE_DOWNLOAD_DONE &&
           m_base + m_moved + static_cast<int64_t>(m_pending.size()) < size) {
        if (StopRequested()) {
            result = ERR_CANCELLED;
            break;
        }
        const ssize_t n =
            pread(fd, buffer.data(), block, m_base + m_moved + static_cast<int64_t>(m_pending.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result = ERR_READ;
            break;
        }
        if (n == 0) break; // the source shrank meanwhile
        if (!WriteBlock(buffer.data(), static_cast<size_t>(n))) {
            if (!m_limit_reached) result = ERR_WRITE;
            break;
        }
    }
    if (!FlushBlock() && result == STATE_DOWNLOAD_DONE) result = ERR_WRITE;
    close(fd);
    return result;
}

} // namespace klc
