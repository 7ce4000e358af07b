#pragma once
// The container side of events: a sink that hands every event it receives
// to one handler, whatever the event interface declares, and connecting it
// to a source's connection point.
#include <functional>

#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

namespace plat {

// The arguments of one received event, in declaration order.
class EventArgs {
  public:
    explicit EventArgs(DISPPARAMS& params) : m_params(params) {}
    size_t count() const { return m_params.cArgs; }
    // A copy of the i-th argument, followed through a reference; empty past the end.
    Variant value(size_t i) const;
    // Writes a new value back to a by-reference argument (KeyCode, Cancel);
    // E_INVALIDARG past the end, S_OK and nothing done for a by-value one.
    HRESULT set(size_t i, const Variant& v);

  private:
    DISPPARAMS& m_params;
};

using EventHandler = std::function<void(DISPID id, EventArgs& args)>;

// A sink answering IDispatch and `events_iid`. Exceptions of the handler
// stay inside the sink.
ComPtr<IDispatch> make_event_sink(const IID& events_iid, EventHandler handler);

// FindConnectionPoint + Advise on `source`, and the way back.
HRESULT connect_events(IUnknown* source, const IID& events_iid, IUnknown* sink, uint32_t& cookie);
HRESULT disconnect_events(IUnknown* source, const IID& events_iid, uint32_t cookie);

} // namespace plat
