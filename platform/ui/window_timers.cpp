#include "platform/ui/window_timers.h"

#include <QtCore/QTimer>

namespace plat::ui {

QtWindowTimers::QtWindowTimers() = default;
QtWindowTimers::~QtWindowTimers() = default;

bool QtWindowTimers::SetTimer(uint32_t id, uint32_t elapseMs) {
    auto& t = m_timers[id];
    if (!t) {
        t = std::make_unique<QTimer>();
        QObject::connect(t.get(), &QTimer::timeout, [this, id] {
            if (onTimer) onTimer(id);
        });
    }
    t->start(int(std::min<uint32_t>(Effective(elapseMs), 0x7FFFFFFF)));
    return true;
}

bool QtWindowTimers::KillTimer(uint32_t id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    return true;
}

bool QtWindowTimers::IsRunning(uint32_t id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

bool ManualWindowTimers::SetTimer(uint32_t id, uint32_t elapseMs) {
    uint32_t e = Effective(elapseMs);
    m_timers[id] = {e, m_now + e};
    ++m_setCounts[id];
    return true;
}

bool ManualWindowTimers::KillTimer(uint32_t id) {
    return m_timers.erase(id) != 0;
}

void ManualWindowTimers::Advance(uint64_t ms) {
    const uint64_t end = m_now + ms;
    for (;;) {
        // The earliest due timer (ties by id) fires next.
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
            if (it->second.due <= end && (next == m_timers.end() || it->second.due < next->second.due))
                next = it;
        if (next == m_timers.end()) break;
        m_now = next->second.due;
        uint32_t id = next->first;
        next->second.due = m_now + next->second.elapse;
        if (onTimer) onTimer(id);
    }
    m_now = end;
}

} // namespace plat::ui
