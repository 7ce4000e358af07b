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

// Qt after the control's headers (its `slots` macro).
#include <QtCore/QMetaObject>

namespace vinca {

class CViewWindow;
class CControlInput;

class CControlWindow final : public IViewHost, public IControlView, public plat::IInPlaceControl {
  public:
    explicit CControlWindow(CVincaCtrl& ctrl);
    ~CControlWindow();

    // The window number (0 while the control has no window).
    uint32_t Handle() const { return m_handle; }
    CViewWindow* View() const { return m_view; }
    CControlInput* Input() const { return m_input.get(); }
    // In-place editing of an item's text: 0 cancels, 1 commits, 2 starts
    // (20117 without a window).
    VResult EditItemText(CItem* item, int32_t action);

    // Held around every handler that may fire an event: the control stays
    // alive meanwhile, and a window destroyed by a handler (a form closing
    // in Click) goes only once the handler has returned.
    class HandlerScope {
      public:
        explicit HandlerScope(CControlWindow& window);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

      private:
        CControlWindow& m_window;
        plat::ComPtr<plat::IUnknown> m_keep;
    };

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
    void ItemAttributes(CItem* item, CMapAttrChain& attrs) override;
    void ItemTreeData(CItem* item, CTreeCellData& data) override;
    void DefaultCellAttributes(CMapAttrChain& attrs) override;
    void RaiseError(VResult code) override;
    int32_t ItemIndex(CItem* item) override;
    bool RequestEditing(int32_t index, std::string& text, int32_t& flags) override;
    bool AfterEditing(int32_t index, const std::string& text, int32_t flag) override;
    bool EditingKeyDown(int32_t index, int32_t& key, int32_t shift) override;
    bool EditingKeyPress(int32_t index, int32_t& key) override;
    bool EditingKeyUp(int32_t index, int32_t& key, int32_t shift) override;
    int32_t SelectionMode() const override;
    bool OfferScroll(int32_t bar, int32_t code, int32_t pos) override;
    void CurrentRowMoved(int32_t row) override;
    const ViewBehaviour& Behaviour() const override;
    const ViewBackground& Background() const override;
    bool ItemHasLink(CItem* item) override;
    bool PaintParentBackground(plat::gdi::Dc& dc, const plat::gdi::Rect& rect) override;

    // ---- IControlView ----
    void RequestRefresh(int32_t flags, int32_t code) override;
    void HoldRows(bool hold) override;

  private:
    // Takes (false) or releases (true) one redraw lock at the view's root:
    // the view repaints only while it is attached to a window.
    void AdjustRootViewLock(bool release);
    void DestroyWindow();
    // A window destroyed inside a handler: detached now, deleted later.
    void DetachWindow();
    // The container destroyed the window (with its own) before deactivating.
    void ForgetDestroyedWindow();

    CVincaCtrl& m_ctrl;
    CViewWindow* m_view{nullptr};
    QMetaObject::Connection m_viewGone;
    std::unique_ptr<CControlInput> m_input;
    uint32_t m_handle{0};
    int32_t m_handlerDepth{0};
    mutable ViewSettings m_settings;
    mutable ViewBehaviour m_behaviour;
    mutable ViewBackground m_background;
    // The control's defaults as cells read them (colours for the screen,
    // the control's font).
    ControlDefaultValues CellDefaults() const;
    mutable plat::ComPtr<IVincaFont> m_font;
    // Set while the container paints under the window.
    bool m_paintingParent{false};
    // The behaviour the view was last told of: a refresh tells it what
    // changed since.
    ViewBehaviour m_applied;
    // Tells the view of its behaviour settings that changed (all of them
    // for a new window) and of what the change code names.
    void ApplyChanges(int32_t code, bool all);
};

} // namespace vinca
