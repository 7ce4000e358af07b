// A container written to the standard method order of the object, control,
// in-place, view, persistence and connection interfaces, declared here from
// the published order and nowhere else, driving the control made by ProgID
// from the registered library. A table that differs from that order shows
// as a wrong answer or a crash, whatever the platform layer declares.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "platform/base/strings.h"
#include "platform/com/dispatch.h"
#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/com/ole.h"
#include "platform/com/stream.h"
#include "platform/gdi/dc.h"
#include "platform/ui/window_table.h"

namespace {

using plat::GUID;
using plat::HRESULT;
using plat::make_guid;

// ---- the container's own declarations -------------------------------------

using HWND = uint32_t; // window and DC numbers, as this platform passes them
using HDC = uint32_t;

struct Rect {
    int32_t left, top, right, bottom;
};
struct Size {
    int32_t cx, cy;
};
struct ControlInfo {
    uint32_t cb;
    uint32_t hAccel;
    uint16_t cAccel;
    uint32_t dwFlags;
};

struct Unknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
};

// The container's own objects (its site, its advise sink) are built on the
// platform's declarations: the control calls them through those.
using ClientSite = plat::IOleClientSite;
using AdviseSink = plat::IAdviseSink;

struct OleObject : Unknown {
    virtual HRESULT SetClientSite(ClientSite* site) = 0;
    virtual HRESULT GetClientSite(ClientSite** out) = 0;
    virtual HRESULT SetHostNames(const char16_t* app, const char16_t* obj) = 0;
    virtual HRESULT Close(uint32_t option) = 0;
    virtual HRESULT SetMoniker(uint32_t which, void* moniker) = 0;
    virtual HRESULT GetMoniker(uint32_t assign, uint32_t which, void** out) = 0;
    virtual HRESULT InitFromData(void* data, int32_t creation, uint32_t reserved) = 0;
    virtual HRESULT GetClipboardData(uint32_t reserved, void** out) = 0;
    virtual HRESULT DoVerb(int32_t verb, void* msg, ClientSite* site, int32_t lindex, HWND parent,
                           const Rect* pos) = 0;
    virtual HRESULT EnumVerbs(void** out) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(GUID* out) = 0;
    virtual HRESULT GetUserType(uint32_t form, char16_t** out) = 0;
    virtual HRESULT SetExtent(uint32_t aspect, Size* size) = 0;
    virtual HRESULT GetExtent(uint32_t aspect, Size* size) = 0;
    virtual HRESULT Advise(AdviseSink* sink, uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
    virtual HRESULT EnumAdvise(void** out) = 0;
    virtual HRESULT GetMiscStatus(uint32_t aspect, uint32_t* status) = 0;
    virtual HRESULT SetColorScheme(void* palette) = 0;
};

struct OleControl : Unknown {
    virtual HRESULT GetControlInfo(ControlInfo* info) = 0;
    virtual HRESULT OnMnemonic(void* msg) = 0;
    virtual HRESULT OnAmbientPropertyChange(int32_t dispid) = 0;
    virtual HRESULT FreezeEvents(int32_t freeze) = 0;
};

struct OleInPlaceObject : Unknown {
    virtual HRESULT GetWindow(HWND* out) = 0;
    virtual HRESULT ContextSensitiveHelp(int32_t enter) = 0;
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT UIDeactivate() = 0;
    virtual HRESULT SetObjectRects(const Rect* pos, const Rect* clip) = 0;
    virtual HRESULT ReactivateAndUndo() = 0;
};

struct ViewObject2 : Unknown {
    virtual HRESULT Draw(uint32_t aspect, int32_t lindex, void* info, void* target, HDC target_dc, HDC dc,
                         const Rect* bounds, const Rect* wbounds, int32_t (*go_on)(uintptr_t), uintptr_t arg) = 0;
    virtual HRESULT GetColorSet(uint32_t aspect, int32_t lindex, void* info, void* target, HDC target_dc,
                                void** out) = 0;
    virtual HRESULT Freeze(uint32_t aspect, int32_t lindex, void* info, uint32_t* cookie) = 0;
    virtual HRESULT Unfreeze(uint32_t cookie) = 0;
    virtual HRESULT SetAdvise(uint32_t aspects, uint32_t flags, AdviseSink* sink) = 0;
    virtual HRESULT GetAdvise(uint32_t* aspects, uint32_t* flags, AdviseSink** out) = 0;
    virtual HRESULT GetExtent(uint32_t aspect, int32_t lindex, void* target, Size* size) = 0;
};

struct PersistStreamInit : Unknown {
    virtual HRESULT GetClassID(GUID* out) = 0;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(plat::IStream* stream) = 0;
    virtual HRESULT Save(plat::IStream* stream, int32_t clear_dirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* size) = 0;
    virtual HRESULT InitNew() = 0;
};

struct ConnectionPointContainer : Unknown {
    virtual HRESULT EnumConnectionPoints(void** out) = 0;
    virtual HRESULT FindConnectionPoint(const GUID& iid, Unknown** out) = 0;
};

constexpr GUID kIID_IUnknown = make_guid("00000000-0000-0000-C000-000000000046");
constexpr GUID kIID_IDispatch = make_guid("00020400-0000-0000-C000-000000000046");
constexpr GUID kIID_IOleObject = make_guid("00000112-0000-0000-C000-000000000046");
constexpr GUID kIID_IOleControl = make_guid("B196B288-BAB4-101A-B69C-00AA00341D07");
constexpr GUID kIID_IOleWindow = make_guid("00000114-0000-0000-C000-000000000046");
constexpr GUID kIID_IOleInPlaceObject = make_guid("00000113-0000-0000-C000-000000000046");
constexpr GUID kIID_IViewObject = make_guid("0000010D-0000-0000-C000-000000000046");
constexpr GUID kIID_IViewObject2 = make_guid("00000127-0000-0000-C000-000000000046");
constexpr GUID kIID_IPersistStreamInit = make_guid("7FD52380-4E07-101B-AE2D-08002B2EC713");
constexpr GUID kIID_IConnectionPointContainer = make_guid("B196B284-BAB4-101A-B69C-00AA00341D07");
constexpr GUID kIID_IConnectionPoint = make_guid("B196B286-BAB4-101A-B69C-00AA00341D07");
constexpr GUID kIID_IClientSite = make_guid("00000118-0000-0000-C000-000000000046");
constexpr GUID kIID_IControlSite = make_guid("B196B289-BAB4-101A-B69C-00AA00341D07");
constexpr GUID kIID_IAdviseSink = make_guid("0000010F-0000-0000-C000-000000000046");
constexpr GUID kIID_IDataObject = make_guid("0000010E-0000-0000-C000-000000000046");
constexpr GUID kControlClass = make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr GUID kControlEvents = make_guid("9D998152-B884-11CE-8D47-444553540000");

constexpr HRESULT S_OK = 0, S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = plat::E_NOTIMPL;
constexpr uint32_t kContent = 1; // the content aspect
constexpr int32_t kInPlaceActivate = -5;

template <class T> struct Held {
    T* p{nullptr};
    ~Held() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    void** put() { return reinterpret_cast<void**>(&p); }
};

// The site: the run-mode ambient and nothing else.
class Site final : public plat::IOleClientSite, public plat::IOleControlSite, public plat::DispatchWithoutTypeInfo {
  public:
    HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == kIID_IUnknown || iid == kIID_IClientSite)
            *out = static_cast<plat::IOleClientSite*>(this);
        else if (iid == kIID_IControlSite)
            *out = static_cast<plat::IOleControlSite*>(this);
        else if (iid == kIID_IDispatch)
            *out = static_cast<plat::IDispatch*>(this);
        else
            return plat::E_NOINTERFACE;
        ++refs;
        return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }

    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(uint32_t, uint32_t, plat::IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetContainer(plat::IOleContainer** out) override {
        *out = nullptr;
        return plat::E_NOINTERFACE;
    }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(plat::BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

    HRESULT OnControlInfoChanged() override { return S_OK; }
    HRESULT LockInPlaceActive(plat::BOOL) override { return S_OK; }
    HRESULT GetExtendedControl(plat::IDispatch** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT TransformCoords(plat::POINTL*, plat::POINTF*, uint32_t) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(plat::MSG*, uint32_t) override { return S_FALSE; }
    HRESULT OnFocus(plat::BOOL) override { return S_OK; }
    HRESULT ShowPropertyFrame() override { return E_NOTIMPL; }

    plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR**, uint32_t, plat::LCID, plat::DISPID*) override {
        return plat::DISP_E_UNKNOWNNAME;
    }
    plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t, plat::DISPPARAMS*,
                         plat::VARIANT* result, plat::EXCEPINFO*, uint32_t*) override {
        if (id != plat::DISPID_AMBIENT_USERMODE) return plat::DISP_E_MEMBERNOTFOUND;
        if (result) *result = plat::Variant::boolean(true).detach();
        return S_OK;
    }

    uint32_t refs{0};
};

