#include "platform/net/session.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

#include "platform/base/strings.h"

namespace plat::net {

namespace {

// Large reads keep a loopback or LAN download at the link's speed; cancel and
// progress are still seen after every block.
constexpr long kBufferSize = 256 * 1024;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

Easy NewEasy() {
    GlobalInit();
    return Easy(curl_easy_init());
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::strchr("-._~/!$&'()*+,;=:@", c) != nullptr;
}

std::string EscapePath(std::string_view path) {
    std::string out;
    for (unsigned char c : path) {
        if (c != 0 && IsUnreserved(c))
            out += static_cast<char>(c);
        else
            out += plat::strprintf("%%%02X", c);
    }
    return out;
}

Status StatusOf(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return Status::Ok;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Status::BadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
        return Status::ConnectFailed;
    case CURLE_LOGIN_DENIED:
        return Status::LoginDenied;
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return Status::NotFound;
    case CURLE_REMOTE_ACCESS_DENIED:
        return Status::OpenFailed;
    case CURLE_BAD_DOWNLOAD_RESUME:
        return Status::RangeNotSatisfiable;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return Status::Lost;
    case CURLE_ABORTED_BY_CALLBACK:
        return Status::Cancelled;
    default:
        return Status::Other;
    }
}

// "bytes 100-999/1000" or "bytes */1000".
void ParseContentRange(std::string_view value, int64_t& start, int64_t& total) {
    value = plat::trim_view(value);
    if (!plat::istarts_with(value, "bytes")) return;
    value.remove_prefix(5);
    value = plat::trim_view(value);
    const size_t slash = value.find('/');
    if (slash == std::string_view::npos) return;
    const std::string range(value.substr(0, slash));
    const std::string size(value.substr(slash + 1));
    if (range != "*") start = std::strtoll(range.c_str(), nullptr, 10);
    if (size != "*") total = std::strtoll(size.c_str(), nullptr, 10);
}

// One request in flight: the callbacks' state.
struct Transfer {
    CURL* easy = nullptr;
    Scheme scheme = Scheme::Http;
    int64_t offset = 0;
    Sink* sink = nullptr;
    Response response;
    bool begun = false;
    bool ended = false;  // the transfer is over: no body byte came
    int64_t to_skip = 0; // bytes of a full answer that the local file already holds
    bool conditional = false; // the range was asked with If-Range
    int64_t range_start = -1;
    int64_t range_total = -1;
    Status stop = Status::Ok; // why a callback stopped the transfer

    // Decides from the headers what the body is; false stops the transfer.
    bool Begin() {
        begun = true;
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        curl_off_t length = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        curl_off_t filetime = -1;
        curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &filetime);
        response.http_status = static_cast<int32_t>(code);
        response.remote_time = filetime;
        response.start_offset = offset;
        if (scheme == Scheme::Ftp) {
            // Nothing came although the transfer succeeded: the server holds
            // no more than the offset (an empty file, or one already complete).
            if (ended) length = 0;
            response.content_length = length;
            response.total_size = length >= 0 ? offset + length : -1;
        } else if (code == 206) {
            if (range_start != offset) {
                stop = Status::ResumeMismatch;
                return false;
            }
            response.content_length = length;
            response.total_size = range_total >= 0 ? range_total : (length >= 0 ? offset + length : -1);
        } else if (code == 200 && conditional) {
            // The object is not the one the range was asked of (or the
            // server gives no ranges): it comes whole, from its first byte.
            response.start_offset = 0;
            response.total_size = length;
            response.content_length = length;
        } else if (code == 200) {
            // The server sent the whole object: skip what we already hold.
            to_skip = offset;
            response.total_size = length;
            response.content_length = length >= 0 ? length - offset : -1;
            if (length >= 0 && length < offset) {
                stop = Status::RangeNotSatisfiable;
                return false;
            }
        } else if (code == 416) {
            response.total_size = range_total;
            stop = Status::RangeNotSatisfiable;
            return false;
        } else {
            stop = Status::OpenFailed;
            return false;
        }
        if (!sink->begin(response)) {
            stop = Status::Cancelled;
            return false;
        }
        return true;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        const std::string_view line(data, size * count);
        if (t->scheme == Scheme::Http) {
            if (line.starts_with("HTTP/")) {
                // A new answer (after a proxy's CONNECT, or an interim one).
                t->range_start = -1;
                t->range_total = -1;
                t->response.etag.clear();
                t->response.last_modified.clear();
            } else if (plat::istarts_with(line, "Content-Range:")) {
                ParseContentRange(line.substr(14), t->range_start, t->range_total);
            } else if (plat::istarts_with(line, "ETag:")) {
                t->response.etag = plat::trim(line.substr(5));
            } else if (plat::istarts_with(line, "Last-Modified:")) {
                t->response.last_modified = plat::trim(line.substr(14));
            }
        }
        return size * count;
    }

    static size_t OnWrite(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        size_t n = size * count;
        if (!t->begun && !t->Begin()) return CURL_WRITEFUNC_ERROR;
        if (t->sink->cancelled()) {
            t->stop = Status::Cancelled;
            return CURL_WRITEFUNC_ERROR;
        }
        if (t->to_skip > 0) {
            const size_t skip = static_cast<size_t>(std::min<int64_t>(t->to_skip, static_cast<int64_t>(n)));
            t->to_skip -= static_cast<int64_t>(skip);
            data += skip;
            n -= skip;
            if (n == 0) return size * count;
        }
        if (!t->sink->write(data, n)) {
            t->stop = Status::SinkFailed;
            return CURL_WRITEFUNC_ERROR;
        }
        return size * count;
    }

    static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto* t = static_cast<Transfer*>(user);
        if (t->sink && t->sink->cancelled()) {
            t->stop = Status::Cancelled;
            return 1;
        }
        return 0;
    }
};

