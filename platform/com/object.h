#pragma once
// Building blocks for objects handed out through the component interfaces:
// a module-wide count of live objects (the library may be unloaded only
// when it is zero), and a base that implements IUnknown and IDispatch from a
// class's dispatch table.
//
// An interface that a DispatchObject should answer besides IUnknown and
// IDispatch is listed as a further base; it names its identity in a static
// member `kIID`.
#include <atomic>
#include <utility>

#include "platform/com/dispatch.h"
#include "platform/com/dispatcher.h"
#include "platform/com/unknown.h"

namespace plat {

// Live objects and explicit locks of this module (per shared library, since
// every library links its own copy of this layer).
void module_add_ref();
void module_release();
uint32_t module_ref_count();

// Makes an object whose first reference belongs to the returned holder.
template <class T, class... Args> ComPtr<T> make_object(Args&&... args) {
    return ComPtr<T>::adopt(new T(std::forward<Args>(args)...));
}

// Counted lifetime shared by every object of the layer: starts at 1, the
// object deletes itself at 0, and counts as one of the module's live objects.
class CountedObject {
  public:
    CountedObject() { module_add_ref(); }
    virtual ~CountedObject() { module_release(); }
    CountedObject(const CountedObject&) = delete;
    CountedObject& operator=(const CountedObject&) = delete;

  protected:
    ULONG add_ref() { return m_refs.add(); }
    ULONG release_ref() {
        ULONG n = m_refs.release();
        if (n == 0) delete this;
        return n;
    }

  private:
    RefCount m_refs;
};

// T derives from DispatchObject<T, Extra...> and provides
//   static const DispatchTable<T>& dispatch_table();
// It may answer further identities (its own dispatch interface id, tear-offs)
// by overriding query_other.
template <class T, class... Extra>
class DispatchObject : public DispatchWithoutTypeInfo, public Extra..., public CountedObject {
  public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch)
            *out = static_cast<IDispatch*>(this);
        else
            (void)((iid == Extra::kIID ? (*out = static_cast<Extra*>(this), true) : false) || ...);
        if (!*out) return query_other(iid, out);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release_ref(); }

    HRESULT GetIDsOfNames(REFIID, OLECHAR** names, uint32_t count, LCID, DISPID* ids) override {
        return T::dispatch_table().get_ids(names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t* arg_err) override {
        // Hold the object for the whole call: a handler may make the caller
        // drop its last reference (an event handler closing the form).
        ComPtr<IDispatch> keep(this);
        return T::dispatch_table().invoke(static_cast<T&>(*this), user_mode(), id, flags, params, result,
                                          excep, arg_err);
    }

  protected:
    // Design time (false) refuses the members marked so in the table.
    virtual bool user_mode() const { return true; }
    // Further identities; `*out` must get a counted pointer on success.
    virtual HRESULT query_other(REFIID, void**) { return E_NOINTERFACE; }
};

} // namespace plat
