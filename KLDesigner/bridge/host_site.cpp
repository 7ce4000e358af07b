#include "KLDesigner/bridge/host_site.h"

#include "platform/com/loader.h"
#include "platform/com/object.h"
#include "platform/com/ole.h"
#include "platform/com/persist.h"
#include "vinca/model/host_file.h"

#include <map>

namespace kld {

namespace {
std::map<int16_t, std::FILE*>& Files() {
    static std::map<int16_t, std::FILE*> files;
    return files;
}
} // namespace

// One object answers every interface of the site.
class CHostSite::Site final : public plat::IOleClientSite,
                              public plat::DispatchWithoutTypeInfo,
                              public vinca::IHostFiles,
                              public vinca::IHostFileAccess {
  public:
    explicit Site(CHostSite& owner) : m_owner(owner) {}

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        if (!out) return plat::E_POINTER;
        *out = nullptr;
        if (iid == plat::IID_IUnknown || iid == plat::IOleClientSite::kIID)
            *out = static_cast<plat::IOleClientSite*>(this);
        else if (iid == plat::IID_IDispatch)
            *out = static_cast<plat::IDispatch*>(this);
        else if (iid == vinca::IID_IHostFiles)
            *out = static_cast<vinca::IHostFiles*>(this);
        else if (iid == vinca::IID_IHostFileAccess)
            *out = static_cast<vinca::IHostFileAccess*>(this);
        if (!*out) return plat::E_NOINTERFACE;
        AddRef();
        return plat::S_OK;
    }
    // The container owns the site; controls' references only count.
    plat::ULONG AddRef() override { return ++m_refs; }
    plat::ULONG Release() override { return --m_refs; }

    plat::HRESULT SaveObject() override { return plat::S_OK; }
    plat::HRESULT ShowObject() override { return plat::S_OK; }
    plat::HRESULT OnShowWindow(plat::BOOL) override { return plat::S_OK; }
    plat::HRESULT RequestNewObjectLayout() override { return plat::E_NOTIMPL; }

    // The ambients: the designer runs its controls in run mode.
    plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR**, uint32_t, plat::LCID, plat::DISPID*) override {
        return plat::DISP_E_UNKNOWNNAME;
    }
    plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t, plat::DISPPARAMS*,
                         plat::VARIANT* result, plat::EXCEPINFO*, uint32_t*) override {
        if (id != plat::DISPID_AMBIENT_USERMODE) return plat::DISP_E_MEMBERNOTFOUND;
        if (result) *result = plat::Variant::boolean(true).detach();
        return plat::S_OK;
    }

    plat::HRESULT GetFileAccess(plat::REFIID iid, void** out, uint32_t) override {
        return QueryInterface(iid, out);
    }

    plat::HRESULT Read(int16_t file, void* buffer, uint16_t count) override {
        std::FILE* f = m_owner.File(file);
        if (!f) return plat::E_INVALIDARG;
        return std::fread(buffer, 1, count, f) == count ? plat::S_OK : plat::E_FAIL;
    }
    plat::HRESULT Write(int16_t file, const void* buffer, uint16_t count) override {
        std::FILE* f = m_owner.File(file);
        if (!f) return plat::E_INVALIDARG;
        return std::fwrite(buffer, 1, count, f) == count ? plat::S_OK : plat::E_FAIL;
    }
    plat::HRESULT SeekFromStart(int16_t file, int32_t offset, uint32_t* position) override {
        return Seek(file, offset, SEEK_SET, position);
    }
    plat::HRESULT SeekFromCurrent(int16_t file, int32_t offset, uint32_t* position) override {
        return Seek(file, offset, SEEK_CUR, position);
    }

  private:
    plat::HRESULT Seek(int16_t file, int32_t offset, int origin, uint32_t* position) {
        std::FILE* f = m_owner.File(file);
        if (!f || std::fseek(f, offset, origin) != 0) return plat::E_FAIL;
        const long at = std::ftell(f);
        if (at < 0) return plat::E_FAIL;
        if (position) *position = static_cast<uint32_t>(at);
        return plat::S_OK;
    }

    CHostSite& m_owner;
    plat::ULONG m_refs{0};
};

CHostSite::CHostSite() : m_site(new Site(*this)) {}

CHostSite::~CHostSite() {
    ReleaseAll();
    delete m_site;
}

void CHostSite::ReleaseAll() {
    for (auto& c : m_controls) {
        plat::ComPtr<plat::IOleObject> ole;
        if (plat::SUCCEEDED(c.query(plat::IOleObject::kIID, ole)) && ole) ole->SetClientSite(nullptr);
    }
    m_controls.clear();
}

plat::IUnknown* CHostSite::SiteObject() const {
    return static_cast<plat::IOleClientSite*>(m_site);
}

plat::ComPtr<plat::IDispatch> CHostSite::Create(const plat::CLSID& clsid, plat::HRESULT* hr_out) {
    plat::ComPtr<plat::IUnknown> obj;
    const plat::HRESULT hr = plat::create_instance(clsid, plat::IID_IUnknown, obj.put_void());
    if (hr_out) *hr_out = hr;
    if (plat::FAILED(hr) || !obj) return nullptr;
    plat::ComPtr<plat::IOleObject> ole;
    if (plat::SUCCEEDED(obj.query(plat::IOleObject::kIID, ole)) && ole) {
        ole->SetClientSite(m_site);
        m_controls.push_back(obj);
    }
    plat::ComPtr<plat::IPersistStreamInit> init;
    if (plat::SUCCEEDED(obj.query(plat::IPersistStreamInit::kIID, init)) && init) init->InitNew();
    plat::ComPtr<plat::IDispatch> disp;
    obj.query(plat::IID_IDispatch, disp);
    return disp;
}

int16_t CHostSite::OpenFile(const std::filesystem::path& path, bool write) {
    std::FILE* f = std::fopen(path.c_str(), write ? "w+b" : "rb");
    if (!f) return 0;
    auto& files = Files();
    int16_t n = 1;
    while (files.count(n))
        ++n;
    files[n] = f;
    return n;
}

bool CHostSite::CloseFile(int16_t number) {
    auto& files = Files();
    auto it = files.find(number);
    if (it == files.end()) return false;
    const bool flushed = std::fflush(it->second) == 0 && !std::ferror(it->second);
    const bool closed = std::fclose(it->second) == 0;
    files.erase(it);
    return flushed && closed;
}

std::FILE* CHostSite::File(int16_t number) {
    auto& files = Files();
    auto it = files.find(number);
    return it == files.end() ? nullptr : it->second;
}

} // namespace kld
