#pragma once
// Tool tips: when the pointer rests on a cell that the edge of the view cuts
// off, the whole cell shows in a small frameless popup over it, drawn by the
// cell's own metrics in the tool-tip colours. The popup never takes the
// focus, hands clicks back to the control at the same screen point, and goes
// away when the pointer leaves it, on a key or a button, when the view
// scrolls, or when our window stops being the active one.
//
// CToolTipWnd is the popup and where it stands; CToolTipController adds the
// show and hide timers (window timers of the control); CItemToolTip decides
// what the tip shows for the hit under the pointer.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gdi/dc.h"
#include "platform/ui/popup_window.h"
#include "platform/ui/window_timers.h"
#include "vinca/views/attr_chain.h"
#include "vinca/views/cell_metrics.h"
#include "vinca/views/view_support.h"

class QWidget;

namespace vinca {

struct CTreeCellData;

inline constexpr uint32_t kToolTipShowTimer = 2003;
inline constexpr uint32_t kToolTipHideTimer = 2004;

// What a tip shows; the tip asks it and tells it when the pointer left.
class IToolTipProvider {
  public:
    // The tip for the pointer at a screen point: its rectangle on the
    // screen (frame included); false when there is none.
    virtual bool ComputeTip(Point screen, Rect& tipRect) = 0;
    // Paints the tip with its top-left content pixel at `origin`.
    virtual void PaintTip(Dc& dc, Point origin, const Rect& update) = 0;
    // The pointer left the tip.
    virtual void TipHidden() = 0;
    // The tip came up.
    virtual void TipShown() {}

  protected:
    ~IToolTipProvider() = default;
};

// What a tip asks of the desktop. Tests give a fixed one.
class IToolTipDesktop {
  public:
    virtual ~IToolTipDesktop() = default;
    virtual Point CursorPos() const;
    // The screen that holds a point, in screen coordinates.
    virtual Rect ScreenRect(Point at) const;
    // Whether the parent's top-level window is the active window.
    virtual bool IsActive(QWidget* parent) const;
};

class CToolTipWnd {
  public:
    explicit CToolTipWnd(IToolTipProvider* provider) : m_provider(provider) {}
    virtual ~CToolTipWnd();
    CToolTipWnd(const CToolTipWnd&) = delete;
    CToolTipWnd& operator=(const CToolTipWnd&) = delete;

    // Destroys any popup and takes the new parent (null when the control
    // window goes).
    void SetParentWnd(QWidget* parent);
    QWidget* ParentWnd() const { return m_parent; }
    // Shows the tip at the last pointer position; true when it stands.
    bool Show();
    void Hide();
    // Hides the tip (telling the provider) and destroys the popup.
    void Destroy();

    bool IsShown() const { return m_shown; }
    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool on) { m_enabled = on; }
    const Rect& TipRect() const { return m_tipRect; }
    plat::ui::PopupWindow* Popup() const { return m_popup; }
    void SetDesktop(std::shared_ptr<IToolTipDesktop> desktop) { m_desktop = std::move(desktop); }
    const IToolTipDesktop& Desktop() const { return *m_desktop; }

  protected:
    // The pointer moved over the popup or left it (screen point).
    void PointerCheck(Point screen);
    // A click or wheel over the popup goes to the parent at the same point.
    void ForwardMouse(QEvent* e);

    QWidget* m_parent{nullptr};
    plat::ui::PopupWindow* m_popup{nullptr}; // a child of the parent window
    Rect m_tipRect;
    Rect m_visibleRect;
    bool m_shown{false};
    Point m_last{10000, 10000};
    IToolTipProvider* m_provider;
    bool m_enabled{false};
    std::shared_ptr<IToolTipDesktop> m_desktop{std::make_shared<IToolTipDesktop>()};
};

class CToolTipController : public CToolTipWnd {
  public:
    explicit CToolTipController(IToolTipProvider* provider) : CToolTipWnd(provider) {}
    // The window timers of the parent window (ids 2003 and 2004).
    void SetTimers(plat::ui::WindowTimers* timers) { m_timers = timers; }

