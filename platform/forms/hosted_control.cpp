#include "platform/forms/hosted_control.h"

#include "platform/forms/control_host.h"

namespace plat::forms {

HostedControl::HostedControl(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::Hosted, std::move(name), index, new ControlHost(parent)),
      m_host(static_cast<ControlHost*>(widget())) {
    m_host->set_scale_units("Twip");
    m_host->set_user_mode(true);
}

HostedControl::~HostedControl() {
    m_object.reset();
    if (widget()) m_host->release();
}

ComPtr<IDispatch> HostedControl::Create(const CLSID& clsid, HRESULT* hr) {
    m_object = m_host->create(clsid, hr);
    return m_object;
}

} // namespace plat::forms
