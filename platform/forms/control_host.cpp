#include "platform/forms/control_host.h"

#include "platform/com/inplace.h"
#include "platform/com/loader.h"
#include "platform/com/persist.h"
#include "platform/ui/window_table.h"

namespace plat::forms {

namespace {

PixelRect Whole(const QWidget& w) {
    return {0, 0, w.width(), w.height()};
}

} // namespace

ControlHost::ControlHost(QWidget* parent) : QWidget(parent), m_handle(ui::Windows().add(this)) {}

ControlHost::~ControlHost() {
    release();
    ui::Windows().remove(m_handle);
}

ComPtr<IDispatch> ControlHost::create(const CLSID& clsid, HRESULT* hr_out) {
    release();
    ComPtr<IUnknown> obj;
    HRESULT hr = create_instance(clsid, IID_IUnknown, obj.put_void());
    if (hr_out) *hr_out = hr;
    if (FAILED(hr) || !obj) return nullptr;
    ComPtr<IOleObject> ole;
    if (SUCCEEDED(obj.query(IOleObject::kIID, ole)) && ole) ole->SetClientSite(&m_site);
    ComPtr<IPersistStreamInit> init;
    if (SUCCEEDED(obj.query(IPersistStreamInit::kIID, init)) && init) init->InitNew();
    m_control = obj;
    ComPtr<IInPlaceControl> inplace;
    if (SUCCEEDED(obj.query(IInPlaceControl::kIID, inplace)) && inplace)
        inplace->Activate(m_handle, Whole(*this));
    ComPtr<IDispatch> disp;
    obj.query(IID_IDispatch, disp);
    return disp;
}

void ControlHost::release() {
    if (!m_control) return;
    ComPtr<IUnknown> control = std::move(m_control);
    ComPtr<IInPlaceControl> inplace;
    if (SUCCEEDED(control.query(IInPlaceControl::kIID, inplace)) && inplace) inplace->Deactivate();
    ComPtr<IOleObject> ole;
    if (SUCCEEDED(control.query(IOleObject::kIID, ole)) && ole) ole->SetClientSite(nullptr);
}

uint32_t ControlHost::control_window() const {
    uint32_t window = 0;
    ComPtr<IInPlaceControl> inplace;
    if (m_control && SUCCEEDED(m_control.query(IInPlaceControl::kIID, inplace)) && inplace)
        inplace->GetWindow(&window);
    return window;
}

void ControlHost::set_user_mode(bool on) {
    m_site.set_user_mode(on);
    announce_ambient(m_control.get(), DISPID_AMBIENT_USERMODE);
}

void ControlHost::set_scale_units(std::string units) {
    m_site.set_scale_units(std::move(units));
    announce_ambient(m_control.get(), DISPID_AMBIENT_SCALEUNITS);
}

void ControlHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ComPtr<IInPlaceControl> inplace;
    if (m_control && SUCCEEDED(m_control.query(IInPlaceControl::kIID, inplace)) && inplace)
        inplace->SetRect(Whole(*this));
}

} // namespace plat::forms
