#include <gtest/gtest.h>

#include "core_fixtures.h"

using namespace vinca;
using coretest::At;
using coretest::Build;
using coretest::Dump;
using coretest::Num;

namespace {

// A tree whose top node belongs to a node link, as in the engine.
struct TreeFixture : ::testing::Test, IVirtualChildListener {
    Ref<CRootItem> root = CRootItem::New();
    Ref<CNodeOwnerList> linkRef = CNodeOwnerList::New();
    CNodeOwnerList& link = *linkRef;
    std::vector<std::pair<CItemNode*, int32_t>> made;
    CItemNode* top = nullptr;
    void SetUp() override {
        link.SetListener(this);
        top = root->GetChildNode();
        top->SetItemData(linkRef.get());
    }
    void TearDown() override { root->Clear(); }
    void OnChildMade(CItemNode* node, CItem* child) override { made.emplace_back(node, child->IndexField()); }
};

} // namespace

TEST_F(TreeFixture, NewItemMakesNothingUntilAsked) {
    Build(top, "A");
    CItem* a = At(top, {0});
    EXPECT_EQ(a->ChildCount(), 0);
    EXPECT_EQ(a->ChildNode(), nullptr);
    EXPECT_EQ(a->ItemData(), nullptr);
    EXPECT_EQ(a->GetItemLevel(), 0);
    EXPECT_EQ(root->GetItemLevel(), -1);
    EXPECT_EQ(a->SortKey(), names::ObsoleteValue());
}

TEST_F(TreeFixture, MiddleInsertionRenumbersOnceAppendKeepsNumbering) {
    Build(top, "A\nB\nC");
    EXPECT_TRUE(top->NumberingValid());
    int32_t at = 1;
    CItem* x = nullptr;
    ASSERT_EQ(top->AddNewChild(at, "X", 0, &x), VE_OK);
    EXPECT_FALSE(top->NumberingValid());
    EXPECT_EQ(At(top, {3})->GetIndex(), 3);
    EXPECT_TRUE(top->NumberingValid());
    EXPECT_EQ(x->GetIndex(), 1);
    top->RemoveAt(-1); // the last: numbering stays valid
    EXPECT_TRUE(top->NumberingValid());
    EXPECT_EQ(Dump(top), "A,X,B");
}

TEST_F(TreeFixture, VirtualParentRefusesChildrenAndMakesThemOnDemand) {
    Build(top, "V");
    CItemNode* v = At(top, {0})->GetChildNode();
    v->SetVirtual(true);
    EXPECT_TRUE(link.Contains(v));
    int32_t at = 0;
    EXPECT_EQ(v->AddNewChild(at, "no", 0), VE_VIRTUAL_NODE);
    EXPECT_EQ(at, -1);
    v->SetVirtualCount(10);
    EXPECT_EQ(v->GetCount(), 10);
    CItem* seven = v->GetAt(7);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(v->GetAt(7), seven);
    EXPECT_EQ(seven->GetIndex(), 7);
    EXPECT_EQ(made.size(), 1u);
    EXPECT_EQ(v->GetAt(10), nullptr);
    EXPECT_EQ(v->FindChildByText(""), -1);
}

TEST_F(TreeFixture, ShrinkingTheVirtualCountDropsChildrenBeyondIt) {
    Build(top, "V");
    CItemNode* v = At(top, {0})->GetChildNode();
    v->SetVirtual(true);
    v->SetVirtualCount(10);
    for (int32_t i : {1, 5, 8})
        v->GetAt(i);
    v->SetVirtualCount(3);
    ASSERT_EQ(v->MaterialisedCount(), 1);
    EXPECT_EQ(v->MaterialisedAt(0)->IndexField(), 1);
    v->SetVirtualCount(0);
    EXPECT_EQ(v->MaterialisedCount(), 0);
}

TEST_F(TreeFixture, PurgeDropsOnlyUnheldChildlessVirtualChildren) {
    Build(top, "V");
    CItemNode* v = At(top, {0})->GetChildNode();
    v->SetVirtual(true);
    v->SetVirtualCount(10);
    v->GetAt(7)->SetText("filled");
    Ref<CItem> held(v->GetAt(2));
    int32_t at = -1;
    v->GetAt(4)->GetChildNode()->AddNewChild(at, "grandchild", 0);
    link.PurgeUnusedNodes();
    EXPECT_EQ(v->FindMaterialised(7), nullptr);
    EXPECT_NE(v->FindMaterialised(2), nullptr);
    EXPECT_NE(v->FindMaterialised(4), nullptr);
    made.clear();
    EXPECT_EQ(v->GetAt(7)->Text(), ""); // made again, asked for again
    EXPECT_EQ(made.size(), 1u);
}

