#pragma once
// A small HTTP server on loopback for what must change between requests: it
// serves the files of a folder, as they are at the moment of each request,
// with the validators a test gives (ETag, Last-Modified or none), answers
// byte ranges and If-Range as a careful server does (or, when told to lie,
// ignores If-Range), and can hold a file's answer after some bytes until it
// is stopped, so that a client can be killed with part of a file received.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kltest {

class ObjectServer {
  public:
    explicit ObjectServer(std::filesystem::path root);
    ~ObjectServer();
    ObjectServer(const ObjectServer&) = delete;
    ObjectServer& operator=(const ObjectServer&) = delete;

    struct Validators {
        std::string etag;          // with its quotes, as sent: "\"r1\""
        std::string last_modified; // an HTTP date
    };
    // The validators sent with a path ("/a/b.bin"); a path without any gets none.
    void SetValidators(const std::string& path, Validators v);
    // After this many bytes of the body of `path`, the answer stops and the
    // connection stays open and silent until the server is destroyed or
    // Release() is called.
    void HoldAfter(const std::string& path, size_t bytes);
    void Release();
    // Ranges are given even when If-Range names another version of the file.
    void IgnoreIfRange(bool ignore) { m_ignore_if_range = ignore; }

    uint16_t port() const { return m_port; }
    std::string url(const std::string& path = "/") const;
    // The request heads received so far.
    std::vector<std::string> requests() const;
    // Request heads for one path.
    std::vector<std::string> requests_for(const std::string& path) const;

  private:
    void serve();
    void answer(int fd, const std::string& head);

    std::filesystem::path m_root;
    std::map<std::string, Validators> m_validators;
    std::map<std::string, size_t> m_hold;
    std::atomic<bool> m_ignore_if_range{false};
    std::atomic<bool> m_release{false};
    std::atomic<bool> m_stop{false};
    int m_listen_fd = -1;
    uint16_t m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace kltest
