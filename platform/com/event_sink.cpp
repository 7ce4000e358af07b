#include "platform/com/event_sink.h"

#include "platform/com/events.h"
#include "platform/com/object.h"

namespace plat {

Variant EventArgs::value(size_t i) const {
    Variant out;
    if (i < m_params.cArgs) VariantCopyInd(&out, &deref(m_params.rgvarg[m_params.cArgs - 1 - i]));
    return out;
}

HRESULT EventArgs::set(size_t i, const Variant& v) {
    if (i >= m_params.cArgs) return E_INVALIDARG;
    return store_by_ref(m_params.rgvarg[m_params.cArgs - 1 - i], v);
}

namespace {

class EventSink final : public DispatchWithoutTypeInfo, public CountedObject {
  public:
    EventSink(const IID& iid, EventHandler handler) : m_iid(iid), m_handler(std::move(handler)) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self<IDispatch>(this, iid, out, {IID_IDispatch, m_iid});
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release_ref(); }
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override {
        if (result) VariantInit(result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
        ComPtr<IDispatch> keep(this); // the handler may disconnect this sink
        try {
            EventArgs args(*params);
            m_handler(id, args);
        } catch (...) {
            return E_UNEXPECTED;
        }
        return S_OK;
    }

  private:
    IID m_iid;
    EventHandler m_handler;
};

HRESULT find_point(IUnknown* source, const IID& events_iid, ComPtr<IConnectionPoint>& cp) {
    if (!source) return E_POINTER;
    ComPtr<IConnectionPointContainer> cpc;
    HRESULT hr = source->QueryInterface(IConnectionPointContainer::kIID, cpc.put_void());
    if (FAILED(hr)) return hr;
    return cpc->FindConnectionPoint(events_iid, cp.put());
}

} // namespace

ComPtr<IDispatch> make_event_sink(const IID& events_iid, EventHandler handler) {
    return ComPtr<IDispatch>::adopt(new EventSink(events_iid, std::move(handler)));
}

HRESULT connect_events(IUnknown* source, const IID& events_iid, IUnknown* sink, uint32_t& cookie) {
    cookie = 0;
    ComPtr<IConnectionPoint> cp;
    HRESULT hr = find_point(source, events_iid, cp);
    if (FAILED(hr)) return hr;
    return cp->Advise(sink, &cookie);
}

HRESULT disconnect_events(IUnknown* source, const IID& events_iid, uint32_t cookie) {
    ComPtr<IConnectionPoint> cp;
    HRESULT hr = find_point(source, events_iid, cp);
    if (FAILED(hr)) return hr;
    return cp->Unadvise(cookie);
}

} // namespace plat
