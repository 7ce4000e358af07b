#pragma once
// Internet sessions over libcurl: HTTP and FTP downloads, directly or through
// proxies, from a given offset, into a sink the caller supplies. A session
// keeps its connections between requests; it is used by one thread at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::net {

enum class Scheme { Http, Ftp };

struct Proxy {
    std::string host; // empty: no proxy for this scheme
    uint16_t port = 0;
    std::string user;
    std::string password;
};

enum class ProxyMode {
    Direct, // never a proxy, whatever the environment says
    System, // the machine's configuration: http_proxy, ftp_proxy, no_proxy
    Named,  // the proxies below; FTP goes through its proxy in a tunnel
};

struct SessionOptions {
    // Connect time-out, and the longest time a transfer may go without
    // receiving a byte; 0 keeps the library's defaults.
    int32_t timeout_ms = 0;
    ProxyMode proxy_mode = ProxyMode::System;
    Proxy http_proxy;
    Proxy ftp_proxy;
    std::string user_agent;
    std::vector<std::string> http_headers; // "Name: value", sent with every HTTP request
};

struct Endpoint {
    Scheme scheme = Scheme::Http;
    std::string host;
    uint16_t port = 0; // 0: the scheme's default
    std::string user;  // empty: anonymous
    std::string password;
    bool ftp_passive = true;
};

enum class Status {
    Ok,
    BadUrl,              // the address cannot be used
    ConnectFailed,       // the server (or the proxy) cannot be reached
    LoginDenied,         // the server refused the user name or password
    NotFound,            // FTP: no such file
    OpenFailed,          // the server refused the object (HTTP status not 200/206, FTP access)
    RangeNotSatisfiable, // the offset lies beyond the remote object
    ResumeMismatch,      // the server resumed at another offset than asked for
    Lost,                // the connection broke or stalled before the end
    Cancelled,           // the sink asked to stop
    SinkFailed,          // the sink could not take the bytes
    Other,
};

// What the server said about the object before its bytes.
struct Response {
    int32_t http_status = 0;
    int64_t start_offset = 0;    // offset of the first byte given to the sink
    int64_t content_length = -1; // bytes that follow, -1 unknown (read to the end)
    int64_t total_size = -1;     // size of the whole object, -1 unknown
    int64_t remote_time = -1;    // seconds since 1970 (UTC), -1 unknown
    // HTTP validators of the object, as the server wrote them; empty when not given.
    std::string etag;
    std::string last_modified;
};

class Sink {
  public:
    virtual ~Sink() = default;
    // Once, before the first byte (also for an empty object). False stops the
    // transfer with Cancelled.
    virtual bool begin(const Response& response) { return true; }
    // False stops the transfer with SinkFailed.
    virtual bool write(const char* data, size_t size) = 0;
    // Polled between blocks and while waiting for the server.
    virtual bool cancelled() { return false; }
};

struct Result {
    Status status = Status::Other;
    Response response;
    std::string message; // the library's description, for logs
};

class Session {
  public:
    explicit Session(SessionOptions options = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const SessionOptions& options() const { return m_options; }

    // Makes sure the server answers: HTTP opens a connection to it (or to its
    // proxy); FTP also logs in. A `watch` that reports cancelled() stops the
    // wait for a slow server.
    Result connect(const Endpoint& endpoint, Sink* watch = nullptr);

    // Fetches `path` ("/dir/file", plain text, escaped here) from `offset`.
    // HTTP asks for a byte range. Without `if_range`, a server that answers
    // with the whole object has the first `offset` bytes skipped, so the sink
    // always receives the bytes from `offset` on. With `if_range` (an ETag or
    // a Last-Modified date the object had), the range is asked only of that
    // same object: a whole answer means the object is another one, and the
    // sink receives it from its first byte (Response::start_offset 0).
    // FTP resumes with REST.
    Result get(const Endpoint& endpoint, std::string_view path, int64_t offset, Sink& sink,
               std::string_view if_range = {});

    // Drops the connections kept between requests.
    void disconnect();

    // The address a request goes to, without the user name and password.
    static std::string make_url(const Endpoint& endpoint, std::string_view path);

  private:
    struct Handle;
    SessionOptions m_options;
    std::unique_ptr<Handle> m_handle;
};

} // namespace plat::net
