#pragma once
// A control created by class id on a form: the runtime's wrapper (Name,
// Index, Tag, twips geometry, its own Visible) around the one container,
// with the control's dispatch interface for late-bound calls.
#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/forms/control_host.h"
#include "platform/forms/controls.h"

namespace plat::forms {

// The extended control's Left, Top, Width, Height, Visible, Enabled and
// ToolTipText are this wrapper's own.
class HostedControl : public Control, private ExtenderOwner {
  public:
    HostedControl(Form& form, std::string name, int32_t index, QWidget* parent);
    ~HostedControl() override;

    // Creates the control in the container; null on failure, and the
    // wrapper keeps working as an empty place on the form.
    ComPtr<IDispatch> Create(const CLSID& clsid, HRESULT* hr = nullptr);
    IDispatch* Object() const { return m_object.get(); }
    ControlHost& host() const { return *m_host; }

  private:
    ControlSite::Placement placement() const override;
    void set_placement(const ControlSite::Placement& p) override;
    bool visible() const override { return Visible(); }
    void set_visible(bool on) override { SetVisible(on); }
    bool enabled() const override { return Enabled(); }
    void set_enabled(bool on) override { SetEnabled(on); }
    std::string tool_tip_text() const override { return ToolTipText(); }
    void set_tool_tip_text(const std::string& text) override { SetToolTipText(text); }

    ControlHost* m_host;
    ComPtr<IDispatch> m_object;
};

} // namespace plat::forms
