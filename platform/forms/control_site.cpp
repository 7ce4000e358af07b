#include "platform/forms/control_site.h"

#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <utility>

#include "platform/base/strings.h"
#include "platform/com/dispatcher.h"
#include "platform/com/loader.h"
#include "platform/com/object.h"
#include "platform/com/persist.h"

namespace plat::forms {

namespace {

// ---- the runtime's file numbers ----

struct FileTable {
    std::mutex lock;
    std::map<int16_t, std::FILE*> files;
};

FileTable& Files() {
    static FileTable table;
    return table;
}

// Fails a call with a run-time error number the caller shows.
HRESULT Raise(EXCEPINFO* ei, uint16_t number) {
    DispatchError e;
    e.code = number;
    e.description = std::string(standard_error_text(number));
    fill_excepinfo(ei, e);
    return DISP_E_EXCEPTION;
}

// The argument of a property put or of a one-argument method (null when none).
const VARIANT* FirstArg(const DISPPARAMS* params) {
    if (!params || params->cArgs == 0 || !params->rgvarg) return nullptr;
    return &params->rgvarg[params->cArgs - 1];
}

// The ambient font as an automation object: Name 0, Size 2, Bold 3,
// Italic 4, Underline 5, Strikethrough 6, Weight 7, Charset 8; read only.
// Counted alone: the container's objects are no part of any module's count.
class Counted {
  protected:
    ULONG add() { return ++m_refs; }
    ULONG drop() {
        const ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    virtual ~Counted() = default;

  private:
    std::atomic<ULONG> m_refs{1};
};

class FontObject final : public DispatchWithoutTypeInfo, public Counted {
  public:
    explicit FontObject(AmbientFont font) : m_font(std::move(font)) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self<IDispatch>(this, iid, out, {IID_IDispatch});
    }
    ULONG AddRef() override { return add(); }
    ULONG Release() override { return drop(); }

    HRESULT GetIDsOfNames(REFIID, OLECHAR** names, uint32_t count, LCID, DISPID* ids) override {
        static constexpr std::array<std::pair<std::string_view, DISPID>, 8> kMembers{{{"Name", 0},
                                                                                      {"Size", 2},
                                                                                      {"Bold", 3},
                                                                                      {"Italic", 4},
                                                                                      {"Underline", 5},
                                                                                      {"Strikethrough", 6},
                                                                                      {"Weight", 7},
                                                                                      {"Charset", 8}}};
        if (!names || !ids || count == 0) return E_INVALIDARG;
        const std::string name = utf16_to_utf8(std::u16string_view(names[0]));
        for (uint32_t i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        for (const auto& [n, id] : kMembers)
            if (iequals(name, n)) ids[0] = id;
        return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS*, VARIANT* result, EXCEPINFO* ei,
                   uint32_t*) override {
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return Raise(ei, 383);
        Variant v;
        switch (id) {
        case 0:
            v = Variant(std::string_view(m_font.name));
            break;
        case 2:
            v = Variant::currency(std::llround(m_font.size * 10000));
            break;
        case 3:
            v = Variant::boolean(m_font.bold);
            break;
        case 4:
            v = Variant::boolean(m_font.italic);
            break;
        case 5:
            v = Variant::boolean(m_font.underline);
            break;
        case 6:
            v = Variant::boolean(m_font.strikethrough);
            break;
        case 7:
            v = Variant(int16_t(m_font.bold ? 700 : 400));
            break;
        case 8:
            v = Variant(int16_t(0));
            break;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result) *result = v.detach();
        return S_OK;
    }

  private:
    AmbientFont m_font;
};

} // namespace

// The extended control: the container's members of a sited control, and the
// control's own members behind them. The site keeps the state; a site that
// went away leaves the extender answering nothing.
class ControlSite::Extender final : public DispatchWithoutTypeInfo, public Counted {
  public:
    explicit Extender(ControlSite& site) : m_site(&site) {}
    void detach() { m_site = nullptr; }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self<IDispatch>(this, iid, out, {IID_IDispatch});
    }
    ULONG AddRef() override { return add(); }
    ULONG Release() override { return drop(); }

