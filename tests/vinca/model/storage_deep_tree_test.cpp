// Trees far deeper than a thread's stack has frames for: built through the
// engine, walked, saved, loaded and freed. Runs under the sanitizers with
// their default stack, where any walk that nests a call per level overflows.
#include <gtest/gtest.h>

#include <string>

#include "storage_fixtures.h"
#include "vinca/model/engine.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

using namespace vinca;
using storage_test::Bytes;

namespace {

constexpr int32_t kDepth = 100000;

// A chain of kDepth items "0", "1", ... each the only child of the one
// before, built the way a container does: AddItem under the current parent.
void build_chain(CVincaEngine& e) {
    for (int32_t i = 0; i < kDepth; ++i) {
        CItem* made = nullptr;
        ASSERT_EQ(e.AddItem(std::to_string(i), &made), VE_OK);
        e.Cursor().SetCurrentParent(made->GetChildNode());
    }
    e.Cursor().SetCurrentParent(e.RootNode());
}

Bytes save(CVincaEngine& e) {
    CVincaMemStream mem;
    CTreeStream ts(mem, CTreeStream::MODE_WRITE);
    EXPECT_TRUE(ts.Open());
    WriteNodeAsTree(ts, e.RootNode(), *e.Root());
    ts.Close();
    EXPECT_EQ(mem.Error(), VE_OK);
    return mem.Store().ToVector();
}

// The deepest item of the chain under `node`, checking every level on the
// way: texts `first`, `first` + 1, ... up to kDepth - 1.
CItem* expect_chain(CItemNode* node, int32_t first = 0) {
    CItem* item = nullptr;
    for (int32_t i = first; i < kDepth; ++i) {
        if (!node || node->GetCount() != 1) {
            ADD_FAILURE() << "level " << i;
            return nullptr;
        }
        item = node->GetAt(0);
        if (item->Text() != std::to_string(i)) {
            ADD_FAILURE() << "level " << i << ": " << item->Text();
            return nullptr;
        }
        node = item->ChildNode();
    }
    EXPECT_TRUE(!node || node->GetCount() == 0);
    return item;
}

} // namespace

TEST(StorageDeepTree, ChainSavesLoadsAndFrees) {
    Bytes bytes;
    {
        CVincaEngine e;
        build_chain(e);
        bytes = save(e);
    } // freed here with the engine
    CTreeRef back;
    ASSERT_EQ(storage_test::Load(bytes, back), VE_OK);
    ASSERT_EQ(back.kind, CTreeRef::kTree);
    expect_chain(back.item->ChildNode());
    EXPECT_EQ(storage_test::Save(back), bytes);
    back = {}; // and the loaded one here
}

TEST(StorageDeepTree, StreamThatEndsInsideTheChainChangesNothing) {
    Bytes bytes;
    {
        CVincaEngine e;
        build_chain(e);
        bytes = save(e);
    }
    // Cut inside the record of an item half way down (after its flags):
    // every level above it claimed one more level than the bytes hold.
    std::string all(bytes.begin(), bytes.end());
    std::string half = std::to_string(kDepth / 2);
    size_t at = all.find(std::string("\x05\0\0\0", 4) + half);
    ASSERT_NE(at, std::string::npos);
    Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 4 + half.size() + 4));

    CTreeRef target = storage_test::NewTree();
    storage_test::AddChild(target, "keep");
    EXPECT_EQ(storage_test::Load(cut, target), VE_FILE_INPUT);
    ASSERT_EQ(target.item->ChildCount(), 1);
    EXPECT_EQ(target.item->ChildNode()->GetAt(0)->Text(), "keep");
}

TEST(StorageDeepTree, WalksOfTheModel) {
    CVincaEngine e;
    build_chain(e);
    CItem* top = e.RootNode()->GetAt(0);
    CItem* deepest = expect_chain(e.RootNode());
    ASSERT_TRUE(deepest);
    CItem* after = nullptr;
    ASSERT_EQ(e.AddItem("after", &after), VE_OK);

    // Counting, searching and addressing by position.
    EXPECT_EQ(e.ListCount(), kDepth + 1);
    std::string last = std::to_string(kDepth - 1);
    EXPECT_EQ(e.FindItem(last, 0, -1), kDepth - 1);
    EXPECT_EQ(e.ItemIndex(after), kDepth);
    e.EnumCache().Invalidate(0);
    EXPECT_EQ(e.ItemIndex(deepest), kDepth - 1);
    e.EnumCache().Invalidate(0);
    EXPECT_EQ(e.ItemIndex(after), kDepth);
    EXPECT_EQ(e.ItemFromIndex(kDepth - 1), deepest); // walked back from "after"

    // Rows: every new item starts open.
    EXPECT_EQ(e.VisibleCount(), kDepth + 1);
    EXPECT_EQ(e.RowOf(deepest), kDepth - 1);
    EXPECT_EQ(e.RowItem(kDepth - 1), deepest);
    EXPECT_EQ(e.CollapseItem(top, true), VE_OK);
    EXPECT_FALSE(deepest->ParentNode()->OwnerItem()->IsExpanded());
    EXPECT_EQ(e.VisibleCount(), 2);
    e.ExpandSubtree(top, true);
    EXPECT_EQ(e.VisibleCount(), kDepth + 1);
    e.ExpandToLevel(kDepth / 2);
    EXPECT_TRUE(deepest->GetParentItem()->GetParentItem()->GetItemLevel() > kDepth / 2);
    EXPECT_EQ(e.VisibleCount(), kDepth / 2 + 2 + 1);

    // A copy of the whole chain, then the original moved and removed.
    ASSERT_EQ(e.AddItemCopy({e.RootNode(), -1}, top), VE_OK);
    EXPECT_EQ(e.ListCount(), 2 * kDepth + 1);
    CItem* copy = e.RootNode()->GetAt(2);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Text(), "0");
    EXPECT_TRUE(expect_chain(copy->ChildNode(), 1));
    ASSERT_EQ(e.SetItemLevel(deepest, 0), VE_OK);
    EXPECT_EQ(deepest->GetItemLevel(), 0);
    ASSERT_EQ(e.RemoveItem(top), VE_OK);
    EXPECT_EQ(e.ListCount(), kDepth + 2);
}
