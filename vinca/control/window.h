#pragma once
// The control's window side: the view window made when a container
// activates the control in place, its window number, and the view host the
// views read the control's settings through. Without activation the control
// has no window and its window members report so.
#include <cstdint>
#include <memory>

#include "platform/com/inplace.h"
#include "vinca/control/control.h"
#include "vinca/views/view_host.h"

namespace vinca {

class CViewWindow;

class CControlWindow final : public IViewHost, public IControlView, public plat::IInPlaceControl {
  public:
    explicit CControlWindow(CVincaCtrl& ctrl);
    ~CControlWindow();

    // The window number (0 while the control has no window).
    uint32_t Handle() const { return m_handle; }
    CViewWindow* View() const { return m_view; }

    // ---- IInPlaceControl (counted on the control) ----
    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override;
    plat::ULONG AddRef() override;
    plat::ULONG Release() override;
    plat::HRESULT Activate(uint32_t parent_window, const plat::PixelRect& rect) override;
    plat::HRESULT SetRect(const plat::PixelRect& rect) override;
    plat::HRESULT Deactivate() override;
    plat::HRESULT GetWindow(uint32_t* window) override;

    // ---- IViewHost ----
    const ViewSettings& Settings() const override;
    void RaiseError(VResult code) override;

    // ---- IControlView ----
    void RequestRefresh(int32_t flags, int32_t code) override;

  private:
    // Takes (false) or releases (true) one redraw lock at the view's root:
    // the view repaints only while it is attached to a window.
    void AdjustRootViewLock(bool release);
    void DestroyWindow();

    CVincaCtrl& m_ctrl;
    CViewWindow* m_view{nullptr};
    uint32_t m_handle{0};
    mutable ViewSettings m_settings;
};

} // namespace vinca