    HRESULT GetIDsOfNames(REFIID iid, OLECHAR** names, uint32_t count, LCID lcid, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        if (!m_site) return DISP_E_UNKNOWNNAME;
        const std::string name = utf16_to_utf8(std::u16string_view(names[0]));
        const std::pair<std::string_view, DISPID> own[] = {
            {"Tag", extender::kTag},           {"Visible", extender::kVisible},
            {"DragIcon", extender::kDragIcon}, {"DragMode", extender::kDragMode},
            {"SetFocus", extender::kSetFocus}, {"Drag", extender::kDrag},
            {"Left", extender::kLeft},         {"Top", extender::kTop},
            {"Width", extender::kWidth},       {"Height", extender::kHeight},
            {"Enabled", extender::kEnabled},   {"ToolTipText", extender::kToolTipText}};
        for (const auto& [n, id] : own) {
            if (!iequals(name, n)) continue;
            if (id == extender::kDrag && !m_site->m_extenderDrag) break;
            ids[0] = id;
            for (uint32_t i = 1; i < count; ++i)
                ids[i] = DISPID_UNKNOWN;
            return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
        }
        if (ComPtr<IDispatch> ctl = control()) return ctl->GetIDsOfNames(iid, names, count, lcid, ids);
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* ei, uint32_t* arg_err) override {
        if (result) VariantInit(result);
        if (!m_site) return DISP_E_MEMBERNOTFOUND;
        ComPtr<IDispatch> keep(this); // a hook may let the site go
        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        const VARIANT* arg = FirstArg(params);
        if (put && !arg) return DISP_E_PARAMNOTOPTIONAL;
        Variant out;
        HRESULT hr = S_OK;
        switch (id) {
        case extender::kTag:
            if (put) {
                Variant v;
                VariantCopyInd(&v, arg);
                m_site->set_tag(v);
            } else {
                out = m_site->m_tag;
            }
            break;
        case extender::kVisible:
            if (put) {
                const bool on = Variant(*arg).to_bool(&hr);
                if (FAILED(hr)) return Raise(ei, 13);
                m_site->set_visible(on);
            } else {
                out = Variant::boolean(m_site->visible());
            }
            break;
        case extender::kDragIcon:
            if (put) {
                const VARIANT& v = deref(*arg);
                if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) return Raise(ei, 13);
                m_site->set_drag_icon(v.punkVal);
            } else {
                ComPtr<IDispatch> pic;
                if (m_site->m_dragIcon) m_site->m_dragIcon.query(IID_IDispatch, pic);
                out = Variant(pic.get());
            }
            break;
        case extender::kDragMode:
            if (put) {
                const int16_t mode = Variant(*arg).to_i2(&hr);
                if (FAILED(hr)) return Raise(ei, 13);
                if (mode != 0 && mode != 1) return Raise(ei, 380);
                m_site->m_dragMode = mode;
            } else {
                out = Variant(m_site->m_dragMode);
            }
            break;
        case extender::kSetFocus:
            if (put) return DISP_E_MEMBERNOTFOUND;
            hr = m_site->on_set_focus();
            if (FAILED(hr)) return hr;
            break;
        case extender::kDrag: {
            if (!m_site->m_extenderDrag || put) return DISP_E_MEMBERNOTFOUND;
            int16_t action = 1;
            if (arg && deref(*arg).vt != VT_ERROR) {
                action = Variant(*arg).to_i2(&hr);
                if (FAILED(hr)) return Raise(ei, 13);
            }
            if (action < 0 || action > 2) return Raise(ei, 5);
            hr = m_site->on_drag(action);
            if (FAILED(hr)) return hr;
            break;
        }
        case extender::kLeft:
        case extender::kTop:
        case extender::kWidth:
        case extender::kHeight: {
            ControlSite::Placement p = m_site->placement();
            float& field = id == extender::kLeft ? p.left
                           : id == extender::kTop ? p.top
                           : id == extender::kWidth ? p.width
                                                    : p.height;
            if (!put) {
                out = Variant(field);
                break;
            }
            const double v = Variant(*arg).to_r8(&hr);
            if (FAILED(hr)) return Raise(ei, 13);
            // A size below zero is an invalid property value, as on a form.
            if ((id == extender::kWidth || id == extender::kHeight) && v < 0) return Raise(ei, 380);
            field = static_cast<float>(v);
            m_site->set_placement(p);
            break;
        }
        case extender::kEnabled:
            if (put) {
                const bool on = Variant(*arg).to_bool(&hr);
                if (FAILED(hr)) return Raise(ei, 13);
                m_site->set_enabled(on);
            } else {
                out = Variant::boolean(m_site->enabled());
            }
            break;
        case extender::kToolTipText:
            if (put) {
                const std::string text = Variant(*arg).to_utf8(&hr);
                if (FAILED(hr)) return Raise(ei, 13);
                m_site->set_tool_tip_text(text);
            } else {
                out = Variant(std::string_view(m_site->tool_tip_text()));
            }
            break;
        default:
            if (ComPtr<IDispatch> ctl = control())
                return ctl->Invoke(id, iid, lcid, flags, params, result, ei, arg_err);
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result) *result = out.detach();
        return S_OK;
    }

