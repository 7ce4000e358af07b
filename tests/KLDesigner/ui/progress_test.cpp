// The segmented bar, the progress form and its cancel question, the
// compressor's progress arithmetic and the About box.
#include <QApplication>
#include <filesystem>

#include "KLDesigner/ui/progress_form.h"
#include "platform/forms/controls.h"
#include "platform/forms/forms_runtime.h"
#include "ui_rig.h"

using namespace kld::ui;
using plat::forms::PictureBox;
using plat::ui::MsgAnswer;

namespace {

// Filled blocks counted on the canvas: the middle pixel of each block.
int32_t PaintedBlocks(const ProgBar& bar) {
    const QImage& c = bar.Canvas()->canvas();
    const QRgb fore =
        QColor::fromRgb(ResolveColor(kSysHighlight) & 0xFF, (ResolveColor(kSysHighlight) >> 8) & 0xFF,
                        (ResolveColor(kSysHighlight) >> 16) & 0xFF)
            .rgb();
    int32_t filled = 0;
    for (int32_t i = 0; i < bar.BlockCount(); ++i) {
        const int32_t x = 2 + i * (bar.BlockWidth() + 3) + bar.BlockWidth() / 2;
        if (c.pixel(x, c.height() / 2) == fore) ++filled;
    }
    return filled;
}

} // namespace

TEST(ProgBar, HundredByTwentyFourHasSevenBlocksAndHalfFillsFour) {
    plat::forms::Form form("frmBar");
    auto& pic = form.Add<PictureBox>("pic");
    pic.Move(0, 0, 100 * 15, 24 * 15);
    ProgBar bar;
    bar.SetCanvas(&pic);
    EXPECT_EQ(bar.BlockHeight(), 20);
    EXPECT_EQ(bar.BlockWidth(), 10);
    EXPECT_EQ(bar.BlockCount(), 7) << "8 fit by division, the nearer fit is 7";
    EXPECT_EQ(PaintedBlocks(bar), 0);
    bar.SetValue(50);
    EXPECT_EQ(PaintedBlocks(bar), 4) << "3.5 rounds to 4";
    bar.SetValue(150);
    EXPECT_EQ(bar.Value(), 100);
    EXPECT_EQ(PaintedBlocks(bar), 7);
    bar.SetValue(-5);
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(PaintedBlocks(bar), 0);
    // Min < Max always holds.
    bar.SetMin(100);
    EXPECT_EQ(bar.Min(), 0);
    bar.SetMax(0);
    EXPECT_EQ(bar.Max(), 100);
    // A range from 50: its middle fills half the row, its end all of it.
    bar.SetMin(50);
    bar.SetValue(75);
    EXPECT_EQ(PaintedBlocks(bar), 4);
    bar.SetValue(100);
    EXPECT_EQ(bar.FilledBlocks(), 7);
    EXPECT_EQ(PaintedBlocks(bar), 7);
    // A canvas lower than its margins holds no block.
    auto& flat = form.Add<PictureBox>("flat");
    flat.Move(0, 0, 100 * 15, 3 * 15);
    ProgBar thin;
    thin.SetCanvas(&flat);
    thin.SetValue(100);
    EXPECT_EQ(thin.BlockCount(), 0);
    // Only a picture box is a canvas.
    ProgBar other;
    auto& label = form.Add<plat::forms::Label>("lbl");
    other.SetCanvas(&label);
    EXPECT_EQ(other.Canvas(), nullptr);
}

TEST(ProgressForm, LabelShowsTheClampedValueAndTheCloseBoxIsRefused) {
    kldtest::UiRig rig;
    ProgressForm& p = rig.main.frmProgress();
    p.form().Show();
    EXPECT_EQ(p.StatusText(), " 0 %");
    p.OverallStatus(150);
    EXPECT_EQ(p.StatusText(), " 100 %");
    p.OverallStatus(-3);
    EXPECT_EQ(p.StatusText(), " 0 %");
    p.OverallStatus(50);
    EXPECT_EQ(p.StatusText(), " 50 %");
    EXPECT_EQ(p.bar().FilledBlocks() * 2 >= p.bar().BlockCount(), true);
    kldtest::Screenshot(p.form().window(), "progress-50");

    p.form().window()->close();
    EXPECT_TRUE(p.form().Visible()) << "the close box does nothing";
    EXPECT_TRUE(p.form().Unload()) << "code may close it";
}

