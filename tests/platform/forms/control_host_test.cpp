// The form runtime's container: the control created by class id in a host
// widget, its ambients, the extended control, event procedures bound by name
// and the manual drag between two hosts, offscreen.
#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>

#include <cstring>
#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/events.h"
#include "platform/com/loader.h"
#include "platform/com/object.h"
#include "platform/forms/control_host.h"
#include "platform/forms/form.h"
#include "platform/forms/hosted_control.h"
#include "platform/forms/manual_drag.h"
#include "platform/ui/window_table.h"
#include "support/temp_dir.h"

using plat::Variant;
using plat::forms::ControlHost;
namespace ext = plat::forms::extender;

namespace {

constexpr plat::CLSID kTreeList = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

// ---- a small control that fires what the test asks ----

constexpr plat::CLSID kProbe = plat::make_guid("5E0C6A31-7B42-4C8D-9E15-2A6F3B7D8C90");
constexpr plat::IID kProbeEvents = plat::make_guid("5E0C6A32-7B42-4C8D-9E15-2A6F3B7D8C90");
constexpr plat::DISPID kMouseDown = -605, kKeyDown = -602, kClick = -600, kCaption = 7;

class Probe final : public plat::IOleObject,
                    public plat::IConnectionPointContainer,
                    public plat::DispatchWithoutTypeInfo,
                    public plat::CountedObject {
  public:
    static Probe* last;
    Probe() : m_events(m_points.add(*this, kProbeEvents)) { last = this; }
    ~Probe() override {
        if (last == this) last = nullptr;
    }

    void fire(plat::DISPID id, std::vector<Variant> args) { m_events.fire(id, args); }

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        if (!out) return plat::E_POINTER;
        *out = nullptr;
        if (iid == plat::IID_IUnknown || iid == plat::IOleObject::kIID)
            *out = static_cast<plat::IOleObject*>(this);
        else if (iid == plat::IConnectionPointContainer::kIID)
            *out = static_cast<plat::IConnectionPointContainer*>(this);
        else if (iid == plat::IID_IDispatch)
            *out = static_cast<plat::IDispatch*>(this);
        else
            return plat::E_NOINTERFACE;
        AddRef();
        return plat::S_OK;
    }
    plat::ULONG AddRef() override { return add_ref(); }
    plat::ULONG Release() override { return release_ref(); }

