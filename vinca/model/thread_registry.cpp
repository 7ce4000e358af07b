// Per-thread records, live controls and the drag state.
#include "vinca/model/thread_registry.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace vinca {

using namespace plat;

namespace {

// Controls live on their container's thread, but several threads may each
// have controls, so the tables are guarded.
std::mutex g_mutex;
std::map<uint32_t, std::unique_ptr<CThreadRecord>>& records() {
    static std::map<uint32_t, std::unique_ptr<CThreadRecord>> r;
    return r;
}
std::vector<IControlSite*>& live_controls() {
    static std::vector<IControlSite*> v;
    return v;
}

} // namespace

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(::gettid());
}

void AttachThreadContext() {
    std::lock_guard lock(g_mutex);
    auto& rec = records()[CurrentThreadId()];
    if (!rec) rec = std::make_unique<CThreadRecord>();
    ++rec->useCount;
}

void DetachThreadContext() {
    std::lock_guard lock(g_mutex);
    auto it = records().find(CurrentThreadId());
    if (it != records().end() && --it->second->useCount <= 0) records().erase(it);
}

void SetThreadContextFlag() {
    std::lock_guard lock(g_mutex);
    auto it = records().find(CurrentThreadId());
    if (it != records().end()) it->second->exchanging = true;
}

CThreadRecord* GetThreadFileContext() {
    std::lock_guard lock(g_mutex);
    auto it = records().find(CurrentThreadId());
    return it == records().end() ? nullptr : it->second.get();
}

void RegisterLiveControl(IControlSite* control) {
    std::lock_guard lock(g_mutex);
    live_controls().push_back(control);
}

void UnregisterLiveControl(IControlSite* control) {
    std::lock_guard lock(g_mutex);
    auto& v = live_controls();
    v.erase(std::remove(v.begin(), v.end(), control), v.end());
}

ComPtr<IUnknown> FindHostFileSite() {
    std::vector<IControlSite*> controls;
    {
        std::lock_guard lock(g_mutex);
        controls = live_controls();
    }
    for (IControlSite* c : controls) {
        ComPtr<IUnknown> site = c->ClientSite();
        ComPtr<IUnknown> files;
        if (site && SUCCEEDED(site->QueryInterface(IID_IHostFiles, files.put_void())) && files) return site;
    }
    return nullptr;
}

void CDragState::Begin(IUnknown* source, int32_t mode) {
    m_source = source;
    m_mode = mode;
}

ComPtr<IUnknown> CDragState::End(IUnknown* source) {
    ComPtr<IUnknown> out;
    if (!source || source == m_source.get()) out = std::move(m_source);
    m_mode = -1;
    return out;
}

ComPtr<IDispatch> CDragState::GetSourceDispatch() const {
    ComPtr<IDispatch> out;
    if (m_source) m_source->QueryInterface(IID_IDispatch, out.put_void());
    return out;
}

CDragState& GetDragState() {
    static CDragState state;
    return state;
}

} // namespace vinca
