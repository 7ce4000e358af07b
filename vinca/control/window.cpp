#include "vinca/control/window.h"

#include <QtWidgets/QWidget>

#include "platform/ui/window_table.h"
#include "vinca/control/dispids.h"
#include "vinca/control/ole_drag.h"
#include "vinca/views/view_window.h"

namespace vinca {

namespace d = dispid;

CControlWindow::CControlWindow(CVincaCtrl& ctrl) : m_ctrl(ctrl) {}

CControlWindow::~CControlWindow() {
    DestroyWindow();
}

plat::HRESULT CControlWindow::QueryInterface(plat::REFIID iid, void** out) {
    return m_ctrl.QueryInterface(iid, out);
}

plat::ULONG CControlWindow::AddRef() {
    return m_ctrl.AddRef();
}

plat::ULONG CControlWindow::Release() {
    return m_ctrl.Release();
}

plat::HRESULT CControlWindow::Activate(uint32_t parent_window, const plat::PixelRect& rect) {
    QWidget* parent = plat::ui::WindowFromHandle(parent_window);
    if (!parent) return plat::E_INVALIDARG;
    if (m_view) {
        if (m_view->parentWidget() != parent) m_view->setParent(parent);
        SetRect(rect);
        m_view->show();
        return plat::S_OK;
    }
    m_view = new CViewWindow(m_ctrl.Engine(), *this, parent);
    // The lock the view holds from its making, released once it has a window.
    m_view->BeginRedrawLock();
    m_handle = plat::ui::Windows().add(m_view);
    m_ctrl.m_view = this;
    AttachDragAndDrop(m_ctrl, m_view);
    SetRect(rect);
    AdjustRootViewLock(true);
    m_view->show();
    return plat::S_OK;
}

plat::HRESULT CControlWindow::SetRect(const plat::PixelRect& rect) {
    if (!m_view) return plat::E_UNEXPECTED;
    m_view->setGeometry(rect.left, rect.top, std::max(0, rect.right - rect.left),
                        std::max(0, rect.bottom - rect.top));
    return plat::S_OK;
}

plat::HRESULT CControlWindow::Deactivate() {
    DestroyWindow();
    return plat::S_OK;
}

plat::HRESULT CControlWindow::GetWindow(uint32_t* window) {
    if (!window) return plat::E_POINTER;
    *window = m_handle;
    return plat::S_OK;
}

void CControlWindow::DestroyWindow() {
    if (!m_view) return;
    AdjustRootViewLock(false);
    m_ctrl.m_view = nullptr;
    plat::ui::Windows().remove(m_handle);
    m_handle = 0;
    delete m_view;
    m_view = nullptr;
}

void CControlWindow::AdjustRootViewLock(bool release) {
    if (!m_view) return;
    if (release)
        m_view->EndRedrawLock();
    else
        m_view->BeginRedrawLock();
}

const ViewSettings& CControlWindow::Settings() const {
    auto color = [&](plat::DISPID id, plat::gdi::OLE_COLOR& out) {
        const plat::Variant& v = m_ctrl.Prop(id);
        if (!v.is_empty()) out = static_cast<plat::gdi::OLE_COLOR>(v.to_i4());
    };
    color(d::kBackColor, m_settings.backColor);
    color(d::kForeColor, m_settings.foreColor);
    const plat::Variant& caption = m_ctrl.Prop(d::kCaption);
    if (!caption.is_empty()) m_settings.caption = caption.to_utf8();
    const plat::Variant& show = m_ctrl.Prop(d::kShowCaption);
    if (!show.is_empty()) m_settings.showCaption = show.to_i4();
    return m_settings;
}

void CControlWindow::RaiseError(VResult code) {
    m_ctrl.ReportError(code);
}

void CControlWindow::RequestRefresh(int32_t flags, int32_t code) {
    if (!m_view) return;
    RedrawFlags redraw;
    if (flags & 1) redraw = redraw | RedrawFlag::Repaint;
    if (flags & 2) redraw = redraw | RedrawFlag::InvalidateRows;
    if (flags & 4) redraw = redraw | RedrawFlag::Relayout;
    if (flags & 8) redraw = redraw | RedrawFlag::Frame;
    m_view->Redraw(redraw);
    (void)code;
}

} // namespace vinca
