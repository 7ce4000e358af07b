#pragma once
// Window timers by id, as the control's window uses them: setting an id that
// runs already restarts it with the new elapse; an elapse under 10 ms runs at
// 10 ms, the shortest the window system times.
// QtWindowTimers runs them on the event loop; ManualWindowTimers fires them
// only when a test advances its clock, so nothing depends on real time.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace plat::ui {

class WindowTimers {
  public:
    virtual ~WindowTimers() = default;
    virtual bool SetTimer(uint32_t id, uint32_t elapseMs) = 0;
    virtual bool KillTimer(uint32_t id) = 0;
    virtual bool IsRunning(uint32_t id) const = 0;
    // Called with the id each time a timer elapses.
    std::function<void(uint32_t id)> onTimer;

  protected:
    static uint32_t Effective(uint32_t elapse) { return elapse < 10 ? 10 : elapse; }
};

class QtWindowTimers : public WindowTimers {
  public:
    QtWindowTimers();
    ~QtWindowTimers() override;
    bool SetTimer(uint32_t id, uint32_t elapseMs) override;
    bool KillTimer(uint32_t id) override;
    bool IsRunning(uint32_t id) const override;

  private:
    std::map<uint32_t, std::unique_ptr<QTimer>> m_timers;
};

class ManualWindowTimers : public WindowTimers {
  public:
    bool SetTimer(uint32_t id, uint32_t elapseMs) override;
    bool KillTimer(uint32_t id) override;
    bool IsRunning(uint32_t id) const override { return m_timers.count(id) != 0; }
    // Moves the clock on, firing every timer that falls due, in time order.
    void Advance(uint64_t ms);
    uint64_t Now() const { return m_now; }
    int32_t SetCount(uint32_t id) const {
        auto it = m_setCounts.find(id);
        return it == m_setCounts.end() ? 0 : it->second;
    }

  private:
    struct Entry {
        uint32_t elapse;
        uint64_t due;
    };
    std::map<uint32_t, Entry> m_timers;
    std::map<uint32_t, int32_t> m_setCounts;
    uint64_t m_now{0};
};

} // namespace plat::ui
