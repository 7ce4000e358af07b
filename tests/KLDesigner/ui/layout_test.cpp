// The main window's layout: the smallest window with and without a
// document, the settings tabs' margins, squeezing and hiding, and the action
// list tab's two views, each threshold checked on both sides in twips.
#include "ui_rig.h"

using plat::forms::Control;
using plat::forms::TabStrip;

namespace {

struct Opened : kldtest::UiRig {
    Opened() {
        d.NewDocument();
        main.form().Show();
    }
    Control& C(const char* name) { return *main.form().Find(name); }
};

} // namespace

TEST(MainLayout, TheWindowNeverStaysBelowItsSmallestSize) {
    kldtest::UiRig rig;
    plat::forms::Form& f = rig.main.form();
    rig.main.RefreshControls();
    f.Show();
    // No document: 400 px wide, and two toolbar heights of client area.
    f.SetWidth(400 * 15 - 15);
    EXPECT_EQ(f.Width(), 6000);
    f.SetWidth(6000);
    EXPECT_EQ(f.Width(), 6000);
    f.SetHeight(600);
    const int32_t toolbar = rig.main.form().Find("pnlToolbar")->Height();
    EXPECT_GE(f.ScaleHeight(), 2 * toolbar);
    EXPECT_EQ(rig.main.form().Find("pnlMain")->Height(), f.ScaleHeight() - toolbar);

    // A document: 620 x 280 px, also as the window's own minimum.
    rig.d.NewDocument();
    f.SetWidth(620 * 15 - 15);
    EXPECT_EQ(f.Width(), 9300);
    f.SetHeight(280 * 15 - 15);
    EXPECT_EQ(f.Height(), 4200);
    f.Move(f.Left(), f.Top(), 9300, 4200);
    EXPECT_EQ(f.Width(), 9300);
    const QWidget* w = f.window();
    EXPECT_EQ(w->minimumWidth() + w->frameGeometry().width() - w->width(), 620);
    // The tab control fills the main panel with equal margins.
    Control& tabs = *rig.main.form().Find("ctlTabs");
    const Control& panel = *rig.main.form().Find("pnlMain");
    EXPECT_EQ(tabs.Width(), panel.Width() - 2 * tabs.Left());
    EXPECT_EQ(tabs.Height(), panel.Height() - tabs.Left() - tabs.Top());
}

TEST(MainLayout, SettingsTabPanelMarginsAndSqueezing) {
    Opened rig;
    Control& tabs = rig.C("ctlTabs");
    Control& panel = rig.C("pnlProductAttributes");
    Control& browse = rig.C("cmdProductIcon");
    // Designed: 9000 x 3240 twips at top 480; the browse buttons end at 8415.
    struct Row {
        int32_t tab_width, tab_height;
        int32_t left, width, top, height;
        bool visible, buttons;
    };
    const Row rows[] = {
        {9600, 6000, 300, 9000, 1380, 3240, true, true},  // centred at the designed size
        {9240, 6000, 120, 9000, 1380, 3240, true, true},  // exactly 8 px either side
        {9225, 6000, 120, 8985, 1380, 3240, true, true},  // 8 px margins, narrower panel
        {8775, 6000, 120, 8535, 1380, 3240, true, true},  // room for the buttons, just
        {8760, 6000, 120, 8520, 1380, 3240, true, false}, // buttons hidden
        {9600, 3855, 300, 9000, 600, 3240, true, true},   // taller than top + height + 8 px
        {9600, 3840, 300, 9000, 600, 3120, true, true},   // not taller: squeezed to tab - 48 px
        {9600, 1620, 300, 9000, 600, 900, true, true},    // 60 px left: still shown
        {9600, 1605, 300, 9000, 600, 3240, false, true},  // less: hidden
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.tab_width << " x " << r.tab_height);
        panel.Move(180, 480, 9000, 3240);
        tabs.SetWidth(r.tab_width);
        tabs.SetHeight(r.tab_height);
        rig.main.ResizeProductTab();
        EXPECT_EQ(panel.Left(), r.left);
        EXPECT_EQ(panel.Width(), r.width);
        EXPECT_EQ(panel.Top(), r.top);
        EXPECT_EQ(panel.Height(), r.height);
        EXPECT_EQ(panel.Visible(), r.visible);
        EXPECT_EQ(browse.Visible(), r.buttons);
        EXPECT_EQ(rig.C("cmdWhatsNewFile").Visible(), r.buttons);
    }
    // The combo boxes of the Destination tab follow its panel's width.
    tabs.SetWidth(9225);
    rig.main.ResizeDestinationTab();
    for (const char* name :
         {"cboProductDestinationPath", "cboProductDestinationRegKey", "txtProductDestinationRegValue"})
        EXPECT_EQ(rig.C(name).Width(), 8985 - rig.C(name).Left() - 120) << name;
}