class Sink final : public plat::IAdviseSink {
  public:
    HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != kIID_IUnknown && iid != kIID_IAdviseSink) return plat::E_NOINTERFACE;
        *out = this;
        ++refs;
        return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    void OnDataChange(plat::FORMATETC*, plat::STGMEDIUM*) override {}
    void OnViewChange(uint32_t, int32_t) override {}
    void OnRename(plat::IMoniker*) override {}
    void OnSave() override {}
    void OnClose() override {}
    uint32_t refs{0};
};

int DarkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 96) ++n;
    return n;
}

class ControlAsContainerSees : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), S_OK);
        ASSERT_EQ(plat::create_instance("Vinca.Vinca.5", kIID_IOleObject, ole.put()), S_OK);
        parent.resize(300, 200);
        parent.show();
        parent_number = plat::ui::Windows().add(&parent);
    }
    void TearDown() override { plat::ui::Windows().remove(parent_number); }

    plat::Variant get(std::string_view name) {
        Held<plat::IDispatch> disp;
        EXPECT_EQ(ole->QueryInterface(kIID_IDispatch, disp.put()), S_OK);
        plat::Variant v;
        EXPECT_EQ(plat::dispatch_get(disp.p, name, v), S_OK) << name;
        return v;
    }
    void add_items() {
        Held<plat::IDispatch> disp;
        ASSERT_EQ(ole->QueryInterface(kIID_IDispatch, disp.put()), S_OK);
        for (const char* text : {"Alpha", "Beta", "Gamma"}) {
            const plat::Variant args[] = {plat::Variant(std::string_view(text))};
            ASSERT_EQ(plat::dispatch_call(disp.p, "AddItem", args), S_OK);
        }
    }

    Site site;
    Held<OleObject> ole;
    QWidget parent;
    HWND parent_number{0};
};

