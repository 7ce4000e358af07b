#include "platform/sys/sync.h"

#include <algorithm>
#include <thread>

namespace plat {

// One waiting thread. Objects it waits on poke it when they become
// signalled; it then tries to take one of them.
struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool poked{false};

    void poke() {
        std::lock_guard lock(mutex);
        poked = true;
        cv.notify_one();
    }
};

void Waitable::notify_locked() {
    for (Waiter* w : m_waiters)
        w->poke();
}

bool Waitable::wait(int32_t timeout_ms) {
    Waitable* self = this;
    return wait_any(std::span<Waitable* const>(&self, 1), timeout_ms) == 0;
}

int32_t wait_any(std::initializer_list<Waitable*> objects, int32_t timeout_ms) {
    return wait_any(std::span<Waitable* const>(objects.begin(), objects.size()), timeout_ms);
}

int32_t wait_any(std::span<Waitable* const> objects, int32_t timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const bool forever = timeout_ms < 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeout_ms);

    auto try_take_any = [&]() -> int32_t {
        for (size_t i = 0; i < objects.size(); ++i) {
            std::lock_guard lock(objects[i]->m_mutex);
            if (objects[i]->try_take_locked()) return static_cast<int32_t>(i);
        }
        return kWaitTimeout;
    };

    // The common case first: something is signalled already, or the caller
    // only looks.
    int32_t taken = try_take_any();
    if (taken != kWaitTimeout || timeout_ms == 0) return taken;

    // Register before looking again so that a signal between the look and
    // the sleep pokes this waiter instead of being missed.
    Waiter waiter;
    for (Waitable* o : objects) {
        std::lock_guard lock(o->m_mutex);
        o->m_waiters.push_back(&waiter);
    }
    for (;;) {
        taken = try_take_any();
        if (taken != kWaitTimeout) break;
        std::unique_lock lock(waiter.mutex);
        if (forever) {
            waiter.cv.wait(lock, [&] { return waiter.poked; });
        } else if (!waiter.cv.wait_until(lock, deadline, [&] { return waiter.poked; })) {
            lock.unlock();
            taken = try_take_any(); // one last look at the deadline
            break;
        }
        waiter.poked = false;
    }
    for (Waitable* o : objects) {
        std::lock_guard lock(o->m_mutex);
        auto& ws = o->m_waiters;
        ws.erase(std::remove(ws.begin(), ws.end(), &waiter), ws.end());
    }
    return taken;
}

void Event::set() {
    std::lock_guard lock(m_mutex);
    m_set = true;
    notify_locked();
}

void Event::reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool Event::is_set() {
    std::lock_guard lock(m_mutex);
    return m_set;
}

bool Event::try_take_locked() {
    if (!m_set) return false;
    if (!m_manual) m_set = false;
    return true;
}

bool Semaphore::release(int32_t count, int32_t* previous) {
    std::lock_guard lock(m_mutex);
    if (previous) *previous = m_count;
    if (count < 1 || count > m_max - m_count) return false;
    m_count += count;
    notify_locked();
    return true;
}

int32_t Semaphore::count() {
    std::lock_guard lock(m_mutex);
    return m_count;
}

bool Semaphore::try_take_locked() {
    if (m_count <= 0) return false;
    --m_count;
    return true;
}

void sleep_ms(int32_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace plat