TEST(MainLayout, ActionListTabGivesWayToThePropertyPanel) {
    Opened rig;
    Control& tabs = rig.C("ctlTabs");
    Control& props = rig.C("pnlOperationProperties");
    Control& list = rig.main.vntOperations();
    Control& dest = rig.C("pnlOperDestFolder");
    Control& criteria = rig.C("pnlOperFileCriteria");
    // Designed: the panel 5280 wide at top 480; the list at left 120, top 750;
    // destination 1560 high at 1620, criteria 1560 high 60 below it.
    struct Row {
        int32_t tab_width, tab_height;
        bool list_shown;
        int32_t props_left, list_width;
        bool dest_shown, criteria_shown;
    };
    const Row rows[] = {
        {9360, 6000, true, 3960, 3600, true, true},
        {6255, 6000, true, 855, 495, true, true},   // list left + 48 px < panel left
        {6240, 6000, false, 120, -1, true, true},   // not below: list hidden, panel at 8 px
        {9360, 4740, true, 3960, 3600, true, true}, // 48 px left for the criteria
        {9360, 4725, true, 3960, 3600, true, false},
        {9360, 3120, true, 3960, 3600, true, false}, // 48 px left for the destination
        {9360, 3105, true, 3960, 3600, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.tab_width << " x " << r.tab_height);
        props.SetWidth(5280);
        dest.Move(dest.Left(), 1620, dest.Width(), 1560);
        criteria.Move(criteria.Left(), 3240, criteria.Width(), 1560);
        tabs.SetWidth(r.tab_width);
        tabs.SetHeight(r.tab_height);
        rig.main.ResizeSceneryTab();
        EXPECT_EQ(list.Visible(), r.list_shown);
        EXPECT_EQ(rig.C("lblOperationList").Visible(), r.list_shown);
        EXPECT_EQ(props.Left(), r.props_left);
        if (r.list_width >= 0) { EXPECT_EQ(list.Width(), r.list_width); }
        EXPECT_EQ(dest.Visible(), r.dest_shown);
        EXPECT_EQ(criteria.Visible(), r.criteria_shown);
        EXPECT_EQ(props.Height(), r.tab_height - 480 - 120);
    }
    // The tree grid view: the list takes the tab less its left margin twice.
    tabs.SetWidth(9360);
    tabs.SetHeight(6000);
    rig.d.ActionListViewStyle = 1;
    rig.main.ResizeSceneryTab();
    EXPECT_FALSE(props.Visible());
    EXPECT_TRUE(list.Visible());
    EXPECT_EQ(list.Width(), 9360 - 240);
    EXPECT_EQ(list.Height(), 6000 - 750 - 120);
}

