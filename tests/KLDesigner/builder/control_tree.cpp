#include "control_tree.h"

#include <gtest/gtest.h>

#include "KLDesigner/bridge/kld_file.h"
#include "platform/com/loader.h"
#include "vinca/control/dispids.h"

namespace kldtest {

using plat::Variant;

void RegisterControlLibrary() {
    ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
}

ControlTree::ControlTree() : m_site(std::make_unique<kld::CHostSite>()) {
    RegisterControlLibrary();
    auto ctl = m_site->Create(kld::kTreeListClassId);
    EXPECT_TRUE(ctl);
    m_tree = std::make_unique<kld::CDispatchActionTree>(ctl.get());
}

ControlTree::~ControlTree() {
    m_tree.reset();
    m_site->ReleaseAll();
}

int32_t ControlTree::AddChild(int32_t parent, int32_t lng) {
    std::vector<Variant> args{Variant("item")};
    if (parent >= 0) args.emplace_back(parent);
    EXPECT_EQ(plat::dispatch_call(Control(), vinca::dispid::kAddItem, args), plat::S_OK);
    const int32_t at = NewIndex();
    SetItemLngValue(at, lng);
    return at;
}

int32_t ControlTree::InsertTopLevel(int32_t before, int32_t lng) {
    if (before < 0 || before >= ListCount() || Shift(before).value != 0) return AddChild(-1, lng);
    const Variant args[] = {Variant("item"), Variant(before)};
    EXPECT_EQ(plat::dispatch_call(Control(), vinca::dispid::kInsertItem, args), plat::S_OK);
    const int32_t at = NewIndex();
    SetItemLngValue(at, lng);
    return at;
}

// The control's item grids are not all there yet; the tree keeps what the
// designer asked for by bookmark, after asking the control.
int32_t ControlTree::SetItemGridVisible(int32_t p, bool visible) {
    const kld::TreeValue bm = ItemBM(p);
    if (!bm.ok()) return bm.error;
    m_tree->SetItemGridVisible(p, visible);
    if (visible)
        m_hiddenGrids.erase(bm.value);
    else
        m_hiddenGrids.insert(bm.value);
    return 0;
}

bool ControlTree::GridVisible(int32_t p) {
    const kld::TreeValue bm = ItemBM(p);
    return bm.ok() && !m_hiddenGrids.count(bm.value);
}

} // namespace kldtest
