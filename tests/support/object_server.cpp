#include "support/object_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kltest {

namespace {

std::string ReadAll(const std::filesystem::path& p, bool& found) {
    std::ifstream f(p, std::ios::binary);
    found = static_cast<bool>(f) && std::filesystem::is_regular_file(p);
    if (!found) return {};
    std::ostringstream out;
    out << f.rdbuf();
    return out.str();
}

// The value of a header in a request head, empty when absent.
std::string Header(const std::string& head, const std::string& name) {
    std::istringstream lines(head);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > name.size() && line[name.size()] == ':' &&
            strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
            size_t v = name.size() + 1;
            while (v < line.size() && line[v] == ' ')
                ++v;
            return line.substr(v);
        }
    }
    return {};
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

ObjectServer::ObjectServer(std::filesystem::path root) : m_root(std::move(root)) {
    m_listen_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(m_listen_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_listen_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(m_listen_fd, 16) == 0) {
        socklen_t len = sizeof a;
        getsockname(m_listen_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    m_thread = std::thread([this] { serve(); });
}

ObjectServer::~ObjectServer() {
    m_stop = true;
    m_thread.join();
    close(m_listen_fd);
}

void ObjectServer::SetValidators(const std::string& path, Validators v) {
    std::lock_guard lock(m_mutex);
    m_validators[path] = std::move(v);
}

void ObjectServer::HoldAfter(const std::string& path, size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_hold[path] = bytes;
    m_release = false;
}

void ObjectServer::Release() {
    std::lock_guard lock(m_mutex);
    m_hold.clear();
    m_release = true;
}

std::string ObjectServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> ObjectServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> ObjectServer::requests_for(const std::string& path) const {
    std::vector<std::string> out;
    for (const std::string& r : requests())
        if (r.starts_with("GET " + path + " ")) out.push_back(r);
    return out;
}

void ObjectServer::serve() {
    std::vector<std::thread> connections;
    while (!m_stop) {
        pollfd p{m_listen_fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept4(m_listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        // A held answer must not keep the next client waiting.
        connections.emplace_back([this, fd] {
            std::string head;
            char buf[4096];
            while (head.find("\r\n\r\n") == std::string::npos && !m_stop) {
                pollfd q{fd, POLLIN, 0};
                if (poll(&q, 1, 2000) <= 0) break;
                const ssize_t n = recv(fd, buf, sizeof buf, 0);
                if (n <= 0) break;
                head.append(buf, static_cast<size_t>(n));
            }
            if (head.find("\r\n\r\n") != std::string::npos) {
                {
                    std::lock_guard lock(m_mutex);
                    m_requests.push_back(head);
                }
                answer(fd, head);
            }
            close(fd);
        });
    }
    for (std::thread& t : connections)
        t.join();
}

void ObjectServer::answer(int fd, const std::string& head) {
    const size_t sp1 = head.find(' ');
    const size_t sp2 = head.find(' ', sp1 + 1);
    const std::string path = head.substr(sp1 + 1, sp2 - sp1 - 1);
    bool found = false;
    const std::string body = ReadAll(m_root / path.substr(1), found);
    if (!found) {
        const std::string r = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAll(fd, r.data(), r.size());
        return;
    }
    Validators v;
    size_t hold = SIZE_MAX;
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_validators.find(path); it != m_validators.end()) v = it->second;
        if (auto it = m_hold.find(path); it != m_hold.end()) hold = it->second;
    }
    std::string validators;
    if (!v.etag.empty()) validators += "ETag: " + v.etag + "\r\n";
    if (!v.last_modified.empty()) validators += "Last-Modified: " + v.last_modified + "\r\n";

    // "bytes=N-" only, which is all the client asks.
    size_t from = 0;
    bool ranged = false;
    const std::string range = Header(head, "Range");
    if (range.starts_with("bytes=") && range.back() == '-') {
        ranged = true;
        from = std::strtoull(range.c_str() + 6, nullptr, 10);
    }
    const std::string if_range = Header(head, "If-Range");
    if (ranged && !if_range.empty() && !m_ignore_if_range) {
        const bool same = (!v.etag.empty() && if_range == v.etag) ||
                          (!v.last_modified.empty() && if_range == v.last_modified);
        if (!same) ranged = false; // another version: the whole file
    }
    std::string status = "200 OK";
    std::string extra;
    if (ranged) {
        if (from >= body.size()) {
            const std::string r = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                  std::to_string(body.size()) + "\r\n" + validators +
                                  "Content-Length: 0\r\nConnection: close\r\n\r\n";
            SendAll(fd, r.data(), r.size());
            return;
        }
        status = "206 Partial Content";
        extra = "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(body.size() - 1) + "/" +
                std::to_string(body.size()) + "\r\n";
    } else {
        from = 0;
    }
    const std::string r = "HTTP/1.1 " + status + "\r\n" + validators + extra +
                          "Content-Length: " + std::to_string(body.size() - from) +
                          "\r\nConnection: close\r\n\r\n";
    if (!SendAll(fd, r.data(), r.size())) return;
    const size_t end = hold == SIZE_MAX ? body.size() : std::min(body.size(), std::max(hold, from));
    if (!SendAll(fd, body.data() + from, end - from)) return;
    if (end < body.size()) {
        // Held: silent until released or stopped.
        while (!m_stop && !m_release)
            usleep(20 * 1000);
        if (m_stop) return;
        SendAll(fd, body.data() + end, body.size() - end);
    }
}

} // namespace kltest
