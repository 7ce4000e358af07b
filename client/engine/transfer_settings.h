#pragma once
// What a transfer needs to know before it connects: the user's connection
// settings (time-out and proxies) and where a request goes.
#include <cstdint>
#include <string>

namespace klc {

// Scheme codes of a request, as CUrl::SchemeCode gives them.
enum SchemeCode : int32_t {
    SCHEME_UNKNOWN = 0,
    SCHEME_FILE = 1,
    SCHEME_HTTP = 2,
    SCHEME_FTP = 3,
};

// Proxy modes of the connection settings.
enum ProxyMode : int32_t {
    PROXY_DIRECT = 0, // never a proxy
    PROXY_SYSTEM = 1, // the machine's own configuration (http_proxy, ftp_proxy, no_proxy)
    PROXY_NAMED = 2,  // the servers below
};

struct CTransferSettings {
    // Milliseconds without progress before a connection or a transfer is given
    // up; 0 leaves the library's own limits.
    int32_t timeout = 120000;
    int32_t proxy_mode = PROXY_SYSTEM;
    std::string ftp_proxy_server;
    std::string http_proxy_server;
    uint16_t ftp_proxy_port = 0; // 0: none given
    uint16_t http_proxy_port = 0;
    std::string ftp_proxy_user;
    std::string ftp_proxy_password;
    std::string http_proxy_user;
    std::string http_proxy_password;

    // The named proxies in their list form: "ftp=ftp://host:port" (or without
    // ":port" when the port is 0), a blank, "http=http://host:port". A server
    // that is not given leaves its part empty, so a list with only an HTTP
    // proxy begins with the blank.
    std::string ProxyList() const;
};

// Where a request connects.
struct CRequestInfo {
    int32_t scheme = SCHEME_UNKNOWN;
    std::string host;
    uint16_t port = 0;     // 0: the scheme's default
    std::string user_name; // empty: anonymous
    std::string password;  // used only together with a user name
    int32_t passive = 0;   // FTP passive mode
};

} // namespace klc
