#include "test_container.h"

#include <cmath>

#include "platform/base/strings.h"
#include "platform/com/loader.h"
#include "platform/com/object.h"

namespace kltest {

namespace {

constexpr plat::DISPID kDrag = 1, kDragIcon = 2, kDragMode = 3;

// The extender a form runtime wraps around a control. It answers "Drag"
// only when the container lets the control be a drag source.
class Extender final : public plat::DispatchWithoutTypeInfo {
  public:
    explicit Extender(bool can_drag) : m_canDrag(can_drag) {}

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        return plat::query_self(static_cast<plat::IDispatch*>(this), iid, out, {plat::IID_IDispatch});
    }
    plat::ULONG AddRef() override { return ++m_refs; }
    plat::ULONG Release() override {
        plat::ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR** names, uint32_t count, plat::LCID,
                                plat::DISPID* ids) override {
        if (!names || !ids || count == 0) return plat::E_INVALIDARG;
        const std::string name = plat::utf16_to_utf8(std::u16string_view(names[0]));
        ids[0] = plat::DISPID_UNKNOWN;
        if (plat::iequals(name, "Drag") && m_canDrag) ids[0] = kDrag;
        if (plat::iequals(name, "DragIcon")) ids[0] = kDragIcon;
        if (plat::iequals(name, "DragMode")) ids[0] = kDragMode;
        return ids[0] == plat::DISPID_UNKNOWN ? plat::DISP_E_UNKNOWNNAME : plat::S_OK;
    }
    plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t flags, plat::DISPPARAMS* params,
                         plat::VARIANT* result, plat::EXCEPINFO*, uint32_t*) override {
        if (id == kDrag && m_canDrag) {
            ++drags;
            return plat::S_OK;
        }
        if (id == kDragMode) {
            if ((flags & plat::DISPATCH_PROPERTYPUT) && params && params->cArgs)
                m_dragMode = plat::Variant(params->rgvarg[0]).to_i2();
            else if (result)
                *result = plat::Variant(m_dragMode).detach();
            return plat::S_OK;
        }
        if (id == kDragIcon) return plat::S_OK;
        return plat::DISP_E_MEMBERNOTFOUND;
    }

    int drags{0};

  private:
    ~Extender() = default;
    bool m_canDrag;
    int16_t m_dragMode{0};
    plat::ULONG m_refs{1};
};

} // namespace

// One object answers every interface of the site.
class TestContainer::Site final : public plat::IOleClientSite,
                                  public plat::IOleControlSite,
                                  public plat::DispatchWithoutTypeInfo,
                                  public vinca::IHostFiles,
                                  public vinca::IHostFileAccess {
  public:
    explicit Site(TestContainer& owner) : m_owner(owner) {}

    // IUnknown
    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        if (!out) return plat::E_POINTER;
        *out = nullptr;
        if (iid == plat::IID_IUnknown || iid == plat::IOleClientSite::kIID)
            *out = static_cast<plat::IOleClientSite*>(this);
        else if (iid == plat::IOleControlSite::kIID)
            *out = static_cast<plat::IOleControlSite*>(this);
        else if (iid == plat::IID_IDispatch)
            *out = static_cast<plat::IDispatch*>(this);
        else if (iid == vinca::IID_IHostFiles && m_owner.m_hostFiles)
            *out = static_cast<vinca::IHostFiles*>(this);
        else if (iid == vinca::IID_IHostFileAccess && m_owner.m_hostFiles)
            *out = static_cast<vinca::IHostFileAccess*>(this);
        if (!*out) return plat::E_NOINTERFACE;
        AddRef();
        return plat::S_OK;
    }
    // The container owns the site; controls' references only count.
    plat::ULONG AddRef() override { return ++m_refs; }
    plat::ULONG Release() override { return --m_refs; }

    // IOleClientSite
    plat::HRESULT SaveObject() override { return plat::S_OK; }
    plat::HRESULT ShowObject() override { return plat::S_OK; }
    plat::HRESULT OnShowWindow(plat::BOOL) override { return plat::S_OK; }
    plat::HRESULT RequestNewObjectLayout() override { return plat::E_NOTIMPL; }

    // IOleControlSite
    plat::HRESULT OnControlInfoChanged() override { return plat::S_OK; }
    plat::HRESULT LockInPlaceActive(plat::BOOL) override { return plat::S_OK; }
    plat::HRESULT GetExtendedControl(plat::IDispatch** out) override {
        if (!out) return plat::E_POINTER;
        *out = new Extender(m_owner.m_extenderDrag);
        return plat::S_OK;
    }
    plat::HRESULT TransformCoords(plat::POINTL* himetric, plat::POINTF* container, uint32_t flags) override {
        if (!himetric || !container) return plat::E_POINTER;
        // HIMETRIC per container unit: points, or HIMETRIC itself.
        const double per = m_owner.m_points ? 2540.0 / 72.0 : 1.0;
        if (flags & plat::XFORMCOORDS_HIMETRICTOCONTAINER) {
            container->x = static_cast<float>(himetric->x / per);
            container->y = static_cast<float>(himetric->y / per);
        } else if (flags & plat::XFORMCOORDS_CONTAINERTOHIMETRIC) {
            himetric->x = static_cast<int32_t>(std::lround(container->x * per));
            himetric->y = static_cast<int32_t>(std::lround(container->y * per));
        } else {
            return plat::E_INVALIDARG;
        }
        return plat::S_OK;
    }
    plat::HRESULT OnFocus(plat::BOOL) override { return plat::S_OK; }

    // IDispatch: the ambients.
    plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR**, uint32_t, plat::LCID, plat::DISPID*) override {
        return plat::DISP_E_UNKNOWNNAME;
    }
    plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t, plat::DISPPARAMS*,
                         plat::VARIANT* result, plat::EXCEPINFO*, uint32_t*) override {
        plat::Variant v;
        if (id == plat::DISPID_AMBIENT_USERMODE)
            v = plat::Variant::boolean(m_owner.m_userMode);
        else if (id == plat::DISPID_AMBIENT_SCALEUNITS)
            v = plat::Variant(std::string_view(m_owner.m_scaleUnits));
        else
            return plat::DISP_E_MEMBERNOTFOUND;
        if (result) *result = v.detach();
        return plat::S_OK;
    }

    // IHostFiles
    plat::HRESULT GetFileAccess(plat::REFIID iid, void** out, uint32_t) override {
        return QueryInterface(iid, out);
    }

    // IHostFileAccess
    plat::HRESULT Read(int16_t file, void* buffer, uint16_t count) override {
        std::FILE* f = m_owner.file(file);
        if (!f) return plat::E_INVALIDARG;
        return std::fread(buffer, 1, count, f) == count ? plat::S_OK : plat::E_FAIL;
    }
    plat::HRESULT Write(int16_t file, const void* buffer, uint16_t count) override {
        std::FILE* f = m_owner.file(file);
        if (!f) return plat::E_INVALIDARG;
        return std::fwrite(buffer, 1, count, f) == count ? plat::S_OK : plat::E_FAIL;
    }
    plat::HRESULT SeekFromStart(int16_t file, int32_t offset, uint32_t* position) override {
        return Seek(file, offset, SEEK_SET, position);
    }
    plat::HRESULT SeekFromCurrent(int16_t file, int32_t offset, uint32_t* position) override {
        return Seek(file, offset, SEEK_CUR, position);
    }

    plat::ULONG refs() const { return m_refs; }

  private:
    plat::HRESULT Seek(int16_t file, int32_t offset, int origin, uint32_t* position) {
        std::FILE* f = m_owner.file(file);
        if (!f || std::fseek(f, offset, origin) != 0) return plat::E_FAIL;
        if (position) *position = static_cast<uint32_t>(std::ftell(f));
        return plat::S_OK;
    }

    TestContainer& m_owner;
    plat::ULONG m_refs{0};
};

