#pragma once
// Outgoing events: a source object offers connection points, a container
// connects its sink (an IDispatch) to one, and the source fires an event by
// calling the sink's Invoke with the event's DISPID.
#include <memory>
#include <span>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/com/unknown.h"

namespace plat {

struct IConnectionPoint;
struct IConnectionPointContainer;

struct IConnectionPointContainer : IUnknown {
    static constexpr IID kIID = make_guid("B196B284-BAB4-101A-B69C-00AA00341D07");
    // Enumeration of the points is not offered (E_NOTIMPL).
    virtual HRESULT EnumConnectionPoints(void** out) = 0;
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** out) = 0;

  protected:
    ~IConnectionPointContainer() = default;
};

struct IConnectionPoint : IUnknown {
    static constexpr IID kIID = make_guid("B196B286-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT GetConnectionInterface(IID* out) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) = 0;
    virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
    virtual HRESULT EnumConnections(void** out) = 0; // not offered (E_NOTIMPL)

  protected:
    ~IConnectionPoint() = default;
};

// One event interface of a source. It lives inside the source object and
// shares its reference count.
class ConnectionPoint final : public IConnectionPoint {
  public:
    ConnectionPoint(IConnectionPointContainer& container, const IID& events_iid);
    ~ConnectionPoint();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetConnectionInterface(IID* out) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;
    HRESULT EnumConnections(void** out) override;

    const IID& events_iid() const { return m_iid; }
    size_t sink_count() const { return m_sinks.size(); }

    // Calls every connected sink, in connection order, with the arguments in
    // declaration order (by-reference ones as Variant::ref). A sink that
    // fails is skipped. The source stays alive until the fire returns even
    // when a sink drops the last reference to it meanwhile.
    void fire(DISPID id, std::span<const Variant> args = {});
    // Drops every sink (the source is going away).
    void disconnect_all();

  private:
    struct Sink {
        uint32_t cookie;
        ComPtr<IDispatch> sink;
    };
    IConnectionPointContainer& m_container;
    IID m_iid;
    std::vector<Sink> m_sinks;
    uint32_t m_next_cookie{1};
};

// The points of one source, for its FindConnectionPoint.
class ConnectionPoints {
  public:
    ConnectionPoint& add(IConnectionPointContainer& container, const IID& events_iid);
    HRESULT find(REFIID iid, IConnectionPoint** out);
    void disconnect_all();

  private:
    std::vector<std::unique_ptr<ConnectionPoint>> m_points;
};

} // namespace plat