    // A mouse move in the parent's client coordinates, with no button held.
    void OnMouseMove(Point client);
    void OnDelayTimer();
    void OnHideTimer();
    // Hides the tip and kills both timers; the tip comes back only after
    // the pointer moves again.
    void Cancel();
    // Takes the pointer's position as seen, so that it does not count as a
    // move (after scrolling and after a delay change).
    void TrackCursor();
    void Disable();

    void SetShowDelay(uint32_t ms) { m_showTimer.SetElapse(ms), m_showElapse = ms; }
    uint32_t ShowDelay() const { return m_showElapse; }
    void SetHideDelay(uint32_t ms, bool autoHide);
    uint32_t HideDelay() const { return m_hideElapse; }
    bool AutoHide() const { return m_autoHide; }
    // Environment 0: hide after 500 ms, shown again while the pointer rests;
    // 1 to 3: hide after 5000 ms, not again for the same hit.
    void SetEnvironment(int32_t environment) {
        environment == 0 ? SetHideDelay(500, false) : SetHideDelay(5000, true);
    }
    bool SameApplication() const;
    bool IsPending() const { return m_pending; }

  protected:
    plat::ui::WindowTimers* m_timers{nullptr};
    CTimerHolder m_showTimer{kToolTipShowTimer, 400};
    CTimerHolder m_hideTimer{kToolTipHideTimer, 500};
    uint32_t m_showElapse{400};
    uint32_t m_hideElapse{500};
    bool m_pending{false};
    bool m_autoHide{false};

  private:
    void StartShow();
    void StopShow();
    void StartHide();
    void StopHide();
};

// What the item tool tip asks of the view.
class IToolTipView {
  public:
    // Hit-tests a client point: the hit record (its rectangle in client
    // coordinates, its row the window's row, -1 for a grid's title row) and
    // the hit cell's rectangle; false off the rows and cells.
    virtual bool TipHitTest(Point client, CHitTestInfo& info, Rect& cellRect) = 0;
    // The hit cell (a row's tree cell, or a grid's cell at the hit's row and
    // column) laid out at its natural size with its attributes changed by
    // `adjust`.
    virtual std::unique_ptr<CCellMetrics>
    TipCell(const CHitTestInfo& hit, const std::function<void(CMapAttrChain&, CTreeCellData&)>& adjust) = 0;
    // The part of the client area rows show in.
    virtual Rect TipVisibleArea() = 0;
    virtual bool TipRowSelected(int32_t row) = 0;

  protected:
    ~IToolTipView() = default;
};

class CItemToolTip : public CToolTipController, private IToolTipProvider {
  public:
    explicit CItemToolTip(IToolTipView& view);
    ~CItemToolTip() override;

    // 0 the tool-tip colours; 1 the colours set here, always.
    void SetViewStyle(int32_t style) { m_viewStyle = style; }
    void SetColors(OLE_COLOR fore, OLE_COLOR back) {
        m_foreColor = fore;
        m_backColor = back;
    }
    int32_t ViewStyle() const { return m_viewStyle; }
    OLE_COLOR ForeColor() const { return m_foreColor; }
    OLE_COLOR BackColor() const { return m_backColor; }
    // Settles the tip: hidden, timers stopped, shown again only after a move.
    void HideNow() { Cancel(); }
    int32_t TipRow() const { return m_tipRow; }
    const CCellMetrics* TipCellShown() const { return m_tipCell.get(); }

  private:
    bool ComputeTip(Point screen, Rect& tipRect) override;
    void PaintTip(Dc& dc, Point origin, const Rect& update) override;
    void TipHidden() override { Cancel(); }
    void TipShown() override { m_shownForHit = true; }
    static bool SameHit(const CHitTestInfo& a, const CHitTestInfo& b);

    IToolTipView& m_view;
    std::unique_ptr<CCellMetrics> m_tipCell;
    int32_t m_tipRow{-2};
    bool m_shownForHit{false};
    CHitTestInfo m_lastHit;
    int32_t m_viewStyle{0};
    OLE_COLOR m_foreColor{0x80000017};
    OLE_COLOR m_backColor{0x80000018};
};

} // namespace vinca
