#pragma once
// A form with one control that records what the control tells it: every
// event by number with its arguments, as they arrived. It can answer
// by-reference arguments (KeyCode, Cancel, CancelDefault) with scripted
// values, and run a handler of the test's own for an event, as form code
// would.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/com/event_sink.h"
#include "platform/forms/control_host.h"

namespace kltest {

struct RecordedEvent {
    plat::DISPID id;
    std::vector<plat::Variant> args; // in declaration order, by-reference ones followed
};

class RecordingContainer : public plat::forms::ControlHost {
  public:
    using Handler = std::function<void(plat::EventArgs& args)>;

    explicit RecordingContainer(QWidget* parent = nullptr);
    ~RecordingContainer() override;

    // Creates the control as the host does and connects to its events.
    plat::ComPtr<plat::IDispatch> create(const plat::CLSID& clsid, plat::HRESULT* hr = nullptr);
    // Disconnects, then takes the control away as the host does.
    void release();

    // Each time event `id` arrives, by-reference argument `arg` is set to `value`.
    void answer(plat::DISPID id, size_t arg, plat::Variant value);
    // Runs `handler` for event `id` after recording it (one handler per event).
    void on(plat::DISPID id, Handler handler);
    void clear_answers();

    const std::vector<RecordedEvent>& events() const { return m_events; }
    void clear() { m_events.clear(); }
    // The events as text, one word each: the name and, in parentheses, the
    // arguments (the stock mouse events without their position). Mouse
    // moves are left out unless asked for.
    std::string trace(bool moves = false) const;
    size_t count(plat::DISPID id) const;
    static std::string name(plat::DISPID id);

  private:
    void received(plat::DISPID id, plat::EventArgs& args);

    plat::ComPtr<plat::IDispatch> m_sink;
    plat::ComPtr<plat::IUnknown> m_source;
    uint32_t m_cookie{0};
    std::vector<RecordedEvent> m_events;
    std::multimap<plat::DISPID, std::pair<size_t, plat::Variant>> m_answers;
    std::map<plat::DISPID, Handler> m_handlers;
};

} // namespace kltest