    plat::HRESULT SetClientSite(plat::IOleClientSite* site) override {
        m_site = site;
        return plat::S_OK;
    }
    plat::HRESULT GetClientSite(plat::IOleClientSite** out) override {
        *out = m_site.get();
        if (*out) (*out)->AddRef();
        return plat::S_OK;
    }
    plat::HRESULT SetHostNames(const plat::OLECHAR*, const plat::OLECHAR*) override { return plat::S_OK; }
    plat::HRESULT Close(uint32_t) override { return plat::S_OK; }
    plat::HRESULT SetMoniker(uint32_t, plat::IMoniker*) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetMoniker(uint32_t, uint32_t, plat::IMoniker**) override { return plat::E_NOTIMPL; }
    plat::HRESULT InitFromData(plat::IDataObject*, plat::BOOL, uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetClipboardData(uint32_t, plat::IDataObject**) override { return plat::E_NOTIMPL; }
    plat::HRESULT DoVerb(int32_t, plat::MSG*, plat::IOleClientSite*, int32_t, plat::HWND,
                         const plat::RECT*) override {
        return plat::S_OK;
    }
    plat::HRESULT EnumVerbs(plat::IEnumOLEVERB**) override { return plat::E_NOTIMPL; }
    plat::HRESULT Update() override { return plat::S_OK; }
    plat::HRESULT IsUpToDate() override { return plat::S_OK; }
    plat::HRESULT GetUserType(uint32_t, plat::OLECHAR**) override { return plat::E_NOTIMPL; }
    plat::HRESULT Advise(plat::IAdviseSink*, uint32_t*) override { return plat::E_NOTIMPL; }
    plat::HRESULT Unadvise(uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT EnumAdvise(plat::IEnumSTATDATA**) override { return plat::E_NOTIMPL; }
    plat::HRESULT SetColorScheme(plat::LOGPALETTE*) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetUserClassID(plat::CLSID* out) override {
        *out = kProbe;
        return plat::S_OK;
    }
    plat::HRESULT SetExtent(uint32_t, plat::SIZEL*) override { return plat::S_OK; }
    plat::HRESULT GetExtent(uint32_t, plat::SIZEL*) override { return plat::S_OK; }
    plat::HRESULT GetMiscStatus(uint32_t, uint32_t* status) override {
        *status = 0;
        return plat::S_OK;
    }

    plat::HRESULT EnumConnectionPoints(void**) override { return plat::E_NOTIMPL; }
    plat::HRESULT FindConnectionPoint(plat::REFIID iid, plat::IConnectionPoint** out) override {
        return m_points.find(iid, out);
    }

    // One member of its own: Caption.
    plat::HRESULT GetIDsOfNames(plat::REFIID, plat::OLECHAR** names, uint32_t, plat::LCID,
                                plat::DISPID* ids) override {
        if (std::u16string_view(names[0]) != u"Caption") return plat::DISP_E_UNKNOWNNAME;
        ids[0] = kCaption;
        return plat::S_OK;
    }
    plat::HRESULT Invoke(plat::DISPID id, plat::REFIID, plat::LCID, uint16_t flags, plat::DISPPARAMS* params,
                         plat::VARIANT* result, plat::EXCEPINFO*, uint32_t*) override {
        if (id != kCaption) return plat::DISP_E_MEMBERNOTFOUND;
        if (flags & plat::DISPATCH_PROPERTYPUT)
            m_caption = Variant(params->rgvarg[0]);
        else if (result)
            *result = Variant(m_caption).detach();
        return plat::S_OK;
    }

  private:
    plat::ComPtr<plat::IOleClientSite> m_site;
    plat::ConnectionPoints m_points;
    plat::ConnectionPoint& m_events;
    Variant m_caption{"probe"};
};
Probe* Probe::last = nullptr;

const std::vector<plat::forms::EventName> kProbeEventNames = {
    {"Click", kClick}, {"KeyDown", kKeyDown}, {"MouseDown", kMouseDown}};

Variant Get(plat::IDispatch* obj, std::string_view name) {
    Variant v;
    plat::CallError e;
    EXPECT_EQ(plat::dispatch_get(obj, name, v, {}, &e), plat::S_OK) << name << ": " << e.number;
    return v;
}

Variant GetId(plat::IDispatch* obj, plat::DISPID id) {
    Variant v;
    EXPECT_EQ(plat::dispatch_get(obj, id, v), plat::S_OK) << id;
    return v;
}

// ---- ambients, read by the real control ----

class TreeListHost : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KL_VINCA5_PATH, false), plat::S_OK);
        host.resize(200, 120);
        host.show();
        ctl = host.create(kTreeList);
        ASSERT_TRUE(ctl);
    }
    ControlHost host;
    plat::ComPtr<plat::IDispatch> ctl;
};

