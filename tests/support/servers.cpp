#include "support/servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace kltest {

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool accepts_connections(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a = loopback(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

std::string user_name() {
    const passwd* pw = getpwuid(geteuid());
    return pw ? pw->pw_name : "root";
}

std::string find_program(const std::string& name) {
    std::vector<std::string> dirs = {"/usr/sbin", "/usr/bin", "/sbin", "/bin"};
    if (const char* path = std::getenv("PATH")) {
        std::stringstream ss(path);
        std::string d;
        while (std::getline(ss, d, ':'))
            if (!d.empty()) dirs.insert(dirs.begin(), d);
    }
    for (const std::string& d : dirs) {
        const std::string p = d + "/" + name;
        if (access(p.c_str(), X_OK) == 0) return p;
    }
    return {};
}

void write_text(const std::filesystem::path& p, const std::string& text) {
    write_file(p, text);
}

} // namespace

std::string payload(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

uint16_t free_port() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        socklen_t len = sizeof a;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) port = ntohs(a.sin_port);
    }
    if (fd >= 0) close(fd);
    return port;
}

std::string command_output(const std::string& cmd) {
    std::string out;
    if (FILE* f = popen(cmd.c_str(), "r")) {
        char buf[4096];
        while (size_t n = fread(buf, 1, sizeof buf, f))
            out.append(buf, n);
        pclose(f);
    }
    return out;
}

bool have_program(const std::string& name) {
    return !find_program(name).empty();
}

// --- ServerProcess -----------------------------------------------------------

ServerProcess::~ServerProcess() {
    stop();
}

bool ServerProcess::start() {
    stop();
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = free_port();
        std::vector<std::string> args = prepare(m_port);
        if (args.empty()) return false;
        args[0] = find_program(args[0]);
        if (args[0].empty()) return false;
        const std::string out = (m_dir / "output.log").string();
        const pid_t pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            // Its own process group, so that stopping it also ends the
            // children it forked for its connections.
            setpgid(0, 0);
            const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
                close(fd);
            }
            const int null_fd = open("/dev/null", O_RDONLY);
            if (null_fd >= 0) dup2(null_fd, 0);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        setpgid(pid, pid);
        m_pid = pid;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                m_pid = -1;
                break; // it ended: perhaps the port was taken meanwhile
            }
            if (accepts_connections(m_port)) {
                // Someone answers; make sure it is ours and not another
                // test's server that took the port first (ours then exits).
                usleep(50 * 1000);
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    m_pid = -1;
                    break;
                }
                return true;
            }
            usleep(20 * 1000);
        }
        stop();
    }
    return false;
}