  private:
    ComPtr<IDispatch> control() const {
        ComPtr<IDispatch> disp;
        if (m_site && m_site->control()) m_site->control()->QueryInterface(IID_IDispatch, disp.put_void());
        return disp;
    }

    ControlSite* m_site;
};

ControlSite::ControlSite() : m_extender(new Extender(*this)) {}

ControlSite::~ControlSite() {
    // Controls let go of the site before it goes; anyone still holding the
    // extender finds it empty.
    release_all();
    m_extender->detach();
    m_extender->Release();
}

// ---- controls ----

ComPtr<IDispatch> ControlSite::create(const CLSID& clsid, HRESULT* hr_out) {
    ComPtr<IUnknown> obj;
    const HRESULT hr = create_instance(clsid, IID_IUnknown, obj.put_void());
    if (hr_out) *hr_out = hr;
    if (FAILED(hr) || !obj) return nullptr;
    site(obj.get());
    ComPtr<IPersistStreamInit> init;
    if (SUCCEEDED(obj.query(IPersistStreamInit::kIID, init)) && init) init->InitNew();
    ComPtr<IDispatch> disp;
    obj.query(IID_IDispatch, disp);
    return disp;
}

ComPtr<IDispatch> ControlSite::create(std::string_view prog_id, HRESULT* hr_out) {
    CLSID clsid;
    const HRESULT hr = clsid_from_prog_id(prog_id, clsid);
    if (FAILED(hr)) {
        if (hr_out) *hr_out = hr;
        return nullptr;
    }
    return create(clsid, hr_out);
}

void ControlSite::site(IUnknown* control) {
    ComPtr<IOleObject> ole;
    if (!control || FAILED(control->QueryInterface(IOleObject::kIID, ole.put_void())) || !ole) return;
    ole->SetClientSite(this);
    m_controls.emplace_back(control);
}

void ControlSite::release_all() {
    std::vector<ComPtr<IUnknown>> controls = std::move(m_controls);
    m_controls.clear();
    for (auto& c : controls) {
        ComPtr<IOleObject> ole;
        if (SUCCEEDED(c.query(IOleObject::kIID, ole)) && ole) ole->SetClientSite(nullptr);
    }
}

// ---- ambients ----

void ControlSite::announce(DISPID id) {
    // A control may change the list while it hears the news.
    std::vector<ComPtr<IUnknown>> controls = m_controls;
    for (auto& c : controls)
        announce_ambient(c.get(), id);
}

void ControlSite::set_user_mode(bool run_mode) {
    m_userMode = run_mode;
    announce(DISPID_AMBIENT_USERMODE);
}

void ControlSite::set_scale_units(std::string units) {
    m_scaleUnits = std::move(units);
    announce(DISPID_AMBIENT_SCALEUNITS);
}

void ControlSite::set_font(AmbientFont font) {
    m_font = std::move(font);
    announce(DISPID_AMBIENT_FONT);
}

double ControlSite::pixels_to_units(double pixels, bool horizontal) {
    constexpr double kDpi = 96;
    const std::string& u = m_scaleUnits;
    if (u.empty() || iequals(u, "Pixel") || iequals(u, "Pixels")) return pixels;
    if (iequals(u, "Twip") || iequals(u, "Twips")) return pixels * 1440.0 / kDpi;
    POINTL hm;
    const double himetric = pixels * 2540.0 / kDpi;
    (horizontal ? hm.x : hm.y) = static_cast<int32_t>(std::lround(himetric));
    POINTF c;
    if (FAILED(TransformCoords(&hm, &c, XFORMCOORDS_SIZE | XFORMCOORDS_HIMETRICTOCONTAINER))) return himetric;
    return horizontal ? c.x : c.y;
}

// ---- extender state ----

ComPtr<IDispatch> ControlSite::extended_control() {
    return ComPtr<IDispatch>(static_cast<IDispatch*>(m_extender));
}

void ControlSite::set_visible(bool on) {
    if (m_visible == on) return;
    m_visible = on;
    on_visible_changed();
}

void ControlSite::set_drag_icon(IUnknown* picture) {
    m_dragIcon = picture;
    on_drag_icon_changed();
}

