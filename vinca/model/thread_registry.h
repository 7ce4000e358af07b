#pragma once
// The per-thread records every control instance of a thread shares (the
// thread's open host files), the list of live controls of the process, and
// the drag state.
#include <cstdint>

#include "platform/com/dispatch.h"
#include "vinca/model/host_file.h"

namespace vinca {

uint32_t CurrentThreadId();

struct CThreadRecord {
    CHostFileRegistry files;
    int32_t useCount{0};
    bool exchanging{false}; // a control of the thread exchanges its persisted properties
};

// Every control construction attaches, every destruction detaches; the last
// detach of a thread frees its record.
void AttachThreadContext();
void DetachThreadContext();
void SetThreadContextFlag();
// The calling thread's record, or null when it has none.
CThreadRecord* GetThreadFileContext();

// A live control as the buffer functions see it: its client site.
struct IControlSite {
    virtual plat::ComPtr<plat::IUnknown> ClientSite() = 0;

  protected:
    ~IControlSite() = default;
};
void RegisterLiveControl(IControlSite* control);
void UnregisterLiveControl(IControlSite* control);
// The first live control (in creation order) whose site answers the host
// file interface; null when none does.
plat::ComPtr<plat::IUnknown> FindHostFileSite();

// The current drag source, one per process.
class CDragState {
  public:
    void Begin(plat::IUnknown* source, int32_t mode);
    // Gives up the held object when `source` is null or the one held.
    plat::ComPtr<plat::IUnknown> End(plat::IUnknown* source);
    plat::ComPtr<plat::IDispatch> GetSourceDispatch() const;
    int32_t Mode() const { return m_mode; }

  private:
    plat::ComPtr<plat::IUnknown> m_source;
    int32_t m_mode{-2};
};
CDragState& GetDragState();

// Decides when a mouse movement after a button press starts a drag.
class CDragStart {
  public:
    explicit CDragStart(int32_t threshold = 4) : m_threshold(threshold) {}
    void Init(int32_t x, int32_t y) {
        m_x = x;
        m_y = y;
        m_set = true;
    }
    bool IsSet() const { return m_set; }
    void Reset() { m_set = false; }
    // A movement of exactly the threshold does not start a drag.
    bool IsBeyondThreshold(int32_t x, int32_t y) const {
        return (x - m_x > m_threshold || m_x - x > m_threshold || y - m_y > m_threshold ||
                m_y - y > m_threshold);
    }

  private:
    bool m_set{false};
    int32_t m_x{0}, m_y{0};
    int32_t m_threshold;
};

} // namespace vinca
