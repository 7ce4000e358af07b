// The main form with its action list created by class id from the built
// control library: what loading the form sets on it, read back by number.
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/kld_file.h"
#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/forms/control_host.h"
#include "support/scripted_prompt.h"
#include "ui_rig.h"
#include "vinca/control/dispids.h"

namespace {

// Files are not this test's business.
class NoFiles : public kld::ITreeBridge {
  public:
    void AddOperationItem(kld::Designer&, int32_t, bool) override {}
    void RemoveOperationItem(kld::Designer&, int32_t) override {}
    void RefreshOperationItem(kld::Designer&, int32_t, int32_t) override {}
    void FillOperationsTree(kld::Designer&) override {}
    void StoreDescriptionInTree(kld::Designer&) override {}
    bool SaveTreeToFile(kld::Designer&, const std::string&) override { return false; }
    bool LoadTreeFromFile(kld::Designer&, const std::string&) override { return false; }
    void ReadDescriptionFromTree(kld::Designer&) override {}
};

plat::Variant Get(plat::IDispatch* d, int32_t id) {
    plat::Variant v;
    EXPECT_EQ(plat::dispatch_get(d, id, v), plat::S_OK) << id;
    return v;
}

} // namespace

TEST(HostedActionList, LoadingTheFormSetsTheListUp) {
    ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
    kltest::ScriptedPrompt prompt;
    kld::ui::MainForm main;
    plat::HRESULT hr = plat::S_OK;
    plat::ComPtr<plat::IDispatch> list = main.vntOperations().Create(kld::kTreeListClassId, &hr);
    ASSERT_TRUE(list) << std::hex << hr;
    kld::CDispatchActionTree tree(list.get());
    NoFiles bridge;
    kld::Designer d(kld::DesignerServices{main, prompt, tree, bridge});
    main.Attach(d);

    namespace id = vinca::dispid;
    // The explorer look, set after the white, brings the window colour back.
    EXPECT_EQ(static_cast<uint32_t>(Get(list.get(), id::kBackColor).to_i4()), 0x80000005u);
    EXPECT_TRUE(Get(list.get(), id::kSmartDragDrop).to_bool());
    EXPECT_EQ(Get(list.get(), id::kAutoExpand).to_i4(), 2);
    EXPECT_EQ(Get(list.get(), id::kExplorerCompatible).to_i4(), 3);
    EXPECT_TRUE(Get(list.get(), id::kTransparentBitmap).to_bool());
    EXPECT_EQ(Get(list.get(), id::kTransparentBitmapColor).to_i4(), 0xFFFFFF);
    EXPECT_EQ(Get(list.get(), id::kToolTipsMode).to_i4(), 1);
    EXPECT_EQ(Get(list.get(), id::kToolTipsDelay).to_i4(), 500);
    EXPECT_FALSE(main.vntOperations().Visible());
    EXPECT_FALSE(Get(main.vntOperations().host().extender().get(), plat::forms::extender::kVisible).to_bool())
        << "the extender reads the form's own flag";
    EXPECT_EQ(main.vntOperations().Tag, "KLD_TREE");
    EXPECT_EQ(main.form().Get<plat::forms::TabStrip>("ctlTabs").Tab(), 0);

    // On the Actions tab the list shows beside the property panel, and the
    // toolbar reads the control's rows.
    d.Main("", "/");
    main.cmdNew_Click();
    for (int i = 0; i < 3; ++i)
        plat::dispatch_call(list.get(), id::kAddItem, std::vector<plat::Variant>{plat::Variant("Group")});
    main.ShowTab(kld::tab::ActionList);
    EXPECT_TRUE(main.vntOperations().Visible());
    EXPECT_TRUE(main.vntOperations().widget()->isVisible());
    EXPECT_TRUE(main.Live("cmdPrint").Enabled()) << "three rows";
    kldtest::Screenshot(main.form().window(), "actions-tab");
    main.vntOperations().host().release();
}
