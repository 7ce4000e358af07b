#pragma once
// The main form with the real tree-list control made by class id as its
// action list, the display over it and description files through a hidden
// second control; the prompt is the only double. A new document is open on
// the Actions tab.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/host_site.h"
#include "KLDesigner/bridge/kld_file.h"
#include "KLDesigner/ui/action_panel.h"
#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/forms/manual_drag.h"
#include "platform/ui/window_table.h"
#include "ui_rig.h"
#include "vinca/control/dispids.h"

namespace kldtest {

using plat::Variant;
namespace dispid = vinca::dispid;

// The actions of a description file as a fresh control reads them back: a
// group's folder name with a colon, then its actions' file names, as
// "A: a1 a2 B: b1".
inline std::string SavedActionOrder(const std::string& path) {
    kld::CHostSite site;
    plat::ComPtr<plat::IDispatch> fresh = site.Create(kld::kTreeListClassId);
    kld::DescriptionDocument doc;
    {
        kld::CDescriptionFile reader(site, fresh.get());
        if (reader.Load(path, doc) != kld::CDescriptionFile::LoadResult::Loaded) return "not loaded";
    }
    fresh.reset();
    site.ReleaseAll();
    std::string out;
    for (const kld::ActionRecord& r : doc.actions)
        out += (out.empty() ? "" : " ") +
               (r.IsGroup ? std::filesystem::path(r.SourceFolder).filename().string() + ":" : r.SourcePath);
    return out;
}

class ActionListUi : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
        list = main.vntOperations().Create(kld::kTreeListClassId);
        ASSERT_TRUE(list);
        buffer = buffer_site.Create(kld::kTreeListClassId);
        ASSERT_TRUE(buffer);
        tree = std::make_unique<kld::CDispatchActionTree>(list.get());
        display = std::make_unique<kld::CActionDisplay>(list.get());
        main.UseDisplay(*display);
        file = std::make_unique<kld::CDescriptionFile>(buffer_site, buffer.get());
        bridge = std::make_unique<kld::CDescriptionBridge>(*display, *file);
        d = std::make_unique<kld::Designer>(kld::DesignerServices{main, prompt, *tree, *bridge});
        main.hooks.RefreshOperAttributes = [this](int16_t what) {
            ++panelRefreshes;
            main.panel().RefreshOperAttributes(what);
        };
        main.Attach(*d);
        d->Main("", dir.str());
        main.cmdNew_Click();
        main.ShowTab(kld::tab::ActionList);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.form().window()));
    }
    void TearDown() override {
        plat::forms::manual_drag::cancel();
        prompt.verify_done();
        d.reset();
        bridge.reset();
        file.reset();
        display.reset();
        tree.reset();
        buffer.reset();
        buffer_site.ReleaseAll();
        list.reset();
        main.vntOperations().host().release();
    }

    // Two execute groups through the toolbar, their folders and files
    // chosen in the source chooser: the first from folder "A" with actions
    // "a1" and "a2", the second from "B" with "b1" alone. The records are
    // numbered in the order they were added: 0 [1 2] 3 [4].
    void TwoGroups() {
        for (const char* group : {"A", "B"}) {
            const std::filesystem::path folder = std::filesystem::path(dir.str()) / group;
            std::filesystem::create_directories(folder);
            prompt.expect_folder("Select Source Folder", folder.string());
            main.Live("cmdNewExecuteFile").button()->click();
            for (int k = 1; k <= (*group == 'A' ? 2 : 1); ++k) {
                const std::filesystem::path file = folder / (std::string(1, char(*group + 32)) + std::to_string(k));
                std::ofstream(file) << "x";
                prompt.expect_open("Select File", file.string());
                main.Live("cmdNewItem").button()->click();
            }
        }
        ASSERT_EQ(prompt.pending(), 0u);
        ASSERT_EQ(Shape(), "0[1 2] 3[4]");
        ASSERT_EQ(d->Actions[4].SourcePath, "b1");
    }

    kld::ActionRecord& Record(int32_t position) {
        return d->Actions[static_cast<size_t>(d->Operations().ItemLngValue(position).value)];
    }
    // The list as record numbers, each group with its actions in brackets.
    std::string Shape() {
        kld::IActionTree& t = d->Operations();
        std::string out;
        for (int32_t p = 0; p < t.ListCount(); ++p) {
            const std::string rec = std::to_string(t.ItemLngValue(p).value);
            if (t.Shift(p).value == 0)
                out += (out.empty() ? "" : "] ") + rec + "[";
            else
                out += (out.back() == '[' ? "" : " ") + rec;
        }
        return out.empty() ? out : out + "]";
    }

    QWidget* View() { return plat::ui::WindowFromHandle(main.vntOperations().host().control_window()); }
    // A pixel on the text of the item at `position`, in the control's window.
    QPoint TextPoint(int32_t position) {
        QApplication::processEvents();
        QWidget* view = View();
        for (int y = 1; y < view->height(); y += 2)
            for (int x = 1; x < view->width() / 2; x += 2) {
                const Variant args[] = {Variant(int16_t(x)), Variant(int16_t(y)), Variant(int16_t(4))};
                Variant item;
                plat::dispatch_call(list.get(), dispid::kGetItemByXY, args, &item);
                if (item.to_i4() == position) return {x + 2, y};
            }
        ADD_FAILURE() << "no text of item " << position;
        return {};
    }
    // Presses on one item and drags it onto another, Ctrl held or not; what
    // the pointer showed just before the release is kept.
    void DragItem(int32_t from, int32_t to, bool ctrl) {
        QWidget* view = View();
        const QPoint start = TextPoint(from);
        const QPoint end = TextPoint(to);
        if (ctrl) QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
        QTest::mousePress(view, Qt::LeftButton, {}, start);
        QTest::mouseMove(view, start + QPoint(0, 8));
        ASSERT_TRUE(plat::forms::manual_drag::active()) << "the drag did not start";
        QTest::mouseMove(view, end);
        QTest::mouseMove(view, end + QPoint(1, 0));
        shownBeforeDrop = main.vntOperations().host().drag_icon();
        QTest::mouseRelease(view, Qt::LeftButton, {}, end + QPoint(1, 0));
        if (ctrl) QTest::keyRelease(view, Qt::Key_Control, Qt::NoModifier);
        EXPECT_FALSE(plat::forms::manual_drag::active());
    }
    // The actions' names (a group's folder name with a colon) in the order a fresh control reads them back from
    // the saved description.
    std::string SavedOrder() {
        const std::string path = dir.str() + "/order.kld";
        d->Bridge().StoreDescriptionInTree(*d);
        EXPECT_TRUE(d->Bridge().SaveTreeToFile(*d, path));
        return SavedActionOrder(path);
    }

    kltest::ScriptedPrompt prompt;
    kltest::TempDir dir;
    kld::ui::MainForm main;
    plat::ComPtr<plat::IDispatch> list;
    kld::CHostSite buffer_site;
    plat::ComPtr<plat::IDispatch> buffer;
    std::unique_ptr<kld::CDispatchActionTree> tree;
    std::unique_ptr<kld::CActionDisplay> display;
    std::unique_ptr<kld::CDescriptionFile> file;
    std::unique_ptr<kld::CDescriptionBridge> bridge;
    std::unique_ptr<kld::Designer> d;
    int panelRefreshes = 0;
    QImage shownBeforeDrop;
};

} // namespace kldtest
