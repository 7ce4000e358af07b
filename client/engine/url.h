#pragma once
// Addresses as the INF files and the server list write them: an address is
// taken apart into eight texts, relative names are applied to an address the
// way a browser resolves a link, and the parts are joined again.
#include <cstdint>
#include <string>
#include <string_view>

#include "client/engine/transfer_settings.h"

namespace klc {

// Part bits for parsing and formatting.
enum UrlPart : uint32_t {
    URL_SCHEME = 0x1,
    URL_MARKER = 0x2, // the "//" after the scheme
    URL_USER = 0x4,
    URL_PASSWORD = 0x8,
    URL_HOST = 0x10,
    URL_PORT = 0x20,
    URL_PATH = 0x40,
    URL_FILE = 0x80,
    URL_QUERY = 0x100,
    URL_ALL = 0x1FF,
};

// What a text given to ApplyPart stands for.
enum UrlApplyKind : int32_t {
    APPLY_SERVER = 1,
    APPLY_PATH = 2,
    APPLY_FILE = 4,
};

class CUrl {
  public:
    // "file:", "http:" or "ftp:"; any other code empties the scheme.
    void SetScheme(int32_t code);
    // 1 file, 2 HTTP, 3 FTP (the scheme compared without regard to case), else 0.
    int32_t SchemeCode() const;
    // The port text as a number; 0 when it is empty or not a port.
    uint16_t PortNumber() const;

    // Takes the text apart and stores the parts that `mask` selects. Parts the
    // text does not hold keep their values; a relative path is added to the
    // current path. Returns the mask of the parts found.
    uint32_t Parse(std::string_view text, uint32_t mask = URL_ALL);
    // Applies a server, path or file name (relative names resolve against the
    // current path). A file name is never taken for a host, however many dots
    // it has.
    uint32_t ApplyPart(std::string_view text, int32_t kind);
    // The parts that `mask` selects, joined.
    std::string Format(uint32_t mask = URL_ALL) const;
    // What a request names on its server: path and file name (with the host,
    // which holds the drive, for the file scheme).
    std::string ObjectName() const;
    // Same scheme, host, port, user name and password.
    bool SameServer(const CUrl& other) const;
    void FillRequest(CRequestInfo& request) const;

    std::string scheme;
    std::string host;
    std::string port;
    std::string path; // begins and ends with "/" when not empty
    std::string file_name;
    std::string query;
    std::string user_name;
    std::string password;

  private:
    uint32_t ParseText(std::string_view text, uint32_t mask, bool file_name_only);
};

} // namespace klc
