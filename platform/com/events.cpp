#include "platform/com/events.h"

#include <algorithm>
#include <new>

#include "platform/com/errors.h"

namespace plat {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, const IID& events_iid)
    : m_container(container), m_iid(events_iid) {}

ConnectionPoint::~ConnectionPoint() = default;

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    return query_self<IConnectionPoint>(this, iid, out, {IConnectionPoint::kIID});
}

ULONG ConnectionPoint::AddRef() {
    return m_container.AddRef();
}
ULONG ConnectionPoint::Release() {
    return m_container.Release();
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* out) {
    if (!out) return E_POINTER;
    *out = m_iid;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = &m_container;
    m_container.AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
    if (cookie) *cookie = 0;
    if (!sink || !cookie) return E_POINTER;
    ComPtr<IDispatch> disp;
    if (FAILED(sink->QueryInterface(m_iid, disp.put_void())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, disp.put_void())))
        return CONNECT_E_CANNOTCONNECT;
    try {
        m_sinks.push_back({m_next_cookie, std::move(disp)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *cookie = m_next_cookie++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
    auto it = std::find_if(m_sinks.begin(), m_sinks.end(), [&](const Sink& s) { return s.cookie == cookie; });
    if (it == m_sinks.end()) return CONNECT_E_NOCONNECTION;
    // Released outside the list: the sink's release may call back into us.
    ComPtr<IDispatch> gone = std::move(it->sink);
    m_sinks.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(void** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

void ConnectionPoint::fire(DISPID id, std::span<const Variant> args) {
    ComPtr<IConnectionPointContainer> keep(&m_container);
    std::vector<ComPtr<IDispatch>> sinks;
    for (const Sink& s : m_sinks)
        sinks.push_back(s.sink);
    std::vector<VARIANT> rg;
    for (size_t i = args.size(); i-- > 0;)
        rg.push_back(args[i]);
    for (const auto& sink : sinks) {
        DISPPARAMS dp{rg.data(), nullptr, static_cast<uint32_t>(rg.size()), 0};
        EXCEPINFO ei{};
        uint32_t arg_err = 0;
        sink->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, &ei, &arg_err);
        clear_excepinfo(&ei);
    }
    sinks.clear();
    // `keep` goes last: it may destroy the source, and this point with it.
}

void ConnectionPoint::disconnect_all() {
    std::vector<Sink> gone;
    gone.swap(m_sinks);
}

ConnectionPoint& ConnectionPoints::add(IConnectionPointContainer& container, const IID& events_iid) {
    m_points.push_back(std::make_unique<ConnectionPoint>(container, events_iid));
    return *m_points.back();
}

HRESULT ConnectionPoints::find(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (auto& p : m_points) {
        if (p->events_iid() == iid) {
            *out = p.get();
            p->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

void ConnectionPoints::disconnect_all() {
    for (auto& p : m_points)
        p->disconnect_all();
}

} // namespace plat
