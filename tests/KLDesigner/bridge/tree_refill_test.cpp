// The whole action list: refilled from a document's records, printed to a
// PDF through the default printer and read back, and looked at in both
// views of the action list.
#include <QtCore/QDir>
#include <QtWidgets/QApplication>
#include <cstdio>
#include <filesystem>

#include "display_rig.h"
#include "support/servers.h"

using namespace kld;
using namespace kldtest;

namespace {

TEST_F(DisplayTest, RefillNestsActionsUnderTheGroupBefore) {
    Fill({Group(action::InstallFile), File("a"), File("b"), Group(action::CreateRegistry),
          File("", action::CreateRegistry)});
    EXPECT_EQ(Shape(), "0[1 2] 3[4]");
    EXPECT_EQ(Get(dispid::kListCountEx, {Variant(0)}).to_i4(), 2);
    EXPECT_EQ(Get(dispid::kListCountEx, {Variant(3)}).to_i4(), 1);
    EXPECT_EQ(Text(4), "Create Key");
    EXPECT_EQ(Selected(), 0);
    EXPECT_TRUE(d->EditEventsEnabled);
    EXPECT_TRUE(Get(dispid::kRedraw).to_bool());
}

TEST_F(DisplayTest, RefillSkipsWhatHasNoPlace) {
    // An action before any group has no group to go in; a free slot is kept
    // for the next record and shows nothing.
    ActionRecord free = File("gone");
    free.ActionType = action::Free;
    Fill({File("orphan"), Group(action::InstallFile), free, File("a")});
    EXPECT_EQ(Shape(), "1[3]");
}

TEST_F(DisplayTest, RefillOfNoRecordsLeavesTheListAlone) {
    Fill({});
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Selected(), -1);
    EXPECT_FALSE(d->EditEventsEnabled);
}

// A list of groups and actions with texts that are easy to find in a PDF.
std::vector<ActionRecord> PrintableList() {
    return {DisplayTest::Group(action::InstallFile, "/srcfolder"), DisplayTest::File("alpha.dll"),
            DisplayTest::File("beta.exe"),
            DisplayTest::Group(action::CreateRegistry, "HKLM\\Software\\Kestrel"),
            DisplayTest::File("", action::CreateRegistry)};
}

TEST_F(DisplayTest, PrintsTheWholeListToTheDefaultPrinter) {
    Fill(PrintableList());
    constexpr int32_t kOwnBackground = 0xC0FFC0;
    Put(dispid::kBackColor, Variant(kOwnBackground));
    const std::string pdf = (tmp / "list.pdf").string();
    prompt.expect_printer(kltest::PromptKind::DefaultPrinter, plat::ui::PrinterChoice{"", pdf, 300});

    EXPECT_TRUE(display->PrintOperationsTree(*d));

    const std::string text = kltest::command_output("pdftotext -layout '" + pdf + "' - 2>/dev/null");
    // The first row prints too.
    for (const char* row :
         {"Install From: /srcfolder", "alpha.dll", "beta.exe", "Reg.Key: HKLM\\Software\\Kestrel"})
        EXPECT_NE(text.find(row), std::string::npos) << row << " missing from:\n" << text;
    EXPECT_EQ(Get(dispid::kBackColor).to_i4(), kOwnBackground);
    EXPECT_TRUE(Get(dispid::kRedraw).to_bool());
}

TEST_F(DisplayTest, OneItemPrintsNothing) {
    Fill({Group(action::InstallFile)});
    // The scripted prompt fails the test if a printer is asked for.
    EXPECT_FALSE(display->PrintOperationsTree(*d));
    EXPECT_TRUE(prompt.seen().empty());
}

TEST_F(DisplayTest, APrinterThatFailsGetsItsMessageAndTheBackgroundBack) {
    Fill(PrintableList());
    constexpr int32_t kOwnBackground = 0x203040;
    Put(dispid::kBackColor, Variant(kOwnBackground));
    prompt.expect_printer(kltest::PromptKind::DefaultPrinter, std::nullopt);
    kltest::ExpectedPrompt message;
    message.kind = kltest::PromptKind::Message;
    message.match = "Default printer is not ready. Please, fix the problem and try again.";
    message.check = [&](const plat::ui::MessageRequest& r) {
        EXPECT_EQ(r.caption, d->AppTitle);
        EXPECT_EQ(r.icon, plat::ui::MsgIcon::Warning);
        EXPECT_EQ(r.buttons, plat::ui::MsgButtons::Ok);
        // The list is drawn with its own background again before the box.
        EXPECT_EQ(Get(dispid::kBackColor).to_i4(), kOwnBackground);
        EXPECT_TRUE(Get(dispid::kRedraw).to_bool());
    };
    prompt.expect(std::move(message));

    EXPECT_FALSE(display->PrintOperationsTree(*d));
    EXPECT_EQ(Get(dispid::kBackColor).to_i4(), kOwnBackground);
}

// Both views of the action list as a person sees them, saved under the
// build folder.
TEST_F(DisplayTest, BothActionViewsOnScreen) {
    window.resize(760, 300);
    ActionRecord app = File("KestrelApp.exe");
    app.FileSize = 1482752;
    app.VersionHigh = 5, app.VersionLow = 2, app.Build = 1187;
    app.FileDate = 45000.5;
    app.Compress = app.Register = true;
    ActionRecord mask = File("*.*");
    mask.IsFolder = true;
    mask.Destinations[0] = {2, "", "HKLM\\Software\\Kestrel", "Path", false};
    ActionRecord setup = File("setup.exe", action::ExecuteFile);
    setup.Compare = 12;
    ActionRecord value = DisplayTest::Record(action::CreateRegistry, false);
    value.RegValueName = "Version";
    value.RegDataText = "5.2";
    ActionRecord counter = DisplayTest::Record(action::CreateRegistry, false);
    counter.RegValueName = "Runs";
    counter.RegDataType = 4;
    counter.RegDataNumber = 3;
    ActionRecord old = DisplayTest::Record(action::DeleteRegistry, false);
    old.RegValueName = "Legacy";
    Fill({Group(action::InstallFile, "/build/bin"), app, mask, Group(action::ExecuteFile, "/build/tools"),
          setup, Group(action::CreateRegistry, "HKLM\\Software\\Kestrel"), value, counter,
          Group(action::DeleteRegistry, "HKCU\\Software\\Old"), old});

    const std::string dir = std::string(KL_SCREENSHOT_DIR);
    QDir().mkpath(QString::fromStdString(dir));
    auto shot = [&](const std::string& name) {
        QApplication::processEvents();
        const QImage image = window.grab().toImage();
        EXPECT_TRUE(image.save(QString::fromStdString(dir + "/" + name + ".png")));
        // Not blank: the item texts are drawn.
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        EXPECT_GT(dark, 100) << name;
    };
    shot("action-list-properties-view");
    d->SetActionListViewStyle(1);
    shot("action-list-tree-grid-view");
}

} // namespace