TEST(MainLayout, ControlsAboveASettingsPanelMoveWithIt) {
    Opened rig;
    Control& tabs = rig.C("ctlTabs");
    Control& panel = rig.C("pnlInstallCriterias");
    Control& update_old = rig.C("optUpdateOld");
    Control& install_new = rig.C("optInstallNew");
    // Designed: the frame at 180, 780, 9000 x 3360; the options at 300 and
    // 4320, top 420, 105 twips clear of the frame.
    struct Row {
        int32_t tab_width, tab_height;
        int32_t panel_left, panel_top, options_top;
    };
    const Row rows[] = {
        {9600, 6000, 300, 1320, 960}, // centred: the options keep their distance
        {9225, 6000, 120, 1320, 960}, // 8 px margins: the options follow it left
        {9360, 4920, 180, 780, 420},  // centred on the designed spot
        {9360, 4275, 180, 600, 420},  // centred above it: the options stay below the tabs
        {9600, 4260, 300, 600, 420},  // squeezed at 40 px
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.tab_width << " x " << r.tab_height);
        panel.Move(180, 780, 9000, 3360);
        tabs.SetWidth(r.tab_width);
        tabs.SetHeight(r.tab_height);
        rig.main.ResizeInstallTab();
        EXPECT_EQ(panel.Left(), r.panel_left);
        EXPECT_EQ(panel.Top(), r.panel_top);
        EXPECT_EQ(update_old.Left(), r.panel_left + 120);
        EXPECT_EQ(install_new.Left(), r.panel_left + 4140);
        EXPECT_EQ(update_old.Top(), r.options_top);
        EXPECT_EQ(install_new.Top(), r.options_top);
    }
    // The platform choice above the Destination tab's frame does the same.
    rig.C("pnlInstallPathes").Move(180, 840, 9000, 2940);
    tabs.SetWidth(9600);
    tabs.SetHeight(6000);
    rig.main.ResizeDestinationTab();
    EXPECT_EQ(rig.C("pnlInstallPathes").Top(), 1530);
    EXPECT_EQ(rig.C("cboInstallWinVersion").Top(), 420 + 1530 - 840);
    EXPECT_EQ(rig.C("cboInstallWinVersion").Left(), 2280 + 120);
    EXPECT_EQ(rig.C("lblInstallWinVersion").Top(), 465 + 1530 - 840);
}

// A 640 x 480 window, as the program first shows: the settings tabs fit
// whole; the Action List tab keeps the list beside the property panel and
// squeezes only the criteria frame to the room under its top.
TEST(MainLayout, SixFortyByFourEighty) {
    Opened rig;
    plat::forms::Form& f = rig.main.form();
    f.Move(0, 0, 640 * 15, 480 * 15);
    Control& tabs = rig.C("ctlTabs");

    rig.main.ShowTab(kld::tab::Installation);
    Control& frame = rig.C("pnlInstallCriterias");
    EXPECT_TRUE(frame.Visible());
    EXPECT_EQ(frame.Height(), 3360);
    EXPECT_EQ(frame.Top(), (tabs.Height() - 3360) / 2);
    EXPECT_EQ(frame.Top() - (rig.C("optUpdateOld").Top() + rig.C("optUpdateOld").Height()), 105);
    kldtest::Screenshot(f.window(), "layout-640x480-installation");

    rig.d.FillComboLists();
    rig.d.Actions.assign(2, kld::ActionRecord{});
    rig.d.ActionCount = 2;
    rig.tree.Build("G0(I1)");
    rig.tree.SetListIndex(1);
    rig.main.ShowTab(kld::tab::ActionList);
    rig.main.RefreshOperAttributes(0);
    Control& props = rig.C("pnlOperationProperties");
    Control& file = rig.C("pnlOperationFile");
    Control& dest = rig.C("pnlOperDestFolder");
    Control& criteria = rig.C("pnlOperFileCriteria");
    EXPECT_TRUE(rig.main.vntOperations().Visible());
    EXPECT_EQ(props.Left(), tabs.Width() - 5280 - 120);
    EXPECT_EQ(props.Height(), tabs.Height() - 480 - 120);
    EXPECT_EQ(file.Height(), props.Height() - 30 - 30);
    EXPECT_TRUE(dest.Visible());
    EXPECT_EQ(dest.Height(), 2040);
    // The criteria frame is designed 2700 high at 4230: more than the tab
    // leaves at this size, and at least 48 px of it are left.
    ASSERT_LT(file.Height(), 4230 + 2700 + 120);
    ASSERT_GE(file.Height() - 4230 - 120, 720);
    EXPECT_TRUE(criteria.Visible());
    EXPECT_EQ(criteria.Top(), 4230);
    EXPECT_EQ(criteria.Height(), file.Height() - 4230 - 120);
    kldtest::Screenshot(f.window(), "layout-640x480-actions");
}
