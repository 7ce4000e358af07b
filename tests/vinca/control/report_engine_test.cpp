// The report engine inside a control object made here, with its page events
// caught before they would reach the container, so that what a container
// does in them (edit the page being laid out) is seen whatever sinks the
// control offers.
#include <gtest/gtest.h>

#include "platform/com/dispatch_client.h"
#include "support/temp_dir.h"
#include "vinca/control/control.h"
#include "vinca/control/printing.h"
// Qt last: its keyword macros would clash with the model's names.
#include "support/gui/printer_object.h"

using plat::Variant;

namespace {

struct Events {
    std::vector<plat::DISPID> ids;
    // PreparePage: moves the page's top down to an inch; the read-only
    // Height refuses.
    int32_t newTop{-1};
    void operator()(plat::DISPID id, std::span<const Variant> args) {
        ids.push_back(id);
        ASSERT_EQ(args.size(), 2u);
        ASSERT_EQ(args[1].vt, plat::VT_DISPATCH);
        plat::IDispatch* page = args[1].pdispVal;
        plat::CallError e;
        if (id == 27 && newTop >= 0) {
            EXPECT_EQ(plat::dispatch_put(page, "Top", Variant(newTop), {}, &e), plat::S_OK);
            plat::dispatch_put(page, "Height", Variant(int32_t(10)), {}, &e);
            EXPECT_EQ(e.number, 383);
        } else if (id != 27) {
            plat::dispatch_put(page, "Top", Variant(int32_t(0)), {}, &e);
            EXPECT_EQ(e.number, 383) << "only the page being prepared takes a new top";
        }
    }
};

class ReportEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl = plat::make_object<vinca::CVincaCtrl>();
        ASSERT_EQ(ctl->InitNew(), plat::S_OK);
        for (int i = 0; i < 150; ++i)
            call("AddItem", {Variant(std::string_view("Row " + std::to_string(i)))});
        engine = vinca::ReportEngine(*ctl, true);
        engine->SetEventTarget([this](plat::DISPID id, std::span<const Variant> args) { events(id, args); });
        printer = plat::make_object<kltest::PrinterObject>((tmp / "events.pdf").string());
        engine->SetPrinterObject(Variant(static_cast<int32_t>(printer->hdc())));
    }
    void call(std::string_view name, std::vector<Variant> args) {
        plat::CallError e;
        ASSERT_EQ(plat::dispatch_call(ctl.get(), name, args, nullptr, &e), plat::S_OK) << e.number;
    }

    kltest::TempDir tmp;
    plat::ComPtr<vinca::CVincaCtrl> ctl;
    vinca::CReportEngine* engine{nullptr};
    plat::ComPtr<kltest::PrinterObject> printer;
    Events events;
};

TEST_F(ReportEngine, PreparePageMovesThePageAndItsRowsFollow) {
    const int32_t plain = engine->PrepareForPrinting();
    ASSERT_GT(plain, 1);
    const int32_t plainRows = (*engine->Pages())[0]->last + 1;
    EXPECT_EQ(events.ids, std::vector<plat::DISPID>(size_t(plain), 27));

    events.ids.clear();
    events.newTop = 2880;
    const int32_t moved = engine->PrepareForPrinting();
    EXPECT_EQ(engine->Status(), vinca::kReportOk);
    const vinca::PageRecord& first = *(*engine->Pages())[0];
    EXPECT_EQ(first.top, 2880);
    // Two inches less room: fewer rows on the page, more pages.
    EXPECT_LT(first.last + 1, plainRows);
    EXPECT_GE(moved, plain);

    // A run fires BeginPage and EndPage around each page.
    events.ids.clear();
    events.newTop = -1;
    engine->Start(0, 1);
    EXPECT_EQ(events.ids, (std::vector<plat::DISPID>{25, 26, 25, 26}));
    printer->finish();
}

TEST_F(ReportEngine, AHeaderSilencesThePageEventsUnlessAsked) {
    struct Case {
        int32_t options;
        bool events;
        int endDocs; // the engine owns the document unless 0x40
    } cases[] = {{0, false, 1}, {0x20, true, 1}, {0x40, false, 0}, {0x60, true, 0}};
    for (const Case& c : cases) {
        events.ids.clear();
        auto obj = plat::make_object<kltest::PrinterObject>((tmp / "header.pdf").string());
        engine->SetPrinterObject(Variant(static_cast<plat::IDispatch*>(obj.get())));
        engine->SetHeaderFooter(true, c.options, "Head", "Foot");
        engine->Start(-1, -1);
        EXPECT_EQ(engine->Status(), vinca::kReportOk);
        EXPECT_EQ(!events.ids.empty(), c.events) << c.options;
        EXPECT_EQ(obj->end_docs(), c.endDocs) << c.options;
        obj->finish();
    }
}

TEST_F(ReportEngine, CallsDuringARunDoNothing) {
    int inner = -1;
    engine->SetEventTarget([&](plat::DISPID id, std::span<const Variant>) {
        if (id != 25 || inner >= 0) return;
        EXPECT_TRUE(engine->IsPrinting());
        const size_t before = engine->Pages()->size();
        // Neither a new layout nor a nested run, nor a setting.
        engine->Change([](vinca::ReportSettings& s) { s.zoom = 400; });
        inner = engine->PrepareForPrinting();
        engine->Start(0, 0);
        EXPECT_EQ(engine->Pages()->size(), before);
        EXPECT_EQ(engine->Settings().zoom, 100);
        // The rows go away under the run: the rest of the page is skipped.
        plat::dispatch_call(ctl.get(), "Clear", {});
    });
    engine->Start(-1, -1);
    EXPECT_EQ(engine->Status(), vinca::kReportOk);
    EXPECT_FALSE(engine->IsPrinting());
    EXPECT_GT(inner, 1);
    printer->finish();
}

} // namespace