TEST(ProgressForm, CancelAsksBeforeRaisingTheFlag) {
    kldtest::UiRig rig;
    ProgressForm& p = rig.main.frmProgress();
    p.form().Show();
    const std::string question = "Are you sure you want to cancel creating update stuff and INF file ?";
    kltest::ExpectedPrompt e;
    e.kind = kltest::PromptKind::Message;
    e.match = question;
    e.answer = MsgAnswer::No;
    e.check = [](const plat::ui::MessageRequest& r) {
        EXPECT_EQ(r.buttons, plat::ui::MsgButtons::YesNo);
        EXPECT_EQ(r.icon, plat::ui::MsgIcon::Warning);
        EXPECT_EQ(r.default_button, 1);
        EXPECT_EQ(r.caption, "Marovia Kestrelite Designer");
    };
    rig.prompt.expect(e);
    p.form().Get<plat::forms::CommandButton>("cmdCancel").SetValue(true);
    EXPECT_FALSE(rig.d.CancelRequested);
    rig.Expect(question, MsgAnswer::Yes);
    p.cmdCancel_Click();
    EXPECT_TRUE(rig.d.CancelRequested);
    rig.prompt.verify_done();
}

TEST(ProgressForm, ZipStatusSendsThePercentAndCountsCompletedFiles) {
    kldtest::UiRig rig;
    // Nothing to pack: nothing is sent (the share would divide by zero).
    for (double total : {0.0, -10.0}) {
        rig.d.ZipProgress = {total, 0};
        rig.main.ZipFileStatus(100, true);
        EXPECT_FALSE(rig.main.ProgressLoaded());
        EXPECT_EQ(rig.d.ZipProgress.done, 0);
    }
    rig.d.ZipProgress = {1000, 400};
    rig.main.ZipFileStatus(100, false);
    EXPECT_EQ(rig.main.frmProgress().bar().Value(), 49);
    EXPECT_EQ(rig.d.ZipProgress.done, 400);
    rig.main.ZipFileStatus(100, true);
    EXPECT_EQ(rig.d.ZipProgress.done, 500);
    // Nothing yet done shows 0, not -1.
    rig.d.ZipProgress = {1000, 0};
    rig.main.ZipFileStatus(0, false);
    EXPECT_EQ(rig.main.frmProgress().StatusText(), " 0 %");
}

TEST(ProgressForm, PackingReportsThroughTheZipHandlerAndCountsTheFileOnce) {
    kldtest::UiRig rig;
    const std::string text(4000, 'x');
    kltest::write_file(rig.dir / "setup.dat", text);
    std::filesystem::create_directories(rig.dir / "out");
    rig.d.Product.OutputFolder = (rig.dir / "out").string();
    rig.d.Actions.assign(1, kld::ActionRecord{});
    rig.d.Actions[0].Compress = true;
    // A file of the same size was packed before this one.
    rig.d.ZipProgress = {8000, 4000};
    std::string error;
    ASSERT_TRUE(rig.d.ZipUpdateFile(0, (rig.dir / "setup.dat").string(), "_00001", error)) << error;
    EXPECT_EQ(rig.d.ZipProgress.done, 8000);
    ASSERT_TRUE(rig.main.ProgressLoaded());
    EXPECT_EQ(rig.main.frmProgress().bar().Value(), 99);
}

TEST(AboutForm, ShowsItsTitleAndClosesItself) {
    kldtest::UiRig rig;
    AboutForm& about = rig.main.frmAbout();
    about.form().Show();
    EXPECT_EQ(about.form().Caption(), "About Marovia Kestrelite Designer");
    // Centred on the screen.
    const int32_t left = (plat::forms::Screen::Width() - about.form().Width()) / 2;
    EXPECT_NEAR(about.form().Left(), left, 4 * 15) << "the frame is added after centring";
    kldtest::Screenshot(about.form().window(), "about");
    about.form().Get<plat::forms::CommandButton>("cmdClose").SetValue(true);
    EXPECT_FALSE(about.form().Visible());
}
