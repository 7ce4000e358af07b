#pragma once
// The least a container's site can be, for tests that answer the control's
// ambient reads themselves: a client site with an IDispatch, living on the
// test's stack. Invoke, where the ambients are read, is the test's own.
#include "platform/com/dispatch.h"
#include "platform/com/ole.h"

namespace kltest {

class BareSite : public plat::IOleClientSite, public plat::DispatchWithoutTypeInfo {
  public:
    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == plat::IID_IUnknown || iid == plat::IOleClientSite::kIID)
            *out = static_cast<plat::IOleClientSite*>(this);
        else if (iid == plat::IID_IDispatch)
            *out = static_cast<plat::IDispatch*>(this);
        return *out ? plat::S_OK : plat::E_NOINTERFACE;
    }
    plat::ULONG AddRef() override { return 2; } // lives on the test's stack
    plat::ULONG Release() override { return 1; }
    plat::HRESULT SaveObject() override { return plat::S_OK; }
    plat::HRESULT GetMoniker(uint32_t, uint32_t, plat::IMoniker**) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetContainer(plat::IOleContainer**) override { return plat::E_NOINTERFACE; }
    plat::HRESULT ShowObject() override { return plat::S_OK; }
    plat::HRESULT OnShowWindow(plat::BOOL) override { return plat::S_OK; }
    plat::HRESULT RequestNewObjectLayout() override { return plat::E_NOTIMPL; }
    plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR**, uint32_t, plat::LCID, plat::DISPID*) override {
        return plat::DISP_E_UNKNOWNNAME;
    }

  protected:
    ~BareSite() = default;
};

} // namespace kltest