std::string ProxyUrl(const Proxy& proxy) {
    std::string url = "http://" + proxy.host;
    if (proxy.port != 0) url += ":" + std::to_string(proxy.port);
    return url;
}

// Options every request of a session shares.
void ApplyCommon(CURL* h, const SessionOptions& o, const Endpoint& ep) {
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    if (o.timeout_ms > 0) {
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(o.timeout_ms));
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>((o.timeout_ms + 999) / 1000));
        curl_easy_setopt(h, CURLOPT_FTP_RESPONSE_TIMEOUT, static_cast<long>((o.timeout_ms + 999) / 1000));
    }
    if (!ep.user.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, ep.user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, ep.password.c_str());
    }
    if (ep.scheme == Scheme::Ftp && !ep.ftp_passive) curl_easy_setopt(h, CURLOPT_FTPPORT, "-");

    switch (o.proxy_mode) {
    case ProxyMode::Direct:
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        break;
    case ProxyMode::System:
        break; // libcurl reads the environment itself
    case ProxyMode::Named: {
        const Proxy& proxy = ep.scheme == Scheme::Ftp ? o.ftp_proxy : o.http_proxy;
        if (proxy.host.empty()) {
            curl_easy_setopt(h, CURLOPT_PROXY, "");
            break;
        }
        curl_easy_setopt(h, CURLOPT_PROXY, ProxyUrl(proxy).c_str());
        if (!proxy.user.empty()) {
            curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
        }
        // FTP keeps its own protocol through an HTTP proxy's tunnel.
        if (ep.scheme == Scheme::Ftp) curl_easy_setopt(h, CURLOPT_HTTPPROXYTUNNEL, 1L);
        break;
    }
    }
}

} // namespace

struct Session::Handle {
    Easy easy;
};

Session::Session(SessionOptions options)
    : m_options(std::move(options)), m_handle(std::make_unique<Handle>()) {}

Session::~Session() = default;

std::string Session::make_url(const Endpoint& ep, std::string_view path) {
    std::string url = ep.scheme == Scheme::Ftp ? "ftp://" : "http://";
    if (ep.host.find(':') != std::string::npos && !ep.host.starts_with('['))
        url += "[" + ep.host + "]";
    else
        url += ep.host;
    if (ep.port != 0) url += ":" + std::to_string(ep.port);
    if (!path.starts_with('/')) url += '/';
    url += EscapePath(path);
    return url;
}

Result Session::connect(const Endpoint& ep, Sink* watch) {
    Result result;
    if (ep.host.empty()) {
        result.status = Status::BadUrl;
        return result;
    }
    Easy easy = NewEasy();
    if (!easy) return result;
    CURL* h = easy.get();
    ApplyCommon(h, m_options, ep);
    const std::string url = make_url(ep, "/");
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
    Transfer t;
    t.sink = watch;
    if (watch) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    }
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    const CURLcode code = curl_easy_perform(h);
    result.status = StatusOf(code);
    result.message = error[0] ? error : curl_easy_strerror(code);
    return result;
}

Result Session::get(const Endpoint& ep, std::string_view path, int64_t offset, Sink& sink,
                    std::string_view if_range) {
    Result result;
    if (ep.host.empty()) {
        result.status = Status::BadUrl;
        return result;
    }
    if (!m_handle->easy) m_handle->easy = NewEasy();
    CURL* h = m_handle->easy.get();
    if (!h) return result;
    curl_easy_reset(h); // options go, kept connections stay

    Transfer t;
    t.easy = h;
    t.scheme = ep.scheme;
    t.offset = offset;
    t.sink = &sink;

    ApplyCommon(h, m_options, ep);
    const std::string url = make_url(ep, path);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kBufferSize);
    curl_easy_setopt(h, CURLOPT_FILETIME, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::OnWrite);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);

    Slist headers;
    std::string range;
    if (ep.scheme == Scheme::Http) {
        if (!m_options.user_agent.empty())
            curl_easy_setopt(h, CURLOPT_USERAGENT, m_options.user_agent.c_str());
        for (const std::string& header : m_options.http_headers)
            headers.reset(curl_slist_append(headers.release(), header.c_str()));
        if (offset > 0) {
            range = std::to_string(offset) + "-";
            curl_easy_setopt(h, CURLOPT_RANGE, range.c_str());
            if (!if_range.empty()) {
                const std::string header = "If-Range: " + std::string(if_range);
                headers.reset(curl_slist_append(headers.release(), header.c_str()));
                t.conditional = true;
            }
        }
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
        // The body is read to its end when no length is given; a shorter
        // body than a given length is an error.
        curl_easy_setopt(h, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    } else {
        curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
        if (offset > 0) curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(offset));
    }

    const CURLcode code = curl_easy_perform(h);
    result.message = error[0] ? error : curl_easy_strerror(code);
    // An empty body, or an answer without one (an error status), is judged
    // only now.
    if (code == CURLE_OK && !t.begun) {
        t.ended = true;
        t.Begin();
    }
    if (t.stop != Status::Ok) {
        result.status = t.stop;
    } else if (code != CURLE_OK) {
        result.status = StatusOf(code);
    } else if (t.to_skip > 0) {
        // The whole object was shorter than what the local file holds.
        result.status = Status::RangeNotSatisfiable;
    } else {
        result.status = Status::Ok;
    }
    if (result.status == Status::Ok || result.status == Status::RangeNotSatisfiable || t.begun)
        result.response = t.response;
    if (result.status == Status::RangeNotSatisfiable && result.response.total_size < 0)
        result.response.total_size = t.range_total;
    return result;
}

void Session::disconnect() {
    m_handle->easy.reset();
}

} // namespace plat::net
