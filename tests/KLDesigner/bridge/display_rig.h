#pragma once
// The visible action list as the designer runs it: the tree-list control
// made by class id from the registered library inside a host widget, the
// display over it, and a designer whose prompt is scripted. Everything is
// read back from the control by member number.
#include <gtest/gtest.h>

#include <QtGui/QColor>
#include <QtGui/QImage>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/kld_file.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "platform/ui/process_prompt.h"
#include "support/recording_host.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"
#include "vinca/control/dispids.h"

namespace kldtest {

using plat::Variant;
namespace dispid = vinca::dispid;

class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
        plat::ui::SetProcessPrompt(&prompt);
        window.resize(640, 320);
        window.show();
        ctl = window.create(kld::kTreeListClassId);
        ASSERT_TRUE(ctl);
        tree = std::make_unique<kld::CDispatchActionTree>(ctl.get());
        display = std::make_unique<kld::CActionDisplay>(ctl.get());
        d = std::make_unique<kld::Designer>(kld::DesignerServices{host, prompt, *tree, *display});
        d->ActionListViewStyle = 0;
        for (int k = 0; k < kld::picture::Count; ++k) {
            pictures[k] = Picture(k);
            display->SetPicture(k, pictures[k].get());
        }
    }
    void TearDown() override {
        d.reset();
        display.reset();
        tree.reset();
        for (auto& p : pictures)
            p.reset();
        ctl.reset();
        window.release();
        prompt.verify_done();
        plat::ui::SetProcessPrompt(nullptr);
    }

    // A small picture of its own colour for each kind, loaded by the control.
    plat::ComPtr<plat::IDispatch> Picture(int k) {
        static const QColor colours[] = {Qt::darkGreen, Qt::darkMagenta, Qt::darkCyan, Qt::darkRed,
                                         Qt::gray,      Qt::darkYellow,  Qt::blue,     Qt::red};
        QImage image(12, 12, QImage::Format_RGB32);
        image.fill(colours[k]);
        const std::string path = (tmp / ("kind" + std::to_string(k) + ".png")).string();
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        Variant v;
        const Variant args[] = {Variant(std::string_view(path))};
        EXPECT_EQ(plat::dispatch_call(ctl.get(), dispid::kLoadPicture, args, &v), plat::S_OK);
        return v.vt == plat::VT_DISPATCH ? plat::ComPtr<plat::IDispatch>(v.pdispVal) : nullptr;
    }

  public:
    // --- records ---------------------------------------------------------
    static kld::ActionRecord Record(int16_t kind, bool group) {
        kld::ActionRecord r = kld::ZeroedRecord();
        r.ActionType = kind;
        r.IsGroup = group;
        r.Destinations[0].FolderType = 1;
        return r;
    }
    static kld::ActionRecord Group(int16_t kind, const std::string& folder = "/src") {
        kld::ActionRecord r = Record(kind, true);
        r.SourceFolder = folder;
        r.RegKey = folder;
        return r;
    }
    static kld::ActionRecord File(const std::string& name, int16_t kind = kld::action::InstallFile) {
        kld::ActionRecord r = Record(kind, false);
        r.SourcePath = name;
        return r;
    }

  protected:
    // The records as a freshly read document, and the list filled from them.
    void Fill(std::vector<kld::ActionRecord> records) {
        d->ActionCount = static_cast<int16_t>(records.size());
        d->Actions = std::move(records);
        if (d->Actions.empty()) d->Actions.push_back(kld::ZeroedRecord());
        display->FillOperationsTree(*d);
    }

    // --- reading the control back ----------------------------------------
    Variant Get(plat::IDispatch* obj, plat::DISPID id, std::vector<Variant> index = {}) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(obj, id, v, index, &e), plat::S_OK)
            << "member " << id << ": " << e.number;
        return v;
    }
    Variant Get(plat::DISPID id, std::vector<Variant> index = {}) {
        return Get(ctl.get(), id, std::move(index));
    }
    plat::ComPtr<plat::IDispatch> Object(plat::IDispatch* obj, plat::DISPID id,
                                         std::vector<Variant> index = {}) {
        Variant v = Get(obj, id, std::move(index));
        EXPECT_EQ(v.vt, plat::VT_DISPATCH);
        return v.vt == plat::VT_DISPATCH ? plat::ComPtr<plat::IDispatch>(v.pdispVal) : nullptr;
    }
    void Put(plat::DISPID id, const Variant& value, std::vector<Variant> index = {}) {
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_put(ctl.get(), id, value, index, &e), plat::S_OK)
            << "member " << id << ": " << e.number;
    }
    int32_t Count() { return Get(dispid::kListCount).to_i4(); }
    int32_t Selected() { return Get(dispid::kListIndex).to_i4(); }
    std::string Text(int32_t at) { return Get(dispid::kList, {Variant(at)}).to_utf8(); }
    // Which of the kind pictures a picture member holds; -1 for none.
    int PictureOf(plat::DISPID id, int32_t at) {
        Variant v = Get(id, {Variant(at)});
        for (int k = 0; k < kld::picture::Count; ++k)
            if (v.vt == plat::VT_DISPATCH && v.pdispVal == pictures[k].get()) return k;
        return -1;
    }
    // An item value by key; empty when the item has none.
    Variant Value(int32_t at, const std::string& key) {
        plat::ComPtr<plat::IDispatch> obj =
            Object(ctl.get(), dispid::kItemValues, {Variant(at), Variant(key)});
        return obj ? Get(obj.get(), 1) : Variant();
    }
    // The list as record numbers, each group with its items in brackets:
    // "0[1 2] 3[4]".
    std::string Shape() {
        std::string out;
        bool open = false;
        for (int32_t p = 0; p < Count(); ++p) {
            const bool top = Get(dispid::kShift, {Variant(p)}).to_i4() == 0;
            const std::string rec = std::to_string(Get(dispid::kItemLngValue, {Variant(p)}).to_i4());
            if (top) {
                if (open) out += "]";
                out += (out.empty() ? "" : " ") + rec + "[";
                open = true;
            } else {
                out += (out.back() == '[' ? "" : " ") + rec;
            }
        }
        if (open) out += "]";
        return out;
    }

    RecordingHost host;
    kltest::ScriptedPrompt prompt;
    kltest::TempDir tmp;
    plat::forms::ControlHost window;
    plat::ComPtr<plat::IDispatch> ctl;
    std::unique_ptr<kld::CDispatchActionTree> tree;
    std::unique_ptr<kld::CActionDisplay> display;
    std::unique_ptr<kld::Designer> d;
    std::array<plat::ComPtr<plat::IDispatch>, kld::picture::Count> pictures;
};

} // namespace kldtest
