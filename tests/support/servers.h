#pragma once
// Real servers for tests and benchmarks: nginx (HTTP), vsftpd (FTP) and
// tinyproxy (HTTP proxy, also tunnelling FTP), each started on a free
// loopback port with a configuration written into a temporary folder, and
// stopped again when the object goes away. A tiny HTTP server of our own
// shows the faults real servers cannot be made to show: an answer without a
// length, or a connection cut after some bytes.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace kltest {

// Bytes to serve that do not compress and differ for each seed.
std::string payload(size_t size, uint32_t seed = 1);

// A loopback port nobody listens on at the moment of the call.
uint16_t free_port();

// True when the program can be found on the search path or in /usr/sbin.
bool have_program(const std::string& name);

// What a shell command writes to its standard output (empty when it cannot run).
std::string command_output(const std::string& cmd);

// A server program run as a child process.
class ServerProcess {
  public:
    ServerProcess() = default;
    virtual ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the server on a free port and waits until it accepts
    // connections. False when it did not come up (see log()).
    bool start();
    void stop();
    bool running() const { return m_pid > 0; }

    uint16_t port() const { return m_port; }
    const TempDir& dir() const { return m_dir; }
    // What the server wrote to its output and log files.
    std::string log() const;

  protected:
    // The configuration for the port and the command line to run.
    virtual std::vector<std::string> prepare(uint16_t port) = 0;
    // The server's own log file, shown by log() after its output.
    std::string m_log_file;

    TempDir m_dir;

  private:
    pid_t m_pid = -1;
    uint16_t m_port = 0;
};

// A server of the files in a folder, reached as scheme://127.0.0.1:port/path.
class FolderServer : public ServerProcess {
  public:
    std::string url(const std::string& path = "/") const;

  protected:
    FolderServer(std::string root, std::string scheme)
        : m_root(std::move(root)), m_scheme(std::move(scheme)) {}
    std::string m_root;

  private:
    std::string m_scheme;
};

// nginx serving a folder. `location_extra` goes into the location block
// (for example "limit_rate 64k;").
class NginxServer : public FolderServer {
  public:
    explicit NginxServer(std::string root, std::string location_extra = {})
        : FolderServer(std::move(root), "http"), m_extra(std::move(location_extra)) {}

  protected:
    std::vector<std::string> prepare(uint16_t port) override;

  private:
    std::string m_extra;
};

// vsftpd serving a folder, read only, to anonymous users.
class FtpServer : public FolderServer {
  public:
    explicit FtpServer(std::string root) : FolderServer(std::move(root), "ftp") {}

  protected:
    std::vector<std::string> prepare(uint16_t port) override;
};

// tinyproxy for loopback clients, optionally asking for a user and password.
class ProxyServer : public ServerProcess {
  public:
    ProxyServer() = default;
    ProxyServer(std::string user, std::string password)
        : m_user(std::move(user)), m_password(std::move(password)) {}
    // Requests the proxy handled so far (lines of its log naming them).
    int requests_seen() const;

  protected:
    std::vector<std::string> prepare(uint16_t port) override;

  private:
    std::string m_user;
    std::string m_password;
};

// Answers every connection with the same bytes (status line, headers and
// body as given), optionally closing the connection after `cut_after` bytes,
// or first keeping silent for `stall_ms`.
class TinyHttpServer {
  public:
    explicit TinyHttpServer(std::string response, size_t cut_after = SIZE_MAX, int stall_ms = 0,
                            size_t filler = 0);

    // A server whose body does not end: after `head` it sends zeros until the
    // client goes away, but never more than `bound` bytes per connection nor
    // for longer than ten seconds, so a client that does not stop fails its
    // test instead of filling the disk.
    static std::unique_ptr<TinyHttpServer> Endless(std::string head, size_t bound);
    ~TinyHttpServer();
    TinyHttpServer(const TinyHttpServer&) = delete;
    TinyHttpServer& operator=(const TinyHttpServer&) = delete;

    uint16_t port() const { return m_port; }
    std::string url(const std::string& path = "/") const;
    // The request heads received so far.
    std::vector<std::string> requests() const;
    // Body bytes sent after the response, over all connections.
    size_t filler_sent() const { return m_filler_sent.load(); }

  private:
    void serve();
    void send_filler(int fd);

    std::string m_response;
    size_t m_cut_after;
    int m_stall_ms;
    size_t m_filler; // zeros to send after the response, at most
    std::atomic<size_t> m_filler_sent{0};
    int m_listen_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace kltest