TEST_F(TreeFixture, NodeRegistrationIsSingle) {
    Build(top, "A");
    CItemNode* n = At(top, {0})->GetChildNode();
    link.AddNode(n);
    link.AddNode(n);
    EXPECT_EQ(link.NodeCount(), 1);
    link.RemoveNode(n);
    link.RemoveNode(n);
    EXPECT_EQ(link.NodeCount(), 0);
}

TEST_F(TreeFixture, BookmarksDieWithTheirItem) {
    Build(top, "A\nB");
    CItem* b = At(top, {1});
    uint32_t bm = b->Bookmark();
    EXPECT_EQ(CItem::FromBookmark(bm), b);
    top->RemoveAt(1);
    EXPECT_EQ(CItem::FromBookmark(bm), nullptr);
    EXPECT_EQ(CItem::FromBookmark(0x7FFFFFF0u), nullptr); // a number that never named an item
}

TEST_F(TreeFixture, TakeOverMovesEverythingCopyFromLeavesChildren) {
    Build(top, "A\n A1\nB");
    CItem* a = At(top, {0});
    CItem* b = At(top, {1});
    a->GetItemData()->Values().SetInt(names::ObsoleteValue(), 42);
    a->SetMark(3);
    a->SetItemWord(-5);
    a->SetExpandedFlag();

    Ref<CItem> copy = CItem::New(nullptr, "", 0);
    ASSERT_EQ(copy->CopyFrom(*a), VE_OK);
    EXPECT_EQ(copy->Text(), "A");
    EXPECT_EQ(copy->Mark(), 3);
    EXPECT_EQ(copy->ItemWord(), -5);
    EXPECT_EQ(copy->ChildNode(), nullptr);
    a->ItemData()->Values().SetInt(names::ObsoleteValue(), 1);
    EXPECT_EQ(copy->ItemData()->Values().GetInt(names::ObsoleteValue()), 42); // a deep copy

    b->TakeOver(*a);
    EXPECT_EQ(b->Text(), "A");
    EXPECT_TRUE(b->IsExpanded());
    EXPECT_EQ(b->ItemWord(), -5);
    EXPECT_EQ(a->ItemWord(), 0);
    EXPECT_EQ(Dump(b->ChildNode()), "A1");
    EXPECT_EQ(At(top, {1, 0})->GetParentItem(), b);
    EXPECT_EQ(a->Text(), "");
    EXPECT_EQ(a->ChildNode(), nullptr);
    EXPECT_EQ(a->ItemData(), nullptr);
}

TEST_F(TreeFixture, WalksVisitInPreOrderAndCountVirtualRanges) {
    Build(top, "A\n A1\n A2\nB\nC");
    CItemNode* c = At(top, {2})->GetChildNode();
    c->SetVirtual(true);
    c->SetVirtualCount(5);
    c->GetAt(2);
    struct Log : CItemVisitor {
        std::string s;
        bool VisitItem(CItem* i) override {
            s += (i->Text().empty() ? Num("v", i->IndexField()) : i->Text()) + " ";
            return true;
        }
        bool VisitRange(CItemNode*, int32_t f, int32_t l) override {
            s += Num("[", f) + Num("-", l) + "] ";
            return true;
        }
    };
    Log fwd;
    top->VisitForward(fwd, -1);
    EXPECT_EQ(fwd.s, "A A1 A2 B C [0-1] v2 [3-4] ");
    Log back;
    c->VisitBackward(back, 5);
    EXPECT_EQ(back.s, "[3-4] v2 [0-1] C B A2 A1 A ");
    Log after;
    At(top, {0})->ChildNode()->VisitForward(after, 0); // from after A1, climbing on
    EXPECT_EQ(after.s, "A2 B C [0-1] v2 [3-4] ");

    CItemWalker w(At(top, {0}));
    std::string order = w.Current()->Text();
    while (CItem* i = w.Next())
        order += i->Text().empty() ? "v" : i->Text();
    EXPECT_EQ(order, "AA1A2BCv");
    EXPECT_EQ(CountDescendants(top), 10); // five items and C's five virtual children
}

TEST(ItemNode, SortMethodNeedsAnOwningItem) {
    Ref<CItemNode> loose = CItemNode::New(nullptr, nullptr);
    EXPECT_EQ(loose->SetSortMethod(1, nullptr), VE_NO_OWNER);
    loose->SetVirtual(true); // without a node list: nothing to register with
    EXPECT_EQ(loose->SetSortMethod(1, nullptr), VE_VIRTUAL_SORT);
    EXPECT_EQ(loose->SetSortMethod(0, nullptr), VE_NO_OWNER);
}