TEST_F(TreeListHost, TheControlReadsTheAmbients) {
    // Sizes are in the host's twips: 20 pixels of shift step read 300.
    ASSERT_EQ(plat::dispatch_put(ctl.get(), "ShiftStep", Variant(float(300))), plat::S_OK);
    EXPECT_FLOAT_EQ(Get(ctl.get(), "ShiftStep").to_r8(), 300);
    host.set_scale_units("Pixel");
    EXPECT_FLOAT_EQ(Get(ctl.get(), "ShiftStep").to_r8(), 20);

    // Run mode lets AutoDragMode be read; design mode refuses it.
    Variant v;
    plat::CallError e;
    EXPECT_EQ(plat::dispatch_get(ctl.get(), "AutoDragMode", v, {}, &e), plat::S_OK);
    host.set_user_mode(false);
    EXPECT_NE(plat::dispatch_get(ctl.get(), "AutoDragMode", v, {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 394);

    // The form's font.
    ASSERT_TRUE(plat::read_ambient(host.site().as_unknown(), plat::forms::DISPID_AMBIENT_FONT, v));
    plat::ComPtr<plat::IDispatch> font(v.pdispVal);
    EXPECT_EQ(Get(font.get(), "Name").to_utf8(), "DejaVu Sans");
    EXPECT_EQ(GetId(font.get(), 2).cyVal.int64, 80000); // 8 pt
    EXPECT_EQ(host.font().family(), "DejaVu Sans");
}

TEST_F(TreeListHost, TheControlReachesTheOneExtender) {
    // Automatic dragging asks the extender for "Drag" by name.
    plat::ComPtr<plat::IDispatch> extender = host.extender();
    plat::CallError e;
    host.site().set_extender_can_drag(false);
    EXPECT_NE(plat::dispatch_put(ctl.get(), "AutoDragMode", Variant(int16_t(1)), {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 20128);
    host.site().set_extender_can_drag(true);
    EXPECT_EQ(plat::dispatch_put(ctl.get(), "AutoDragMode", Variant(int16_t(1))), plat::S_OK);

    // A picture from the control becomes the drag pointer.
    kltest::TempDir dir;
    QImage icon(24, 16, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    ASSERT_TRUE(icon.save(QString::fromStdString((dir / "drag.png").string())));
    Variant picture;
    ASSERT_EQ(plat::dispatch_call(ctl.get(), "LoadPicture", std::vector{Variant((dir / "drag.png").string())},
                                  &picture),
              plat::S_OK);
    ASSERT_EQ(plat::dispatch_put(extender.get(), ext::kDragIcon, picture), plat::S_OK);
    EXPECT_EQ(host.drag_icon().size(), QSize(24, 16));
    EXPECT_EQ(GetId(extender.get(), ext::kDragIcon).pdispVal, picture.pdispVal);
}

// ---- the extender, events and the manual drag over probes ----

class Hosts : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::register_linked_class(kProbe, plat::creator_of<Probe>(), "Test.Probe.1");
        form.resize(400, 150);
        a.setGeometry(0, 0, 200, 150);
        b.setGeometry(200, 0, 200, 150);
        a.setObjectName("vntLeft");
        b.setObjectName("vntRight");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ASSERT_TRUE(a.create(kProbe));
        probe_a = Probe::last;
        ASSERT_TRUE(b.create("Test.Probe.1"));
        probe_b = Probe::last;
        for (ControlHost* h : {&a, &b})
            h->set_events(kProbeEvents, kProbeEventNames);
        ea = a.extender();
        eb = b.extender();
    }
    void TearDown() override {
        plat::forms::manual_drag::cancel();
        plat::revoke_linked_class(kProbe);
    }

    // DragOver and DragDrop of both hosts, as "host:event(tag,x,y,state)".
    void record_drags() {
        for (ControlHost* h : {&a, &b}) {
            const std::string name = h->objectName().toStdString();
            h->bind("DragOver", [this, name](plat::EventArgs& args) {
                log.push_back(name + ":over(" + tag_of(args) + "," + xy(args) + "," +
                              std::to_string(args.value(3).to_i4()) + ")");
            });
            h->bind("DragDrop", [this, name](plat::EventArgs& args) {
                log.push_back(name + ":drop(" + tag_of(args) + "," + xy(args) + ")");
            });
        }
    }
    static std::string tag_of(plat::EventArgs& args) {
        // Source is the dragged control's extender: its Tag by name.
        Variant source = args.value(0);
        return source.vt == plat::VT_DISPATCH ? Get(source.pdispVal, "Tag").to_utf8() : "?";
    }
    static std::string xy(plat::EventArgs& args) {
        return std::to_string(args.value(1).to_i4()) + "," + std::to_string(args.value(2).to_i4());
    }

    QWidget form;
    ControlHost a{&form};
    ControlHost b{&form};
    Probe* probe_a{nullptr};
    Probe* probe_b{nullptr};
    plat::ComPtr<plat::IDispatch> ea, eb;
    std::vector<std::string> log;
};

TEST_F(Hosts, ExtenderMembersByDispidAndByName) {
    struct Row {
        const char* name;
        plat::DISPID id;
    };
    const Row rows[] = {{"Visible", ext::kVisible},   {"DragIcon", ext::kDragIcon},
                        {"SetFocus", ext::kSetFocus}, {"Drag", ext::kDrag},
                        {"Tag", ext::kTag},           {"dragmode", ext::kDragMode},
                        {"Left", ext::kLeft},         {"Top", ext::kTop},
                        {"Width", ext::kWidth},       {"Height", ext::kHeight},
                        {"Enabled", ext::kEnabled},   {"ToolTipText", ext::kToolTipText}};
    for (const Row& r : rows) {
        std::u16string name(r.name, r.name + std::strlen(r.name));
        plat::OLECHAR* names[] = {name.data()};
        plat::DISPID id = 0;
        EXPECT_EQ(ea->GetIDsOfNames(plat::IID_IUnknown, names, 1, 0, &id), plat::S_OK) << r.name;
        EXPECT_EQ(id, r.id) << r.name;
    }
    // Names the extender does not have are the control's.
    EXPECT_EQ(Get(ea.get(), "Caption").to_utf8(), "probe");
    EXPECT_EQ(plat::dispatch_put(ea.get(), "Caption", Variant("renamed")), plat::S_OK);
    EXPECT_EQ(Get(ea.get(), "Caption").to_utf8(), "renamed");

    // Tag by DISPID, read by name; every call hands out the same extender.
    ASSERT_EQ(plat::dispatch_put(ea.get(), ext::kTag, Variant("KLD_TREE")), plat::S_OK);
    EXPECT_EQ(Get(a.extender().get(), "Tag").to_utf8(), "KLD_TREE");
    EXPECT_EQ(Get(eb.get(), "Tag").to_utf8(), "");

    // Visible reads the control's own flag and shows or hides the host.
    ASSERT_EQ(plat::dispatch_put(ea.get(), ext::kVisible, Variant::boolean(false)), plat::S_OK);
    EXPECT_TRUE(a.isHidden());
    EXPECT_FALSE(Get(ea.get(), "Visible").to_bool());
    ASSERT_EQ(plat::dispatch_put(ea.get(), "Visible", Variant::boolean(true)), plat::S_OK);
    EXPECT_FALSE(a.isHidden());

    // DragMode is 0 or 1; Drag takes 0, 1 or 2.
    plat::CallError e;
    EXPECT_NE(plat::dispatch_put(ea.get(), ext::kDragMode, Variant(int16_t(2)), {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 380);
    EXPECT_NE(plat::dispatch_call(ea.get(), ext::kDrag, std::vector{Variant(int16_t(3))}, nullptr, &e),
              plat::S_OK);
    EXPECT_EQ(e.number, 5);

    // A container that does not drag has no "Drag".
    b.site().set_extender_can_drag(false);
    EXPECT_NE(plat::dispatch_call(eb.get(), "Drag", {}, nullptr, &e), plat::S_OK);

    // An extender kept past its control answers nothing of the control's.
    a.release();
    Variant caption;
    EXPECT_NE(plat::dispatch_get(ea.get(), "Caption", caption, {}, &e), plat::S_OK);
}

TEST_F(Hosts, ExtenderPlaceEnabledAndToolTip) {
    // A bare host keeps them and its widget follows, 15 twips to a pixel.
    const std::pair<plat::DISPID, float> place[] = {
        {ext::kLeft, 1500}, {ext::kTop, 300}, {ext::kWidth, 1507}, {ext::kHeight, 900}};
    for (const auto& [id, twips] : place)
        ASSERT_EQ(plat::dispatch_put(eb.get(), id, Variant(twips)), plat::S_OK) << id;
    EXPECT_EQ(b.geometry(), QRect(100, 20, 100, 60));
    EXPECT_EQ(Get(eb.get(), "Width").to_r8(), 1507);
    plat::CallError e;
    EXPECT_NE(plat::dispatch_put(eb.get(), ext::kHeight, Variant(-15.0f), {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 380);
    EXPECT_EQ(GetId(eb.get(), ext::kHeight).to_r8(), 900);
    ASSERT_EQ(plat::dispatch_put(eb.get(), "Enabled", Variant::boolean(false)), plat::S_OK);
    EXPECT_FALSE(b.isEnabled());
    EXPECT_FALSE(GetId(eb.get(), ext::kEnabled).to_bool());
    ASSERT_EQ(plat::dispatch_put(eb.get(), ext::kToolTipText, Variant("Actions")), plat::S_OK);
    EXPECT_EQ(b.toolTip(), "Actions");
    EXPECT_EQ(Get(eb.get(), "ToolTipText").to_utf8(), "Actions");

    // On a form they are the runtime control's own: twips kept exactly, the
    // own Enabled flag read even inside a disabled window.
    plat::forms::Form form("frmHost");
    auto& hosted = form.Add<plat::forms::HostedControl>("vntProbe");
    ASSERT_TRUE(hosted.Create(kProbe));
    plat::ComPtr<plat::IDispatch> extended = hosted.host().extender();
    ASSERT_EQ(plat::dispatch_put(extended.get(), ext::kLeft, Variant(125.0f)), plat::S_OK);
    ASSERT_EQ(plat::dispatch_put(extended.get(), "Width", Variant(int32_t(3720))), plat::S_OK);
    EXPECT_EQ(hosted.Left(), 125);
    EXPECT_EQ(hosted.Width(), 3720);
    hosted.Move(120, 750, 3720, 4770);
    EXPECT_EQ(GetId(extended.get(), ext::kTop).to_r8(), 750);
    form.window()->setEnabled(false);
    EXPECT_TRUE(Get(extended.get(), "Enabled").to_bool());
    ASSERT_EQ(plat::dispatch_put(extended.get(), ext::kEnabled, Variant::boolean(false)), plat::S_OK);
    EXPECT_FALSE(hosted.Enabled());
    hosted.SetToolTipText("Action list");
    EXPECT_EQ(GetId(extended.get(), ext::kToolTipText).to_utf8(), "Action list");

    // Visible is the same one flag both ways, not the widget's shown state:
    // hidden by form code, it reads False; shown inside a hidden window, True.
    hosted.SetVisible(false);
    EXPECT_FALSE(Get(extended.get(), "Visible").to_bool());
    ASSERT_EQ(plat::dispatch_put(extended.get(), ext::kVisible, Variant::boolean(true)), plat::S_OK);
    EXPECT_TRUE(hosted.Visible());
    EXPECT_FALSE(hosted.host().isHidden());
    form.window()->hide();
    EXPECT_TRUE(GetId(extended.get(), ext::kVisible).to_bool());
    ASSERT_EQ(plat::dispatch_put(extended.get(), "Visible", Variant::boolean(false)), plat::S_OK);
    EXPECT_FALSE(hosted.Visible());
    EXPECT_TRUE(hosted.host().isHidden());
}

TEST_F(Hosts, EventsBoundByNameGetTheMouseInTwips) {
    struct Mouse {
        int button, shift;
        float x, y;
    };
    std::vector<Mouse> seen;
    int clicks = 0;
    ASSERT_TRUE(plat::forms::bind_event(form, "vntLeft", "MouseDown", [&](plat::EventArgs& args) {
        seen.push_back({args.value(0).to_i4(), args.value(1).to_i4(),
                        static_cast<float>(args.value(2).to_r8()),
                        static_cast<float>(args.value(3).to_r8())});
    }));
    ASSERT_TRUE(plat::forms::bind_event(form, "VNTLEFT", "click", [&](plat::EventArgs&) { ++clicks; }));
    // A by-reference argument written by the procedure reaches the control.
    ASSERT_TRUE(a.bind("KeyDown", [](plat::EventArgs& args) { args.set(0, Variant(int16_t(0))); }));
    EXPECT_FALSE(plat::forms::bind_event(form, "vntLeft", "MouseWheel", [](plat::EventArgs&) {}));
    EXPECT_FALSE(plat::forms::bind_event(form, "vntNone", "Click", [](plat::EventArgs&) {}));

    probe_a->fire(kMouseDown,
                  {Variant(int16_t(1)), Variant(int16_t(2)), Variant(int32_t(10)), Variant(int32_t(20))});
    probe_a->fire(kClick, {});
    probe_b->fire(kClick, {}); // another control's event is not this procedure's
    Variant key(int16_t(46));
    probe_a->fire(kKeyDown, {Variant::ref(&key), Variant(int16_t(0))});
    a.set_scale_units("Pixel");
    probe_a->fire(kMouseDown,
                  {Variant(int16_t(2)), Variant(int16_t(0)), Variant(int32_t(7)), Variant(int32_t(9))});

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].button, 1);
    EXPECT_EQ(seen[0].shift, 2);
    EXPECT_FLOAT_EQ(seen[0].x, 150);
    EXPECT_FLOAT_EQ(seen[0].y, 300);
    EXPECT_FLOAT_EQ(seen[1].x, 7);
    EXPECT_FLOAT_EQ(seen[1].y, 9);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(key.to_i4(), 0);
}

TEST_F(Hosts, ManualDragGivesStatesInTwipsAndDropsOnTheHostUnderThePointer) {
    ASSERT_EQ(plat::dispatch_put(ea.get(), "Tag", Variant("KLD_TREE")), plat::S_OK);
    record_drags();
    // The form's MouseDown starts the drag, as the designer's list does.
    a.bind("MouseDown", [&](plat::EventArgs&) {
        EXPECT_EQ(plat::dispatch_call(ea.get(), "Drag", std::vector{Variant(int16_t(1))}), plat::S_OK);
    });
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    a.set_drag_icon(icon);

    QTest::mousePress(&a, Qt::LeftButton, {}, QPoint(20, 30));
    probe_a->fire(kMouseDown,
                  {Variant(int16_t(1)), Variant(int16_t(0)), Variant(int32_t(20)), Variant(int32_t(30))});
    ASSERT_TRUE(plat::forms::manual_drag::active());
    EXPECT_EQ(plat::forms::manual_drag::source(), &a);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->pixmap().size(), QSize(16, 16));

    QTest::mouseMove(&a, QPoint(25, 30));
    QTest::mouseMove(&a, QPoint(30, 31));
    QTest::mouseMove(&b, QPoint(10, 40));
    QTest::mouseMove(&b, QPoint(12, 40));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(12, 40));

    const std::vector<std::string> want = {
        "vntLeft:over(KLD_TREE,375,450,0)",  "vntLeft:over(KLD_TREE,450,465,2)",
        "vntLeft:over(KLD_TREE,3150,600,1)", "vntRight:over(KLD_TREE,150,600,0)",
        "vntRight:over(KLD_TREE,180,600,2)", "vntRight:drop(KLD_TREE,180,600)"};
    EXPECT_EQ(log, want);
    EXPECT_FALSE(plat::forms::manual_drag::active());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    // Once over, the mouse is the form's again: moves start nothing.
    log.clear();
    QTest::mouseMove(&b, QPoint(20, 40));
    EXPECT_TRUE(log.empty());
}

TEST_F(Hosts, EscapeOrDragTwoCancelsWithoutADrop) {
    record_drags();
    for (bool by_escape : {true, false}) {
        SCOPED_TRACE(by_escape ? "Esc" : "Drag(2)");
        log.clear();
        QTest::mousePress(&a, Qt::LeftButton, {}, QPoint(20, 30));
        ASSERT_EQ(plat::dispatch_call(ea.get(), ext::kDrag, std::vector{Variant(int16_t(1))}), plat::S_OK);
        // A second control cannot start while one is dragged.
        EXPECT_NE(plat::dispatch_call(eb.get(), ext::kDrag, {}), plat::S_OK);
        QTest::mouseMove(&b, QPoint(50, 50));
        if (by_escape)
            QTest::keyClick(&b, Qt::Key_Escape);
        else
            ASSERT_EQ(plat::dispatch_call(ea.get(), "Drag", std::vector{Variant(int16_t(2))}), plat::S_OK);
        EXPECT_FALSE(plat::forms::manual_drag::active());
        QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(50, 50));
        const std::vector<std::string> want = {"vntRight:over(,750,750,0)", "vntRight:over(,750,750,1)"};
        EXPECT_EQ(log, want);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(Hosts, ClosingTheDraggedHostEndsTheDrag) {
    record_drags();
    auto* c = new ControlHost(&form);
    c->setGeometry(0, 0, 50, 50);
    c->show();
    ASSERT_TRUE(c->create(kProbe));
    QTest::mousePress(c, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(plat::dispatch_call(c->extender().get(), "Drag", {}), plat::S_OK);
    QTest::mouseMove(&b, QPoint(50, 50));
    delete c;
    EXPECT_FALSE(plat::forms::manual_drag::active());
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(50, 50));
    const std::vector<std::string> want = {"vntRight:over(,750,750,0)", "vntRight:over(,750,750,1)"};
    EXPECT_EQ(log, want);
}

} // namespace
