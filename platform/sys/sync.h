#pragma once
// Events and counting semaphores for threads of one process, with waits on
// one object or on the first of several, and time-outs in milliseconds.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <span>
#include <vector>

namespace plat {

constexpr int32_t kInfinite = -1;    // a time-out that never expires
constexpr int32_t kWaitTimeout = -1; // wait_any: nothing was signalled in time

struct Waiter;

// Something a thread can wait for. A successful wait takes the signal: it
// resets an auto-reset event and takes one count of a semaphore.
class Waitable {
  public:
    Waitable() = default;
    virtual ~Waitable() = default;
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    // True when the object was signalled within the time-out (0: only test).
    bool wait(int32_t timeout_ms = kInfinite);

  protected:
    // Called with m_mutex held: take the signal if there is one.
    virtual bool try_take_locked() = 0;
    // Called with m_mutex held after the object became signalled.
    void notify_locked();

    std::mutex m_mutex;

  private:
    friend int32_t wait_any(std::span<Waitable* const> objects, int32_t timeout_ms);
    std::vector<Waiter*> m_waiters;
};

// Waits until one of the objects is signalled and takes that one's signal.
// Returns its index (the lowest index when several are signalled), or
// kWaitTimeout. An empty list waits out the time-out.
int32_t wait_any(std::span<Waitable* const> objects, int32_t timeout_ms = kInfinite);
int32_t wait_any(std::initializer_list<Waitable*> objects, int32_t timeout_ms = kInfinite);

// A manual-reset event stays set until reset() and releases every waiter;
// an auto-reset event releases one waiter and resets itself.
class Event : public Waitable {
  public:
    explicit Event(bool manual_reset, bool initially_set = false)
        : m_manual(manual_reset), m_set(initially_set) {}

    void set();
    void reset();
    bool is_set(); // looks without taking the signal
    bool manual_reset() const { return m_manual; }

  protected:
    bool try_take_locked() override;

  private:
    const bool m_manual;
    bool m_set;
};

// A counting semaphore: wait() takes one count, release() gives counts back;
// the count never exceeds its maximum.
class Semaphore : public Waitable {
  public:
    Semaphore(int32_t initial, int32_t maximum) : m_count(initial), m_max(maximum) {}

    // Adds `count` (≥ 1). False, and nothing changes, when that would pass
    // the maximum. `previous` receives the count before the call.
    bool release(int32_t count = 1, int32_t* previous = nullptr);
    int32_t count();

  protected:
    bool try_take_locked() override;

  private:
    int32_t m_count;
    const int32_t m_max;
};

// Sleeps the calling thread.
void sleep_ms(int32_t ms);

} // namespace plat