TEST_F(ControlAsContainerSees, ObjectInterfaceAnswersEveryMethodInItsPlace) {
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    EXPECT_GT(site.refs, 0u);
    ClientSite* back = nullptr;
    ASSERT_EQ(ole->GetClientSite(&back), S_OK);
    EXPECT_EQ(back, static_cast<plat::IOleClientSite*>(&site));
    back->Release();
    EXPECT_EQ(ole->SetHostNames(u"Container", u"Form1"), S_OK);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(ole->SetMoniker(1, nullptr), E_NOTIMPL);
    EXPECT_EQ(ole->GetMoniker(1, 1, &none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(ole->InitFromData(nullptr, 1, 0), E_NOTIMPL);
    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(ole->GetClipboardData(0, &none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);
    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(ole->EnumVerbs(&none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(ole->Update(), S_OK);
    EXPECT_EQ(ole->IsUpToDate(), S_OK);

    GUID clsid{};
    ASSERT_EQ(ole->GetUserClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, kControlClass);
    char16_t* type = nullptr;
    ASSERT_EQ(ole->GetUserType(1, &type), S_OK);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(plat::utf16_to_utf8(type), "Marovia Vinca 5.0 Control");
    plat::task_mem_free(type);

    Size size{5080, 2540}; // 192 x 96 pixels
    ASSERT_EQ(ole->SetExtent(kContent, &size), S_OK);
    Size read{};
    ASSERT_EQ(ole->GetExtent(kContent, &read), S_OK);
    EXPECT_EQ(read.cx, 5080);
    EXPECT_EQ(read.cy, 2540);

    Sink sink;
    uint32_t cookie = 0;
    ASSERT_EQ(ole->Advise(&sink, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_GT(sink.refs, 0u);
    EXPECT_EQ(ole->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 0u);
    EXPECT_NE(ole->Unadvise(cookie), S_OK);
    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(ole->EnumAdvise(&none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);

    uint32_t misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(kContent, &misc), S_OK);
    EXPECT_EQ(misc, 0x38191u);
    EXPECT_EQ(ole->SetColorScheme(nullptr), E_NOTIMPL);

    // Activation in place through the verb: the window is a child of ours.
    const Rect pos{10, 20, 210, 120};
    ASSERT_EQ(ole->DoVerb(kInPlaceActivate, nullptr, &site, -1, parent_number, &pos), S_OK);
    QWidget* window = plat::ui::WindowFromHandle(static_cast<uint32_t>(get("hWnd").to_i4()));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), &parent);
    EXPECT_EQ(window->geometry(), QRect(10, 20, 200, 100));
    // An unknown verb is refused and changes nothing.
    EXPECT_EQ(ole->DoVerb(-99, nullptr, &site, -1, parent_number, &pos), E_NOTIMPL);

    EXPECT_EQ(ole->Close(1), S_OK);
    ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.refs, 0u);
}

TEST_F(ControlAsContainerSees, ControlInterfaceTakesAmbientsAndMnemonics) {
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    Held<OleControl> ctl;
    ASSERT_EQ(ole->QueryInterface(kIID_IOleControl, ctl.put()), S_OK);
    ControlInfo info{sizeof(ControlInfo), 77, 9, 3};
    ASSERT_EQ(ctl->GetControlInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof(ControlInfo));
    EXPECT_EQ(info.cAccel, 0);
    EXPECT_EQ(info.hAccel, 0u);
    EXPECT_EQ(ctl->OnMnemonic(nullptr), E_NOTIMPL);
    for (int32_t id : {-709, -1, -703, 12345})
        EXPECT_EQ(ctl->OnAmbientPropertyChange(id), S_OK) << id;
    EXPECT_EQ(ctl->FreezeEvents(1), S_OK);
    EXPECT_EQ(ctl->FreezeEvents(0), S_OK);
    // Still a whole control afterwards.
    EXPECT_EQ(get("ListCount").to_i4(), 0);
    ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
}

TEST_F(ControlAsContainerSees, InPlaceObjectMovesAndDeactivatesTheWindow) {
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    Held<OleInPlaceObject> inplace;
    ASSERT_EQ(ole->QueryInterface(kIID_IOleInPlaceObject, inplace.put()), S_OK);
    Held<OleInPlaceObject> window_iface;
    ASSERT_EQ(ole->QueryInterface(kIID_IOleWindow, window_iface.put()), S_OK);

    HWND hwnd = 99;
    EXPECT_NE(inplace->GetWindow(&hwnd), S_OK); // not active yet
    EXPECT_EQ(hwnd, 0u);
    const Rect pos{0, 0, 120, 80};
    EXPECT_NE(inplace->SetObjectRects(&pos, &pos), S_OK);

    ASSERT_EQ(ole->DoVerb(kInPlaceActivate, nullptr, &site, -1, parent_number, &pos), S_OK);
    ASSERT_EQ(window_iface->GetWindow(&hwnd), S_OK);
    EXPECT_EQ(hwnd, static_cast<uint32_t>(get("hWnd").to_i4()));
    EXPECT_EQ(inplace->ContextSensitiveHelp(1), E_NOTIMPL);
    const Rect moved{30, 40, 230, 190};
    ASSERT_EQ(inplace->SetObjectRects(&moved, &moved), S_OK);
    EXPECT_EQ(plat::ui::WindowFromHandle(hwnd)->geometry(), QRect(30, 40, 200, 150));
    EXPECT_EQ(inplace->UIDeactivate(), S_OK);
    EXPECT_EQ(inplace->ReactivateAndUndo(), E_NOTIMPL);
    ASSERT_EQ(inplace->InPlaceDeactivate(), S_OK);
    EXPECT_EQ(plat::ui::WindowFromHandle(hwnd), nullptr);
    EXPECT_EQ(get("hWnd").to_i4(), 0);
    ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
}

TEST_F(ControlAsContainerSees, ViewObjectDrawsIntoTheContainersDc) {
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    Held<ViewObject2> view;
    ASSERT_EQ(ole->QueryInterface(kIID_IViewObject2, view.put()), S_OK);
    Held<ViewObject2> view1;
    ASSERT_EQ(ole->QueryInterface(kIID_IViewObject, view1.put()), S_OK);

    plat::gdi::Bitmap target(200, 100);
    target.Image().fill(Qt::black);
    plat::gdi::Dc dc(target);
    const HDC number = plat::gdi::PrinterDcs().add(&dc);
    const Rect bounds{0, 0, 200, 100};
    // Without a window there is nothing to draw yet.
    EXPECT_NE(view->Draw(kContent, -1, nullptr, nullptr, 0, number, &bounds, nullptr, nullptr, 0), S_OK);

    add_items();
    const Rect pos{0, 0, 200, 100};
    ASSERT_EQ(ole->DoVerb(kInPlaceActivate, nullptr, &site, -1, parent_number, &pos), S_OK);
    EXPECT_NE(view->Draw(2, -1, nullptr, nullptr, 0, number, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_NE(view->Draw(kContent, -1, nullptr, nullptr, 0, 0, &bounds, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(view1->Draw(kContent, -1, nullptr, nullptr, 0, number, &bounds, nullptr, nullptr, 0), S_OK);
    plat::gdi::PrinterDcs().remove(number);
    // The window's white rows with their dark text replaced the black.
    const QImage img = target.Image();
    EXPECT_EQ(QColor(img.pixel(150, 90)), QColor(Qt::white));
    const int dark = DarkPixels(img);
    EXPECT_GT(dark, 30);
    EXPECT_LT(dark, 200 * 100 / 4);

    void* palette = reinterpret_cast<void*>(1);
    EXPECT_EQ(view->GetColorSet(kContent, -1, nullptr, nullptr, 0, &palette), S_FALSE);
    EXPECT_EQ(palette, nullptr);
    uint32_t cookie = 0;
    ASSERT_EQ(view->Freeze(kContent, -1, nullptr, &cookie), S_OK);
    EXPECT_EQ(view->Unfreeze(cookie), S_OK);
    EXPECT_NE(view->Unfreeze(cookie), S_OK);

    Sink sink;
    ASSERT_EQ(view->SetAdvise(kContent, 0, &sink), S_OK);
    uint32_t aspects = 0, flags = 7;
    AdviseSink* back = nullptr;
    ASSERT_EQ(view->GetAdvise(&aspects, &flags, &back), S_OK);
    EXPECT_EQ(back, &sink);
    EXPECT_EQ(aspects, kContent);
    EXPECT_EQ(flags, 0u);
    back->Release();
    ASSERT_EQ(view->SetAdvise(kContent, 0, nullptr), S_OK);
    EXPECT_EQ(sink.refs, 0u);

    Size size{};
    ASSERT_EQ(view->GetExtent(kContent, -1, nullptr, &size), S_OK);
    Size object_size{};
    ASSERT_EQ(ole->GetExtent(kContent, &object_size), S_OK);
    EXPECT_EQ(size.cx, object_size.cx);
    EXPECT_EQ(size.cy, object_size.cy);
    ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
}

TEST_F(ControlAsContainerSees, PersistStreamInitRoundTripsTheTree) {
    Held<PersistStreamInit> persist;
    ASSERT_EQ(ole->QueryInterface(kIID_IPersistStreamInit, persist.put()), S_OK);
    GUID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, kControlClass);
    ASSERT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    add_items();
    Held<plat::IDispatch> disp0;
    ASSERT_EQ(ole->QueryInterface(kIID_IDispatch, disp0.put()), S_OK);
    ASSERT_EQ(plat::dispatch_put(disp0.p, "Caption", plat::Variant(std::string_view("Saved"))), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    uint64_t max = 0;
    EXPECT_EQ(persist->GetSizeMax(&max), E_NOTIMPL);

    plat::ComPtr<plat::IStream> stream = plat::create_memory_stream();
    ASSERT_EQ(persist->Save(stream.get(), 1), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_GT(plat::memory_stream_bytes(stream.get()).size(), 16u);

    Held<OleObject> other;
    ASSERT_EQ(plat::create_instance("Vinca.Vinca.5", kIID_IOleObject, other.put()), S_OK);
    Held<PersistStreamInit> load;
    ASSERT_EQ(other->QueryInterface(kIID_IPersistStreamInit, load.put()), S_OK);
    ASSERT_EQ(stream->Seek(0, plat::STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(load->Load(stream.get()), S_OK);
    Held<plat::IDispatch> disp;
    ASSERT_EQ(other->QueryInterface(kIID_IDispatch, disp.put()), S_OK);
    plat::Variant count;
    ASSERT_EQ(plat::dispatch_get(disp.p, "ListCount", count), S_OK);
    EXPECT_EQ(count.to_i4(), 3);
    plat::Variant caption;
    ASSERT_EQ(plat::dispatch_get(disp.p, "Caption", caption), S_OK);
    EXPECT_EQ(caption.to_utf8(), "Saved");
}

TEST_F(ControlAsContainerSees, ConnectionPointsAreFoundByTheirEvents) {
    Held<ConnectionPointContainer> cpc;
    ASSERT_EQ(ole->QueryInterface(kIID_IConnectionPointContainer, cpc.put()), S_OK);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(cpc->EnumConnectionPoints(&none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);
    Held<Unknown> point;
    ASSERT_EQ(cpc->FindConnectionPoint(kControlEvents, &point.p), S_OK);
    ASSERT_NE(point.p, nullptr);
    Held<Unknown> same;
    EXPECT_EQ(point->QueryInterface(kIID_IConnectionPoint, same.put()), S_OK);
    Held<Unknown> missing;
    EXPECT_EQ(cpc->FindConnectionPoint(kControlClass, &missing.p), plat::CONNECT_E_NOCONNECTION);
    EXPECT_EQ(missing.p, nullptr);
}

TEST_F(ControlAsContainerSees, TrimmedInterfacesAreNotAnsweredUnderStandardIds) {
    // The control offers no standard data-transfer interface; an id it
    // answers must carry the whole standard table.
    Held<Unknown> data;
    EXPECT_EQ(ole->QueryInterface(kIID_IDataObject, data.put()), plat::E_NOINTERFACE);
}

} // namespace