TestContainer::TestContainer() : m_site(new Site(*this)) {}

void TestContainer::release_all() {
    for (auto& c : m_controls) {
        plat::ComPtr<plat::IOleObject> ole;
        if (plat::SUCCEEDED(c.query(plat::IOleObject::kIID, ole)) && ole) ole->SetClientSite(nullptr);
    }
    m_controls.clear();
}

TestContainer::~TestContainer() {
    // Controls let go of the site before it goes.
    release_all();
    for (auto& [n, f] : m_files)
        std::fclose(f);
    delete m_site;
}

plat::IUnknown* TestContainer::site_object() const {
    return static_cast<plat::IOleClientSite*>(m_site);
}

plat::ComPtr<plat::IDispatch> TestContainer::create(const plat::CLSID& clsid, plat::HRESULT* hr_out) {
    plat::ComPtr<plat::IUnknown> obj;
    plat::HRESULT hr = plat::create_instance(clsid, plat::IID_IUnknown, obj.put_void());
    if (hr_out) *hr_out = hr;
    if (plat::FAILED(hr) || !obj) return nullptr;
    site(obj.get());
    plat::ComPtr<plat::IPersistStreamInit> init;
    if (plat::SUCCEEDED(obj.query(plat::IPersistStreamInit::kIID, init)) && init) init->InitNew();
    plat::ComPtr<plat::IDispatch> disp;
    obj.query(plat::IID_IDispatch, disp);
    return disp;
}

void TestContainer::site(plat::IUnknown* control) {
    plat::ComPtr<plat::IOleObject> ole;
    if (!control || plat::FAILED(control->QueryInterface(plat::IOleObject::kIID, ole.put_void())) || !ole)
        return;
    ole->SetClientSite(m_site);
    m_controls.emplace_back(control);
}

void TestContainer::announce(plat::DISPID id) {
    for (auto& c : m_controls) {
        plat::ComPtr<plat::IOleControl> ctl;
        if (plat::SUCCEEDED(c.query(plat::IOleControl::kIID, ctl)) && ctl) ctl->OnAmbientPropertyChange(id);
    }
}

void TestContainer::set_user_mode(bool run_mode) {
    m_userMode = run_mode;
    announce(plat::DISPID_AMBIENT_USERMODE);
}

void TestContainer::set_scale_units(std::string units) {
    m_scaleUnits = std::move(units);
    announce(plat::DISPID_AMBIENT_SCALEUNITS);
}

int16_t TestContainer::open_file(const std::filesystem::path& path, bool write) {
    std::FILE* f = std::fopen(path.c_str(), write ? "w+b" : "rb");
    if (!f) return 0;
    int16_t n = 1;
    while (m_files.count(n))
        ++n;
    m_files[n] = f;
    return n;
}

void TestContainer::close_file(int16_t number) {
    auto it = m_files.find(number);
    if (it == m_files.end()) return;
    std::fclose(it->second);
    m_files.erase(it);
}

std::FILE* TestContainer::file(int16_t number) const {
    auto it = m_files.find(number);
    return it == m_files.end() ? nullptr : it->second;
}

} // namespace kltest
