#include "platform/forms/hosted_control.h"

#include "platform/forms/control_host.h"

#include <cmath>

namespace plat::forms {

HostedControl::HostedControl(Form& form, std::string name, int32_t index, QWidget* parent)
    : Control(form, ControlKind::Hosted, std::move(name), index, new ControlHost(parent)),
      m_host(static_cast<ControlHost*>(widget())) {
    m_host->set_scale_units("Twip");
    m_host->set_user_mode(true);
    m_host->set_owner(this);
}

HostedControl::~HostedControl() {
    if (widget()) m_host->set_owner(nullptr);
    m_object.reset();
    if (widget()) m_host->release();
}

ControlSite::Placement HostedControl::placement() const {
    return {static_cast<float>(Left()), static_cast<float>(Top()), static_cast<float>(Width()),
            static_cast<float>(Height())};
}

void HostedControl::set_placement(const ControlSite::Placement& p) {
    // Twips are whole on a form.
    auto twips = [](float v) { return static_cast<int32_t>(std::lround(v)); };
    Move(twips(p.left), twips(p.top), twips(p.width), twips(p.height));
}

ComPtr<IDispatch> HostedControl::Create(const CLSID& clsid, HRESULT* hr) {
    m_object = m_host->create(clsid, hr);
    return m_object;
}

} // namespace plat::forms