void ServerProcess::stop() {
    if (m_pid <= 0) return;
    kill(-m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 150; ++i) {
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        usleep(20 * 1000);
    }
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

std::string ServerProcess::log() const {
    std::string text = read_file(m_dir / "output.log");
    if (!m_log_file.empty()) text += read_file(m_log_file);
    return text;
}

// --- nginx -----------------------------------------------------------------

std::string FolderServer::url(const std::string& path) const {
    return m_scheme + "://127.0.0.1:" + std::to_string(port()) + path;
}

std::vector<std::string> NginxServer::prepare(uint16_t port) {
    const std::string d = m_dir.str();
    m_log_file = d + "/error.log";
    std::ostringstream conf;
    conf << "daemon off;\n"
         << "master_process off;\n"
         << "worker_processes 1;\n"
         << "pid " << d << "/nginx.pid;\n"
         << "error_log " << d << "/error.log warn;\n";
    if (geteuid() == 0) conf << "user root root;\n"; // the served folder is private to us
    conf << "events { worker_connections 256; }\n"
         << "http {\n"
         << "  access_log off;\n"
         << "  client_body_temp_path " << d << "/body;\n"
         << "  proxy_temp_path " << d << "/proxy;\n"
         << "  fastcgi_temp_path " << d << "/fastcgi;\n"
         << "  uwsgi_temp_path " << d << "/uwsgi;\n"
         << "  scgi_temp_path " << d << "/scgi;\n"
         << "  sendfile on;\n"
         << "  default_type application/octet-stream;\n"
         << "  server {\n"
         << "    listen 127.0.0.1:" << port << ";\n"
         << "    root " << m_root << ";\n"
         << "    location / { " << m_extra << " }\n"
         << "  }\n"
         << "}\n";
    write_text(m_dir / "nginx.conf", conf.str());
    return {"nginx", "-p", d, "-e", d + "/error.log", "-c", d + "/nginx.conf"};
}

// --- vsftpd ------------------------------------------------------------------

std::vector<std::string> FtpServer::prepare(uint16_t port) {
    const std::string d = m_dir.str();
    m_log_file = d + "/vsftpd.log";
    std::filesystem::create_directories(m_dir / "empty");
    std::ostringstream conf;
    // Runs as the user who starts it, so that no privileges are needed and
    // the served folder can be a private temporary one.
    conf << "listen=YES\n"
         << "listen_ipv6=NO\n"
         << "listen_address=127.0.0.1\n"
         << "listen_port=" << port << "\n"
         << "background=NO\n"
         << "run_as_launching_user=YES\n"
         << "ftp_username=" << user_name() << "\n"
         << "anonymous_enable=YES\n"
         << "no_anon_password=YES\n"
         << "anon_root=" << m_root << "\n"
         << "local_enable=NO\n"
         << "write_enable=NO\n"
         << "pasv_enable=YES\n"
         << "pasv_address=127.0.0.1\n"
         << "connect_from_port_20=NO\n"
         << "seccomp_sandbox=NO\n"
         << "check_shell=NO\n"
         << "use_localtime=NO\n"
         << "secure_chroot_dir=" << d << "/empty\n"
         << "xferlog_enable=YES\n"
         << "vsftpd_log_file=" << d << "/vsftpd.log\n"
         << "max_clients=50\n";
    write_text(m_dir / "vsftpd.conf", conf.str());
    return {"vsftpd", d + "/vsftpd.conf"};
}

// --- tinyproxy ---------------------------------------------------------------

std::vector<std::string> ProxyServer::prepare(uint16_t port) {
    const std::string d = m_dir.str();
    m_log_file = d + "/tinyproxy.log";
    std::ostringstream conf;
    conf << "Port " << port << "\n"
         << "Listen 127.0.0.1\n"
         << "Timeout 60\n"
         << "MaxClients 50\n"
         << "LogLevel Info\n"
         << "LogFile \"" << d << "/tinyproxy.log\"\n"
         << "PidFile \"" << d << "/tinyproxy.pid\"\n"
         << "Allow 127.0.0.1\n"
         << "DisableViaHeader Yes\n";
    if (!m_user.empty()) conf << "BasicAuth " << m_user << " " << m_password << "\n";
    write_text(m_dir / "tinyproxy.conf", conf.str());
    return {"tinyproxy", "-d", "-c", d + "/tinyproxy.conf"};
}

int ProxyServer::requests_seen() const {
    const std::string text = read_file(m_dir / "tinyproxy.log");
    int count = 0;
    for (size_t at = text.find("Request (file descriptor"); at != std::string::npos;
         at = text.find("Request (file descriptor", at + 1))
        ++count;
    return count;
}

// --- tiny HTTP server ----------------------------------------------------------

TinyHttpServer::TinyHttpServer(std::string response, size_t cut_after, int stall_ms, size_t filler)
    : m_response(std::move(response)), m_cut_after(cut_after), m_stall_ms(stall_ms), m_filler(filler) {
    m_listen_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(m_listen_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = loopback(0);
    if (bind(m_listen_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(m_listen_fd, 16) == 0) {
        socklen_t len = sizeof a;
        getsockname(m_listen_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    m_thread = std::thread([this] { serve(); });
}

std::unique_ptr<TinyHttpServer> TinyHttpServer::Endless(std::string head, size_t bound) {
    return std::make_unique<TinyHttpServer>(std::move(head), SIZE_MAX, 0, bound);
}

TinyHttpServer::~TinyHttpServer() {
    m_stop = true;
    m_thread.join();
    close(m_listen_fd);
}

std::string TinyHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> TinyHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void TinyHttpServer::serve() {
    while (!m_stop) {
        pollfd p{m_listen_fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int fd = accept4(m_listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::string head;
        char buf[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd q{fd, POLLIN, 0};
            if (poll(&q, 1, 2000) <= 0) break;
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            head.append(buf, static_cast<size_t>(n));
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(head);
        }
        for (int waited = 0; waited < m_stall_ms && !m_stop; waited += 20)
            usleep(20 * 1000);
        const size_t total = std::min(m_response.size(), m_cut_after);
        size_t sent = 0;
        while (sent < total) {
            const ssize_t n = send(fd, m_response.data() + sent, total - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        if (sent == m_response.size()) send_filler(fd);
        shutdown(fd, SHUT_RDWR);
        close(fd);
    }
}

void TinyHttpServer::send_filler(int fd) {
    const std::vector<char> block(64 * 1024, '\0');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    size_t sent = 0;
    while (sent < m_filler && !m_stop && std::chrono::steady_clock::now() < deadline) {
        pollfd q{fd, POLLOUT, 0};
        if (poll(&q, 1, 100) <= 0) continue;
        const ssize_t n = send(fd, block.data(), std::min(block.size(), m_filler - sent), MSG_NOSIGNAL);
        if (n <= 0) break; // the client went away
        sent += static_cast<size_t>(n);
        m_filler_sent += static_cast<size_t>(n);
    }
}

} // namespace kltest
