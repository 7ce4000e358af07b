#include "client/engine/url.h"

#include <algorithm>

#include "platform/base/strings.h"

namespace klc {

namespace {

constexpr const char* kSchemes[] = {"file:", "http:", "ftp:"};

bool IsPortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    const int value = std::stoi(std::string(text));
    return value > 0 && value <= 65535;
}

// The host heuristics for a name written without "//": "user@host" and names
// such as "www.vendor.com/dir" (a dot after the first character and another
// dot after it) stand for a server.
bool LooksLikeHost(std::string_view text) {
    if (text.size() < 2) return false;
    const size_t at = text.find('@', 1);
    if (at != std::string_view::npos) return true;
    const size_t dot = text.find('.', 1);
    return dot != std::string_view::npos && text.find('.', dot + 1) != std::string_view::npos;
}

} // namespace

void CUrl::SetScheme(int32_t code) {
    scheme = (code >= SCHEME_FILE && code <= SCHEME_FTP) ? kSchemes[code - 1] : "";
}

int32_t CUrl::SchemeCode() const {
    for (int32_t i = 0; i < 3; ++i)
        if (plat::iequals(scheme, kSchemes[i])) return i + 1;
    return SCHEME_UNKNOWN;
}

uint16_t CUrl::PortNumber() const {
    return IsPortNumber(port) ? static_cast<uint16_t>(std::stoi(port)) : 0;
}

uint32_t CUrl::Parse(std::string_view text, uint32_t mask) {
    return ParseText(text, mask, false);
}

uint32_t CUrl::ParseText(std::string_view input, uint32_t mask, bool file_name_only) {
    uint32_t found = 0;
    std::string text(input);

    const size_t question = text.find('?');
    if (question != std::string::npos) {
        if (mask & URL_QUERY) query = text.substr(question + 1);
        found |= URL_QUERY;
        text.resize(question);
    }
    std::replace(text.begin(), text.end(), '\\', '/');
    std::replace(text.begin(), text.end(), '|', ':');

    bool marker = false;
    const size_t slashes = text.find("//");
    if (slashes != std::string::npos) {
        if (slashes > 0) {
            if (mask & URL_SCHEME) scheme = text.substr(0, slashes);
            found |= URL_SCHEME;
        }
        marker = true;
        found |= URL_MARKER;
        text.erase(0, slashes + 2);
    }

    std::string host_part = text;
    std::string path_part;
    bool has_path = false;
    std::string file;
    bool has_file = false;
    const size_t first_slash = text.find('/');
    if (first_slash != std::string::npos) {
        host_part = text.substr(0, first_slash);
        path_part = text.substr(first_slash);
        const size_t last_slash = path_part.rfind('/');
        file = path_part.substr(last_slash + 1);
        has_file = true;
        path_part.resize(last_slash + 1);
        has_path = true;
    }

    // Text of the host part that turns out to be a folder or file name.
    auto put_in_front = [&](const std::string& name) {
        if (has_path) {
            path_part = name + path_part;
        } else {
            file = name;
            has_file = true;
        }
    };

    std::string host_text;
    bool has_host = false;
    std::string port_text;
    if (!host_part.empty()) {
        size_t colon = host_part.rfind(':');
        // The colons of a bracketed IPv6 address are not a port's.
        const size_t bracket = host_part.starts_with('[') ? host_part.find(']') : std::string::npos;
        if (bracket != std::string::npos && colon != std::string::npos && colon < bracket)
            colon = std::string::npos;
        const bool at_after_colon =
            colon != std::string::npos && host_part.find('@', colon) != std::string::npos;
        if (colon == std::string::npos || at_after_colon) {
            const bool is_host = marker || (!file_name_only && (host_part.find('@', 1) != std::string::npos ||
                                                                (has_path && LooksLikeHost(host_part))));
            if (is_host) {
                host_text = host_part;
                has_host = true;
            } else {
                put_in_front(host_part);
            }
        } else {
            const std::string after = host_part.substr(colon + 1);
            if (IsPortNumber(after)) {
                port_text = after;
                host_text = host_part.substr(0, colon);
            } else {
                // A drive such as "C:" stays with the host; the rest is a name.
                if (!after.empty()) put_in_front(after);
                host_text = host_part.substr(0, colon + 1);
            }
            has_host = true;
        }
    }

    if (has_host) {
        // The host names a server: what belonged to the previous one goes.
        std::string user, pass;
        const size_t at = host_text.rfind('@');
        if (at != std::string::npos) {
            const std::string credentials = host_text.substr(0, at);
            host_text.erase(0, at + 1);
            const size_t colon = credentials.find(':');
            user = credentials.substr(0, colon);
            if (colon != std::string::npos) pass = credentials.substr(colon + 1);
        }
        if (mask & URL_HOST) {
            host = host_text;
            found |= URL_HOST;
        }
        if (mask & URL_PORT) port = port_text;
        if (!port_text.empty()) found |= URL_PORT;
        if (mask & URL_USER) user_name = user;
        if (!user.empty()) found |= URL_USER;
        if (mask & URL_PASSWORD) password = pass;
        if (!pass.empty()) found |= URL_PASSWORD;
    }

    if (has_path) {
        if (!path_part.starts_with('/')) path_part = (path.empty() ? std::string("/") : path) + path_part;
        if (mask & URL_PATH) path = path_part;
        found |= URL_PATH;
    }
    if (has_file) {
        if (mask & URL_FILE) file_name = file;
        if (!file.empty()) found |= URL_FILE;
    }
    return found & mask;
}

uint32_t CUrl::ApplyPart(std::string_view input, int32_t kind) {
    std::string text(input);
    if (kind == APPLY_SERVER) {
        const bool local_path =
            text.find('\\') != std::string::npos || (text.starts_with('/') && !text.starts_with("//"));
        if (local_path)
            kind = APPLY_PATH;
        else if (text.find("//") == std::string::npos)
            text = "//" + text;
    }
    if (kind == APPLY_PATH && !text.empty() && !text.ends_with('/') && !text.ends_with('\\')) text += '\\';
    return ParseText(text, URL_ALL, kind == APPLY_FILE);
}

std::string CUrl::Format(uint32_t mask) const {
    std::string out;
    if (mask & URL_SCHEME) out += scheme;
    if (mask & URL_MARKER) out += "//";
    if ((mask & URL_USER) && !user_name.empty()) {
        out += user_name;
        if ((mask & URL_PASSWORD) && !password.empty()) out += ":" + password;
        out += "@";
    }
    if (mask & URL_HOST) out += host;
    if ((mask & URL_PORT) && !port.empty()) out += ":" + port;
    if (mask & URL_PATH) out += path;
    if (mask & URL_FILE) out += file_name;
    if ((mask & URL_QUERY) && !query.empty()) out += "?" + query;
    return out;
}

std::string CUrl::ObjectName() const {
    return Format(SchemeCode() == SCHEME_FILE ? (URL_HOST | URL_PATH | URL_FILE) : (URL_PATH | URL_FILE));
}

bool CUrl::SameServer(const CUrl& other) const {
    return plat::iequals(host, other.host) && user_name == other.user_name && password == other.password &&
           SchemeCode() == other.SchemeCode() && PortNumber() == other.PortNumber();
}

void CUrl::FillRequest(CRequestInfo& request) const {
    request.host = host;
    request.scheme = SchemeCode();
    request.port = PortNumber();
    request.user_name = user_name;
    request.password = password;
}

} // namespace klc
