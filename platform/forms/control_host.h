#pragma once
// The container of one control on a form: a widget that creates the control
// by class id, is its site and activates it in place, so that the control's
// window is a child of this widget and follows its size.
#include <cstdint>

#include <QtWidgets/QWidget>

#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/forms/control_site.h"

namespace plat::forms {

class ControlHost : public QWidget {
    Q_OBJECT
  public:
    explicit ControlHost(QWidget* parent = nullptr);
    ~ControlHost() override;

    // Creates the control, sites it, initialises it as new and activates it
    // in this widget; null on failure (`hr` receives the reason).
    ComPtr<IDispatch> create(const CLSID& clsid, HRESULT* hr = nullptr);
    // Destroys the control's window and takes the site back.
    void release();

    ControlSite& site() { return m_site; }
    IUnknown* control() const { return m_control.get(); }
    // This widget's window number and the control's (0 without one).
    uint32_t window_handle() const { return m_handle; }
    uint32_t control_window() const;

    void set_user_mode(bool on);
    void set_scale_units(std::string units);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    ControlSite m_site;
    ComPtr<IUnknown> m_control;
    uint32_t m_handle{0};
};

} // namespace plat::forms