// ---- COM ----

HRESULT ControlSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IOleClientSite::kIID)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IOleControlSite::kIID)
        *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IHostFiles && m_hostFiles)
        *out = static_cast<IHostFiles*>(this);
    else if (iid == IID_IHostFileAccess && m_hostFiles)
        *out = static_cast<IHostFileAccess*>(this);
    else
        return query_other(iid, out);
    AddRef();
    return S_OK;
}

HRESULT ControlSite::GetExtendedControl(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = static_cast<IDispatch*>(m_extender);
    m_extender->AddRef();
    return S_OK;
}

HRESULT ControlSite::TransformCoords(POINTL* himetric, POINTF* container, uint32_t flags) {
    if (!himetric || !container) return E_POINTER;
    // HIMETRIC per container unit: points, or HIMETRIC itself.
    const double per = m_points ? 2540.0 / 72.0 : 1.0;
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        container->x = static_cast<float>(himetric->x / per);
        container->y = static_cast<float>(himetric->y / per);
    } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
        himetric->x = static_cast<int32_t>(std::lround(container->x * per));
        himetric->y = static_cast<int32_t>(std::lround(container->y * per));
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT ControlSite::Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                            uint32_t*) {
    Variant v;
    if (id == DISPID_AMBIENT_USERMODE)
        v = Variant::boolean(m_userMode);
    else if (id == DISPID_AMBIENT_SCALEUNITS)
        v = Variant(std::string_view(m_scaleUnits));
    else if (id == DISPID_AMBIENT_FONT)
        v = Variant(static_cast<IDispatch*>(ComPtr<IDispatch>::adopt(new FontObject(m_font)).get()));
    else
        return DISP_E_MEMBERNOTFOUND;
    if (result) *result = v.detach();
    return S_OK;
}

// ---- files ----

int16_t ControlSite::open_file_number(const std::filesystem::path& path, bool write) {
    std::FILE* f = std::fopen(path.c_str(), write ? "w+b" : "rb");
    if (!f) return 0;
    FileTable& t = Files();
    std::lock_guard guard(t.lock);
    int16_t n = 1;
    while (t.files.count(n))
        ++n;
    t.files[n] = f;
    return n;
}

bool ControlSite::close_file_number(int16_t number) {
    FileTable& t = Files();
    std::FILE* f = nullptr;
    {
        std::lock_guard guard(t.lock);
        auto it = t.files.find(number);
        if (it == t.files.end()) return false;
        f = it->second;
        t.files.erase(it);
    }
    const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
    const bool closed = std::fclose(f) == 0;
    return flushed && closed;
}

std::FILE* ControlSite::file_by_number(int16_t number) {
    FileTable& t = Files();
    std::lock_guard guard(t.lock);
    auto it = t.files.find(number);
    return it == t.files.end() ? nullptr : it->second;
}

HRESULT ControlSite::Read(int16_t file, void* buffer, uint16_t count) {
    std::FILE* f = file_by_number(file);
    if (!f) return E_INVALIDARG;
    return std::fread(buffer, 1, count, f) == count ? S_OK : E_FAIL;
}

HRESULT ControlSite::Write(int16_t file, const void* buffer, uint16_t count) {
    std::FILE* f = file_by_number(file);
    if (!f) return E_INVALIDARG;
    return std::fwrite(buffer, 1, count, f) == count ? S_OK : E_FAIL;
}

namespace {
HRESULT SeekFile(std::FILE* f, int32_t offset, int origin, uint32_t* position) {
    if (!f || std::fseek(f, offset, origin) != 0) return E_FAIL;
    const long at = std::ftell(f);
    if (at < 0) return E_FAIL;
    if (position) *position = static_cast<uint32_t>(at);
    return S_OK;
}
} // namespace

HRESULT ControlSite::SeekFromStart(int16_t file, int32_t offset, uint32_t* position) {
    return SeekFile(file_by_number(file), offset, SEEK_SET, position);
}

HRESULT ControlSite::SeekFromCurrent(int16_t file, int32_t offset, uint32_t* position) {
    return SeekFile(file_by_number(file), offset, SEEK_CUR, position);
}

void announce_ambient(IUnknown* control, DISPID id) {
    ComPtr<IOleControl> ctl;
    if (control && SUCCEEDED(control->QueryInterface(IOleControl::kIID, ctl.put_void())) && ctl)
        ctl->OnAmbientPropertyChange(id);
}

} // namespace plat::forms
