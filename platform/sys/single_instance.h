#pragma once
// One running instance per name. The first instance holds an flock on a lock
// file and listens on a local socket; a later instance fails to take the
// lock, sends its message over the socket (so the first can raise its window)
// and is told to end.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/base/types.h"

namespace plat {

class SingleInstance {
  public:
    using MessageHandler = std::function<void(const std::string& message)>;

    // The lock file is "<folder>/<name>.lock"; the folder is created when
    // missing. Nothing is taken until acquire().
    SingleInstance(std::string folder, std::string name);
    ~SingleInstance(); // stops listening and gives the lock up
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock. True: this is the first instance; from now on every
    // message from a later instance is handed to `handler` on a listener
    // thread of this object. False: another instance holds it (`err` is
    // SharingViolation) or the lock file cannot be made (its error).
    bool acquire(MessageHandler handler, SysError* err = nullptr);
    bool is_first() const { return m_lock_fd >= 0; }

    // Sent by a later instance: delivers `message` to the first instance.
    // Retries for up to `timeout_ms` while the first is still starting.
    // False when no instance listens.
    bool send_to_first(const std::string& message, int32_t timeout_ms = 2000);

  private:
    std::string socket_name() const;
    void listen_loop();

    std::string m_folder;
    std::string m_name;
    int m_lock_fd{-1};
    int m_listen_fd{-1};
    int m_stop_fd{-1};
    std::thread m_listener;
    MessageHandler m_handler;
};

} // namespace plat
