#include "platform/sys/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/base/strings.h"
#include "platform/sys/errors.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"
#include "platform/sys/unique_fd.h"

namespace plat {

using detail::UniqueFd;

namespace {

constexpr size_t kMaxMessage = 64 * 1024;
constexpr char kAck[] = "OK";

// The socket lives in the abstract namespace (no file, no length limit of
// the folder path), named after the lock file so that one lock file and one
// socket always belong together.
sockaddr_un abstract_address(const std::string& name, socklen_t& len) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t n = std::min(name.size(), sizeof addr.sun_path - 1);
    std::memcpy(addr.sun_path + 1, name.data(), n);
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    return addr;
}

uint64_t fnv1a(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Waits until `fd` is ready for `events`, for at most `timeout_ms`.
bool wait_ready(int fd, short events, int timeout_ms) {
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeout_ms);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

bool send_all(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

SingleInstance::SingleInstance(std::string folder, std::string name)
    : m_folder(std::move(folder)), m_name(std::move(name)) {}

SingleInstance::~SingleInstance() {
    if (m_listener.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_stop_fd, &one, sizeof one);
        m_listener.join();
    }
    for (int fd : {m_listen_fd, m_stop_fd, m_lock_fd})
        if (fd >= 0) ::close(fd);
}

std::string SingleInstance::socket_name() const {
    std::string folder = m_folder;
    if (char* real = ::realpath(m_folder.c_str(), nullptr)) {
        folder = real;
        std::free(real);
    }
    return strprintf("kl-instance-%u-%016llx", static_cast<unsigned>(::getuid()),
                     static_cast<unsigned long long>(fnv1a(join_path(folder, m_name))));
}

bool SingleInstance::acquire(MessageHandler handler, SysError* err) {
    auto fail = [&](SysError e) {
        if (err) *err = e;
        return false;
    };
    if (is_first()) return true;
    if (SysError e = create_folder(m_folder, true); e != SysError::Success) return fail(e);
    const std::string lock_path = join_path(m_folder, m_name + ".lock");
    UniqueFd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
    if (!lock.valid()) return fail(sys_error_from_errno(errno));
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? SysError::SharingViolation : sys_error_from_errno(errno));

    UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!sock.valid()) return fail(sys_error_from_errno(errno));
    socklen_t len = 0;
    sockaddr_un addr = abstract_address(socket_name(), len);
    if (::bind(sock.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(sock.get(), 8) != 0)
        return fail(sys_error_from_errno(errno));
    UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
    if (!stop.valid()) return fail(sys_error_from_errno(errno));

    m_handler = std::move(handler);
    m_lock_fd = lock.release();
    m_listen_fd = sock.release();
    m_stop_fd = stop.release();
    m_listener = std::thread([this] { listen_loop(); });
    if (err) *err = SysError::Success;
    return true;
}

void SingleInstance::listen_loop() {
    for (;;) {
        pollfd fds[2] = {{m_listen_fd, POLLIN, 0}, {m_stop_fd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        UniqueFd client(::accept4(m_listen_fd, nullptr, nullptr, SOCK_CLOEXEC));
        if (!client.valid()) continue;
        // Read the message up to the sender's end of writing; a sender that
        // stalls or sends too much is dropped so the listener never hangs.
        std::string message;
        bool complete = false;
        char buf[4096];
        while (message.size() <= kMaxMessage && wait_ready(client.get(), POLLIN, 1000)) {
            ssize_t n = ::recv(client.get(), buf, sizeof buf, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                complete = n == 0;
                break;
            }
            message.append(buf, static_cast<size_t>(n));
        }
        if (!complete || message.size() > kMaxMessage) continue;
        if (m_handler) m_handler(message);
        send_all(client.get(), kAck);
    }
}

bool SingleInstance::send_to_first(const std::string& message, int32_t timeout_ms) {
    if (message.size() > kMaxMessage) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    auto left_ms = [&] {
        return static_cast<int>(std::max<int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
    };
    socklen_t len = 0;
    const sockaddr_un addr = abstract_address(socket_name(), len);
    for (;;) {
        UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!sock.valid()) return false;
        if (::connect(sock.get(), reinterpret_cast<const sockaddr*>(&addr), len) == 0) {
            if (!send_all(sock.get(), message) || ::shutdown(sock.get(), SHUT_WR) != 0) return false;
            // The first instance answers once it has handled the message.
            char ack[sizeof kAck] = {};
            size_t got = 0;
            while (got < sizeof kAck - 1 && wait_ready(sock.get(), POLLIN, left_ms())) {
                ssize_t n = ::recv(sock.get(), ack + got, sizeof kAck - 1 - got, 0);
                if (n <= 0) break;
                got += static_cast<size_t>(n);
            }
            return got == sizeof kAck - 1 && std::memcmp(ack, kAck, got) == 0;
        }
        // The first instance may hold the lock but not listen yet.
        if (left_ms() <= 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, left_ms())));
    }
}

} // namespace plat
