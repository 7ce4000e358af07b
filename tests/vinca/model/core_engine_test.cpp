#include <gtest/gtest.h>

#include <map>

#include "core_fixtures.h"

using namespace vinca;
using coretest::At;
using coretest::Build;
using coretest::Dump;
using coretest::Num;
using coretest::RecordingOwner;

namespace {

struct EngineFixture : ::testing::Test {
    RecordingOwner owner;
    CVincaEngine engine{&owner};
    CItemNode* top = engine.RootNode();
    // A collapsed tree: A(A1(A1a),A2),B,C
    void SetUp() override { Build(top, "A\n A1\n  A1a\n A2\nB\nC"); }
    std::string Text(int32_t index) {
        CItem* item = engine.ItemFromIndex(index);
        return item ? item->Text() : "<none>";
    }
};

// Records the rows the engine reports.
struct RowLog : IViewSink {
    std::vector<std::string> log;
    void RowsInserted(int32_t first, int32_t count) override {
        log.push_back(Num("+", first) + Num("x", count));
    }
    void RowsRemoved(int32_t first, int32_t count) override {
        log.push_back(Num("-", first) + Num("x", count));
    }
    void RowsReset() override { log.push_back("reset"); }
    void InvalidateRows(int32_t first, int32_t last) override { repainted.emplace_back(first, last); }
    std::vector<std::pair<int32_t, int32_t>> repainted;
    bool batch = false;
    bool TracksRows() const override { return !batch; }
    void Repaint() override { log.push_back("paint"); }
};

} // namespace

TEST_F(EngineFixture, EnumCountsEveryItemInPreOrder) {
    EXPECT_EQ(Text(0), "A");
    EXPECT_EQ(Text(1), "A1"); // even though A is collapsed
    EXPECT_EQ(Text(3), "A2");
    EXPECT_EQ(Text(5), "C");
    EXPECT_EQ(Text(2), "A1a"); // backwards from a cached neighbour
    EXPECT_EQ(engine.ListCount(), 6);
    owner.errors.clear();
    EXPECT_EQ(engine.ItemFromIndex(6), nullptr);
    EXPECT_EQ(owner.errors, std::vector<VResult>{VE_BAD_INDEX});
    for (int32_t i = 5; i >= 0; --i)
        EXPECT_EQ(engine.ItemIndex(engine.ItemFromIndex(i)), i);
}

TEST_F(EngineFixture, SpecialIndexes) {
    owner.errors.clear();
    EXPECT_EQ(engine.ItemFromIndex(-1), nullptr);
    EXPECT_TRUE(owner.errors.empty()); // -1 is never an error
    EXPECT_EQ(engine.ItemFromIndexChecked(-1), nullptr);
    EXPECT_EQ(owner.errors, std::vector<VResult>{VE_BAD_INDEX});
    EXPECT_EQ(engine.ItemFromIndex(-3), nullptr); // nothing added through the engine yet
    engine.ItemFromIndex(2);                      // A1a: its parent list becomes current
    EXPECT_EQ(engine.ItemFromIndex(-2), At(top, {0, 0}));
    ASSERT_EQ(engine.AddItem("new"), VE_OK); // at the end of the current parent
    EXPECT_EQ(engine.ItemFromIndex(-3)->Text(), "new");
    EXPECT_EQ(Dump(top), "A(A1(A1a,new),A2),B,C");
    EXPECT_EQ(engine.NewIndex(), 3);
    EXPECT_EQ(engine.ItemFromIndex(-4), nullptr);
}

TEST_F(EngineFixture, LevelIndexesFollowTheCurrentParent) {
    engine.SetCurrentIndexMethod(VNSYS_LEVEL);
    engine.ItemFromIndex(-1);
    EXPECT_EQ(Text(0), "A");
    EXPECT_EQ(engine.ListCount(), 3);
    CItem* a1 = At(top, {0, 0});
    EXPECT_EQ(engine.ItemIndex(a1), 0); // the reverse mapping moves the current parent to A's children
    EXPECT_EQ(Text(1), "A2");
    EXPECT_EQ(engine.ItemFromIndex(2), nullptr); // past A's two children
    engine.ItemFromIndex(-1);                    // leaves the current parent as it is
    EXPECT_EQ(engine.ItemFromIndex(2), nullptr);
    engine.SetCurrentItemBM(0); // back to the top
    EXPECT_EQ(Text(2), "C");
    EXPECT_EQ(engine.SetCurrentIndexMethod(3), VE_INVALID_ARGUMENT);
}

TEST_F(EngineFixture, VisibleRowsFollowExpansionAndHiding) {
    engine.SetCurrentIndexMethod(VNSYS_VIS);
    EXPECT_EQ(engine.ListCount(), 3);
    EXPECT_EQ(Text(1), "B");
    ASSERT_EQ(engine.ExpandItem(At(top, {0}), false), VE_OK);
    EXPECT_EQ(Text(1), "A1");
    EXPECT_EQ(Text(3), "B");
    engine.SetItemAlwaysHidden(At(top, {0, 0}), true);
    EXPECT_EQ(Text(1), "A2");
    At(top, {2})->SetMark(4);
    engine.SetMarkedItemsAlwaysHidden(4, true);
    EXPECT_EQ(engine.ListCount(), 3); // A, A2, B
    EXPECT_EQ(engine.SetMarkedItemsAlwaysHidden(256, true), VE_BAD_INDEX);
    engine.m_showHiddenItems = true;
    engine.InvalidateRowList();
    EXPECT_EQ(engine.ListCount(), 5); // A1's own children stay collapsed
    EXPECT_EQ(engine.ListCountEx(nullptr), 5);
    EXPECT_EQ(engine.ListCountEx(At(top, {0})), 2);
}

TEST_F(EngineFixture, VisualRootShowsOnlyItsChildren) {
    engine.SetCurrentIndexMethod(VNSYS_VIS);
    engine.SetVisualRoot(At(top, {0}));
    EXPECT_EQ(engine.ListCount(), 2);
    EXPECT_EQ(Text(0), "A1");
    engine.ItemFromIndex(-1);
    EXPECT_EQ(engine.ItemFromIndex(-2), At(top, {0}));
}

TEST_F(EngineFixture, CacheAgesByLookupsAndStaysCorrect) {
    // 100 top items: the cache purges entries not used since the fortieth.
    engine.Clear();
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += Num("i", i) + "\n";
    Build(top, text);
    for (int32_t i = 0; i < 59; ++i)
        EXPECT_EQ(Text(i), Num("i", i));
    EXPECT_EQ(engine.EnumCache().Count(), 59);
    Text(10); // used again after the stamp
    Text(59);
    Text(60); // the sixty-first entry: purge
    EXPECT_LT(engine.EnumCache().Count(), 40);
    EXPECT_EQ(engine.EnumCache().LookupIndex(10)->Text(), "i10");
    EXPECT_EQ(engine.EnumCache().LookupIndex(5), nullptr);
    for (int32_t i : {99, 0, 50, 5, 98})
        EXPECT_EQ(Text(i), Num("i", i));
    EXPECT_EQ(engine.EnumCache().HighestIndex(), 99);
    engine.EnumCache().Invalidate(50);
    EXPECT_LT(engine.EnumCache().HighestIndex(), 50);
}

TEST_F(EngineFixture, RelativesByPosition) {
    EXPECT_EQ(engine.ItemParent(1), 0);
    EXPECT_EQ(engine.ItemParent(0), -1);
    EXPECT_EQ(engine.ItemNextSibling(1), 3);
    EXPECT_EQ(engine.ItemNextSibling(3), CVincaEngine::kNoSibling);
    EXPECT_EQ(engine.ItemPrevSibling(4), 0);
    EXPECT_EQ(engine.ItemPrevSibling(0), CVincaEngine::kNoSibling);
    EXPECT_EQ(engine.Shift(2), 2);
    EXPECT_EQ(engine.Shift(-1), 0);
    owner.errors.clear();
    EXPECT_EQ(engine.ItemNextSibling(40), CVincaEngine::kNoSibling);
    EXPECT_EQ(owner.errors, std::vector<VResult>{VE_BAD_INDEX});
}

TEST_F(EngineFixture, BookmarksSurviveChangesElsewhereButNotRemovalOrOtherTrees) {
    CItem* b = At(top, {1});
    uint32_t bm = engine.ItemBM(b);
    engine.InsertItem({top, 0}, "first", 0, 0);
    engine.RemoveItem(At(top, {3})); // C
    EXPECT_EQ(engine.ItemFromBookmark(bm), b);
    EXPECT_EQ(engine.ItemIndex(engine.ItemFromBookmark(bm)), 5);
    CVincaEngine other;
    EXPECT_EQ(other.ItemFromBookmark(bm), nullptr);
    EXPECT_EQ(other.SetCurrentItemBM(bm), VE_INVALID_BOOKMARK);
    EXPECT_EQ(engine.SetCurrentItemBM(bm), VE_OK);
    EXPECT_EQ(engine.ItemFromIndex(-3), b);
    engine.RemoveItem(b);
    EXPECT_FALSE(engine.IsValidBookmark(bm));
}

TEST_F(EngineFixture, InsertPlacementsAndExpandNewItem) {
    engine.Clear();
    Build(top, "b\nd\nf");
    ASSERT_EQ(engine.InsertItem({top, 1}, "at1", 0, 0), VE_OK);
    ASSERT_EQ(engine.InsertItem({top, 3}, "front", 0, 2), VE_OK);
    ASSERT_EQ(engine.InsertItem({top, 0}, "end", 0, 9), VE_OK);
    EXPECT_EQ(Dump(top), "front,b,at1,d,f,end");
    engine.Clear();
    Build(top, "b\nd\nd\nf");
    CItem* made = nullptr;
    ASSERT_EQ(engine.InsertItem({top, -1}, "d", 0, 1, &made), VE_OK);
    EXPECT_EQ(made->GetIndex(), 3); // after the equal texts
    EXPECT_TRUE(made->IsExpanded());
    engine.m_expandNewItem = false;
    engine.Clear();
    Build(top, "f\nd\nb");
    ASSERT_EQ(engine.InsertItem({top, -1}, "c", CItem::kExpanded, 3, &made), VE_OK);
    EXPECT_EQ(Dump(top), "f,d,c,b");
    EXPECT_FALSE(made->IsExpanded());
    EXPECT_EQ(engine.Cursor().CurrentItem(), made);
}

TEST_F(EngineFixture, VirtualParentsRefuseItemOperations) {
    CItem* b = At(top, {1});
    ASSERT_EQ(engine.SetVirtualParent(b, true), VE_OK);
    ASSERT_EQ(engine.SetVirtualCount(b, 5), VE_OK);
    EXPECT_EQ(engine.InsertItem({b->ChildNode(), -1}, "x", 0, 0), VE_VIRTUAL_TREE);
    CItem* child = b->ChildNode()->GetAt(1);
    EXPECT_EQ(engine.SetItemLevel(child, 0), VE_VIRTUAL_TREE);
    EXPECT_EQ(engine.RemoveItem(child), VE_OK); // nothing happens under a virtual parent
    EXPECT_EQ(b->ChildNode()->GetCount(), 5);
    EXPECT_EQ(engine.RemoveChildren({top, 1}), VE_VIRTUAL_TREE);
    EXPECT_EQ(engine.SetItemSorted(b, 1), VE_VIRTUAL_SORT);
    EXPECT_EQ(b->SortMethod(), 0); // flags unchanged
    CItem* a = At(top, {0});
    engine.SetItemSorted(a, 1);
    EXPECT_EQ(engine.SetVirtualParent(a, true), VE_VIRTUAL_SORT);
    EXPECT_EQ(engine.GetVirtualCount(b), 5);
    EXPECT_EQ(engine.GetVirtualCount(a), 0);
    EXPECT_EQ(engine.ListCount(), 11); // six items and five virtual children
    ASSERT_EQ(engine.SetVirtualParent(b, false), VE_OK);
    EXPECT_EQ(engine.ListCount(), 6);
}

TEST_F(EngineFixture, VirtualChildrenAreQueriedWithTheirPosition) {
    CItem* b = At(top, {1});
    engine.SetVirtualParent(b, true);
    engine.SetVirtualCount(b, 3);
    owner.queries.clear();
    EXPECT_EQ(Text(6), ""); // B is at 4; its children at 5..7
    ASSERT_EQ(owner.queries.size(), 1u);
    EXPECT_EQ(owner.queries[0], std::make_pair(6, 1));
    EXPECT_EQ(Text(7), "");
    EXPECT_EQ(Text(8), "C");
    // Refresh asks again for the children in the range, once each (a child
    // made by the refresh itself is asked for only when it is made).
    owner.queries.clear();
    engine.RefreshItems(5, 6);
    EXPECT_EQ(owner.queries.size(), 2u);
    // Positions found after a refresh, kept or purged, still hold.
    EXPECT_EQ(Text(8), "C");
    engine.RefreshItems(8, 8);
    EXPECT_EQ(Text(8), "C");
    EXPECT_EQ(Text(4), "B");
    EXPECT_EQ(engine.RefreshItems(-1, 3), VE_OK);
    EXPECT_EQ(engine.RefreshItems(4, 2), VE_OK);
}

TEST_F(EngineFixture, ExpandAndCollapseAskTheOwner) {
    CItem* a = At(top, {0});
    CItem* a1 = At(top, {0, 0});
    owner.allowExpand = false;
    EXPECT_EQ(engine.ExpandItem(a1, false), VE_REFUSED);
    EXPECT_TRUE(a1->IsExpanded()); // the flags stay as set
    EXPECT_TRUE(a->IsExpanded());  // its ancestors were opened too
    EXPECT_EQ(owner.expands, std::vector<int32_t>{1});
    EXPECT_EQ(engine.ExpandItem(a1, false), VE_OK); // already open: nothing asked
    EXPECT_EQ(owner.expands.size(), 1u);
    owner.allowCollapse = false;
    EXPECT_EQ(engine.SetItemExpanded(a, false), VE_REFUSED);
    EXPECT_EQ(engine.SetItemExpanded(nullptr, true), VE_BAD_INDEX);
    owner.allowCollapse = true;
    engine.m_triggerEvents = 1;
    a->SetExpandedFlag();
    ASSERT_EQ(engine.CollapseItem(a, true), VE_OK);
    EXPECT_FALSE(a1->IsExpanded());
    EXPECT_EQ(owner.byAncestor, std::vector<int32_t>{1}); // A1 was open and has children
}

TEST_F(EngineFixture, ExpandToLevelSetsFlagsWithoutAsking) {
    engine.ExpandToLevel(0);
    EXPECT_TRUE(At(top, {0})->IsExpanded());
    EXPECT_TRUE(At(top, {1})->IsExpanded());
    EXPECT_FALSE(At(top, {0, 0})->IsExpanded());
    engine.ExpandToLevel(-1);
    EXPECT_FALSE(At(top, {0})->IsExpanded());
    EXPECT_TRUE(owner.expands.empty());
    EXPECT_TRUE(owner.collapses.empty());
}

TEST_F(EngineFixture, RowTrackingReportsRowChanges) {
    RowLog rows;
    engine.SetViewSink(&rows);
    engine.ExpandItem(At(top, {0}), false);
    EXPECT_EQ(rows.log, (std::vector<std::string>{"+1x2", "paint"}));
    rows.log.clear();
    engine.CollapseItem(At(top, {0}), false);
    EXPECT_EQ(rows.log, (std::vector<std::string>{"-1x2", "paint"}));
    rows.log.clear();
    engine.RemoveItem(At(top, {1}));
    EXPECT_EQ(rows.log, (std::vector<std::string>{"-1x1", "paint"}));
    rows.log.clear();
    {
        CVincaEngine::UpdateScope outer(engine);
        engine.InsertItem({top, -1}, "D", 0, -1);
        engine.InsertItem({top, -1}, "E", 0, -1);
    }
    EXPECT_EQ(rows.log, (std::vector<std::string>{"+2x1", "+3x1", "paint"})); // one repaint
    // A view in a change batch rebuilds its rows itself: no row steps.
    rows.batch = true;
    rows.log.clear();
    engine.ExpandItem(At(top, {0}), false);
    engine.InsertItem({top, -1}, "F", 0, -1);
    EXPECT_EQ(rows.log, (std::vector<std::string>{"paint", "paint"}));
}

TEST_F(EngineFixture, NewTextRepaintsItsRowUnlessTheViewRebuildsAnyway) {
    RowLog rows;
    engine.SetViewSink(&rows);
    engine.ExpandItem(At(top, {0}), false); // rows A, A1, A2, B, C
    rows.repainted.clear();
    engine.SetListText(At(top, {0, 1}), "x");
    engine.SetListText(At(top, {0, 0, 0}), "y"); // under the closed A1: no row
    engine.SetListText(At(top, {2}), "z");
    EXPECT_EQ(rows.repainted, (std::vector<std::pair<int32_t, int32_t>>{{2, 2}, {4, 4}}));
    rows.batch = true;
    rows.repainted.clear();
    engine.SetListText(At(top, {1}), "w");
    EXPECT_TRUE(rows.repainted.empty());
    EXPECT_EQ(Dump(top), "A(A1(y),x),w,z");
}

TEST_F(EngineFixture, RemovalMovesTheCurrentRowBack) {
    engine.SetCurrentIndexMethod(VNSYS_VIS);
    ASSERT_EQ(engine.SetListIndex(2), VE_OK); // C
    engine.RemoveItem(At(top, {2}));
    EXPECT_EQ(engine.GetListIndex(), 1);
    std::string t;
    engine.GetText(t);
    EXPECT_EQ(t, "B");
    // Selecting a hidden descendant opens its ancestors.
    engine.SetCurrentIndexMethod(VNSYS_ENUM);
    ASSERT_EQ(engine.SetListIndex(2), VE_OK); // A1a
    EXPECT_TRUE(At(top, {0})->IsExpanded());
    EXPECT_TRUE(At(top, {0, 0})->IsExpanded());
    EXPECT_EQ(engine.GetListIndex(), 2);
    EXPECT_EQ(engine.SetListIndex(99), VE_BAD_INDEX);
}

TEST(EngineSort, TextSortBreaksTiesByCreationAndKeepsParentsFirst) {
    CVincaEngine engine;
    CItemNode* top = engine.RootNode();
    Build(top, "P\n b\n a\n b");
    CItem* p = At(top, {0});
    CItem* firstB = At(top, {0, 0});
    ASSERT_EQ(engine.SetItemSorted(p, 1), VE_OK);
    EXPECT_EQ(Dump(top), "P(a,b,b)");
    EXPECT_EQ(At(top, {0, 1}), firstB); // the older of the equal items first
    ASSERT_EQ(engine.SetItemSorted(p, 3), VE_OK);
    EXPECT_EQ(Dump(top), "P(b,b,a)");
    EXPECT_EQ(At(top, {0, 1}), firstB); // descending: identity order reversed too
    EXPECT_EQ(engine.SetItemSorted(p, 5), VE_INVALID_ARGUMENT);

    engine.Clear();
    Build(top, "P\n z\n  child\n a\n m\n  child");
    p = At(top, {0});
    engine.SetItemSorted(p, 1);
    engine.SetItemSortingStyle(p, 0x10);
    EXPECT_EQ(Dump(top), "P(m(child),z(child),a)");
    engine.SetItemSortingStyle(p, 0x20);
    EXPECT_EQ(Dump(top), "P(a,m(child),z(child))");
    engine.SetItemSortingStyle(p, CMP_IGNORE_CASE);
    At(top, {0, 0})->SetText("B");
    engine.SortChildren({top, 0});
    EXPECT_EQ(Dump(top), "P(B,m(child),z(child))");
}

TEST(EngineSort, ValueSortUsesTheSortKey) {
    CVincaEngine engine;
    CItemNode* top = engine.RootNode();
    Build(top, "P\n x\n y\n z");
    const CVincaName* key = GlobalName("Size");
    At(top, {0, 0})->GetItemData()->Values().SetInt(key, 30);
    At(top, {0, 1})->GetItemData()->Values().SetInt(key, 10);
    // z has no value holder: it orders first.
    ASSERT_EQ(engine.ResortItem({top, 0}, 0, plat::Variant("size")), VE_OK);
    ASSERT_EQ(engine.ResortItem({top, 0}, 1, plat::Variant(int32_t(2))), VE_OK);
    EXPECT_EQ(Dump(top), "P(z,y,x)");
    ASSERT_EQ(engine.ResortItem({top, 0}, 1, plat::Variant(int32_t(4))), VE_OK);
    EXPECT_EQ(Dump(top), "P(x,y,z)");
    // A text set under a sorted parent re-sorts it.
    ASSERT_EQ(engine.SetItemSorted(At(top, {0}), 1), VE_OK);
    engine.SetListText(At(top, {0, 0}), "a");
    EXPECT_EQ(Dump(top), "P(a,y,z)");
}

TEST(EngineLevels, LevelChangesTable) {
    struct Case {
        const char* tree;
        std::vector<int32_t> item;
        int32_t level;
        VResult result;
        const char* after;
    };
    const Case cases[] = {
        {"A\nB\nC", {0}, 1, VE_BAD_INDENTATION, "A,B,C"}, // the first child cannot go deeper
        {"A\nB\nC", {1}, 1, VE_OK, "A(B),C"},
        {"A\n A1\nB", {1}, 2, VE_OK, "A(A1(B))"},                   // deeper by two through the last child
        {"A\nB", {1}, 2, VE_BAD_INDENTATION, "A,B"},                // the chain ends too early
        {"A\nB\n B1\n B2\nC", {1}, 1, VE_OK, "A(B,B1,B2),C"},       // its children keep their level
        {"A\n A1\n A2\n A3\nB", {0, 0}, 0, VE_OK, "A,A1(A2,A3),B"}, // following siblings come along
        {"A\n A1\n  x\n A2", {0, 0}, 0, VE_OK, "A,A1(x,A2)"},
        {"A\n A1\n  A1a\nB", {0, 0, 0}, 0, VE_OK, "A(A1),A1a,B"},
        {"A", {0}, -1, VE_BAD_INDENTATION, "A"},
        {"A\n A1", {0, 0}, -1, VE_BAD_INDENTATION, "A(A1)"},
    };
    for (const Case& c : cases) {
        CVincaEngine engine;
        Build(engine.RootNode(), c.tree);
        CItem* item = engine.RootNode()->GetAt(c.item[0]);
        for (size_t k = 1; k < c.item.size(); ++k)
            item = item->ChildNode()->GetAt(c.item[k]);
        uint32_t bm = engine.ItemBM(item);
        EXPECT_EQ(engine.SetItemLevel(item, c.level), c.result) << c.tree << " -> " << c.level;
        EXPECT_EQ(Dump(engine.RootNode()), c.after) << c.tree << " -> " << c.level;
        EXPECT_EQ(engine.ItemFromBookmark(bm), item); // the item itself moved
    }
    CVincaEngine engine;
    EXPECT_EQ(engine.SetItemLevel(nullptr, 1), VE_BAD_INDEX);
}

TEST(EngineLevels, SortedTargetIsSortedAgain) {
    CVincaEngine engine;
    Build(engine.RootNode(), "P\n z\nb");
    engine.SetItemSorted(At(engine.RootNode(), {0}), 1);
    At(engine.RootNode(), {1})->SetItemWord(9);
    ASSERT_EQ(engine.SetItemLevel(At(engine.RootNode(), {1}), 1), VE_OK);
    EXPECT_EQ(Dump(engine.RootNode()), "P(b,z)");
    EXPECT_EQ(At(engine.RootNode(), {0, 0})->ItemWord(), 9); // the item itself moved
}

TEST_F(EngineFixture, ItemValuesByKind) {
    CItem* a = At(top, {0});
    int16_t kind = -1;
    EXPECT_EQ(engine.GetItemType(a, kind), VE_OK);
    EXPECT_EQ(kind, 0);
    ASSERT_EQ(engine.SetItemValue(a, plat::Variant(int32_t(77))), VE_OK);
    engine.GetItemType(a, kind);
    EXPECT_EQ(kind, 0x4C4E);
    plat::Variant v;
    engine.GetItemValue(a, plat::VT_I4, v);
    EXPECT_EQ(v.vt, plat::VT_I4);
    EXPECT_EQ(v.lVal, 77);
    engine.GetItemValue(a, plat::VT_I2, v); // another kind: nothing
    EXPECT_EQ(v.vt, plat::VT_EMPTY);
    ASSERT_EQ(engine.SetItemValue(a, plat::Variant("text")), VE_OK);
    engine.GetItemType(a, kind);
    EXPECT_EQ(kind, 0x5354); // kept as single-byte text
    engine.GetItemValue(a, plat::VT_BSTR, v);
    EXPECT_EQ(v.vt, plat::VT_BSTR); // handed out as wide text
    EXPECT_EQ(v.to_utf8(), "text");
    EXPECT_EQ(engine.SetItemValue(nullptr, v), VE_BAD_INDEX);
}

TEST_F(EngineFixture, ItemHeights) {
    CItem* a = At(top, {0});
    float h = 0;
    EXPECT_EQ(engine.GetItemHeight(0, a, h), VE_OK);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(engine.SetItemHeight(0, a, 300), VE_OK);
    engine.GetItemHeight(0, a, h);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(engine.SetItemHeight(0, a, -1), VE_OK);
    engine.GetItemHeight(0, a, h);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(engine.SetItemHeight(0, a, -2), VE_INVALID_ARGUMENT);
    EXPECT_EQ(engine.SetItemHeight(-2, a, 10), VE_BAD_INDEX);
    EXPECT_EQ(engine.GetItemHeight(-2, a, h), VE_BAD_INDEX);
    EXPECT_EQ(engine.SetItemHeight(-1, nullptr, 255), VE_OK);
    engine.GetItemHeight(-1, nullptr, h);
    EXPECT_EQ(h, 255);
}

TEST_F(EngineFixture, FindItemAndFindValue) {
    EXPECT_EQ(engine.FindItem("A2", 0, -1), 3);
    EXPECT_EQ(engine.FindItem("a", 0x1, 0), -1);       // whole texts: "a" alone matches nothing
    EXPECT_EQ(engine.FindItem("a1", 0x1 | 0x4, 1), 2); // prefix, after A1
    EXPECT_EQ(engine.FindItem("C", 0x200, -1), 5);
    engine.ExpandToLevel(-1);
    At(top, {0, 1})
        ->GetItemData()
        ->GetValueSet(names::Tree())
        ->SetOrAddValue(names::Tag(), plat::Variant("tag"));
    EXPECT_EQ(engine.FindValue("TAG", 0x1, -1), 3);
    EXPECT_EQ(engine.FindItem("A2", 0x200, -1), -1); // A2 has no visible row
}

TEST_F(EngineFixture, CopiesOfItemsAndTrees) {
    CVincaEngine source;
    Build(source.RootNode(), "X\n X1\nY");
    ASSERT_EQ(engine.AddTreeItems({top, 1}, source.RootNode()), VE_OK); // under B
    EXPECT_EQ(Dump(top), "A(A1(A1a),A2),B(X(X1),Y),C");
    EXPECT_EQ(engine.ItemFromIndex(-3)->Text(), "X");
    ASSERT_EQ(engine.AddItemCopy({top, -1}, At(top, {0}), 0), VE_OK); // A before A at the top
    EXPECT_EQ(Dump(top), "A(A1(A1a),A2),A(A1(A1a),A2),B(X(X1),Y),C");
    ASSERT_EQ(engine.AddItemCopy({top, 0}, At(top, {0})), VE_OK); // into its own children
    EXPECT_EQ(Dump(At(top, {0})->ChildNode()), "A1(A1a),A2,A(A1(A1a),A2)");
    CVincaEngine empty;
    EXPECT_EQ(engine.AddTreeItems({top, -1}, empty.RootNode()), VE_NOTHING_TO_COPY);
    EXPECT_EQ(engine.AddItemCopy({top, -1}, nullptr), VE_NOTHING_TO_COPY);
}

TEST_F(EngineFixture, ClearAndRemoveChildren) {
    engine.ItemFromIndex(2); // current parent inside A1
    ASSERT_EQ(engine.RemoveChildren({top, 0}), VE_OK);
    EXPECT_EQ(Dump(top), "A,B,C");
    EXPECT_EQ(engine.ListCount(), 3);
    EXPECT_EQ(engine.ItemFromIndex(-2), At(top, {0}));
    engine.Clear();
    EXPECT_EQ(engine.ListCount(), 0);
    EXPECT_EQ(engine.AddItem("again"), VE_OK);
    EXPECT_EQ(Dump(top), "again");
}

TEST(EngineSettings, PathSeparatorRefusesEmptyAndDot) {
    CVincaEngine engine;
    EXPECT_EQ(engine.m_pathSeparator, "\\");
    EXPECT_EQ(engine.SetPathSeparator(""), VE_INVALID_PATH_SEPARATOR);
    EXPECT_EQ(engine.SetPathSeparator(".x"), VE_INVALID_PATH_SEPARATOR);
    EXPECT_EQ(engine.SetPathSeparator("/"), VE_OK);
    EXPECT_EQ(engine.m_pathSeparator, "/");
}

TEST(EngineLifetime, SubtreeHeldPastItsEngineStaysUsable) {
    Ref<CItem> kept;
    {
        CVincaEngine engine;
        Build(engine.RootNode(), "V");
        CItem* v = At(engine.RootNode(), {0});
        engine.SetVirtualParent(v, true);
        engine.SetVirtualCount(v, 3);
        v->ChildNode()->GetAt(1);
        kept = Ref<CItem>(v);
    }
    EXPECT_EQ(kept->ParentNode(), nullptr);
    EXPECT_EQ(kept->TreeOwner(), nullptr);
    EXPECT_NE(kept->ChildNode()->GetAt(2), nullptr); // no engine to tell any more
    kept->ChildNode()->SetVirtual(false);            // leaves the old tree's virtual-node list
    EXPECT_EQ(kept->ChildCount(), 0);
}

TEST_F(EngineFixture, SiblingLinesMarksAndSubtreeExpansion) {
    CItem* a = At(top, {0});
    CItem* a2 = At(top, {0, 1});
    EXPECT_FALSE(engine.IsLastVisibleSibling(At(top, {0, 0})));
    EXPECT_TRUE(engine.IsLastVisibleSibling(a2));
    engine.SetItemAlwaysHidden(a2, true);
    EXPECT_TRUE(engine.IsLastVisibleSibling(At(top, {0, 0}))); // the only later sibling is hidden
    EXPECT_TRUE(engine.IsLastVisibleSibling(engine.Root()));

    engine.SetMarkCount(3);
    EXPECT_EQ(engine.SetItemMark(a, 2), VE_OK);
    EXPECT_EQ(engine.SetItemMark(a, 3), VE_OK); // no such mark picture: unchanged
    EXPECT_EQ(a->Mark(), 2);
    EXPECT_EQ(engine.SetItemMark(nullptr, 1), VE_BAD_INDEX);

    EXPECT_TRUE(engine.IsExpandable(a));
    EXPECT_FALSE(engine.IsExpandable(a2)); // no child list, and the owner says nothing

    engine.ExpandSubtree(a, true);
    EXPECT_TRUE(a->IsExpanded());
    EXPECT_TRUE(At(top, {0, 0})->IsExpanded());
    EXPECT_TRUE(engine.GetExpandEx(At(top, {0, 0})));
    EXPECT_FALSE(engine.GetExpandEx(a2)); // hidden: no row
    engine.ExpandSubtree(nullptr, false);
    EXPECT_FALSE(a->IsExpanded());
    EXPECT_FALSE(At(top, {0, 0})->IsExpanded());
    EXPECT_TRUE(owner.expands.empty()); // flags only, nobody asked
}

namespace {

// The rows as a plain pre-order walk sees them: shown items under open,
// shown ancestors; children of a virtual parent never made count as shown.
void ReferenceRows(CVincaEngine& e, CItemNode* node, std::vector<std::string>& out) {
    for (int32_t i = 0; i < node->GetCount(); ++i) {
        CItem* c = node->IsVirtual() ? node->FindMaterialised(i) : node->GetAt(i);
        if (!c) {
            if (e.m_showHiddenItems || !e.IsMarkHidden(0)) out.push_back(Num("v", i));
            continue;
        }
        if (!e.IsItemShown(c)) continue;
        out.push_back(c->Text().empty() ? Num("v", i) : c->Text());
        if (c->IsExpanded() && c->ChildNode()) ReferenceRows(e, c->ChildNode(), out);
    }
}

} // namespace

TEST(EngineRows, CountedRowsMatchAPlainWalkThroughChanges) {
    CVincaEngine engine;
    engine.SetCurrentIndexMethod(VNSYS_VIS);
    CItemNode* top = engine.RootNode();
    std::string text;
    // Nodes wider than a few children are looked up through their row
    // index, narrower ones by a walk: the shape has both.
    for (int a = 0; a < 9; ++a) {
        text += Num("n", a) + "\n";
        for (int b = 0; b < (a % 2 ? 3 : 10); ++b) {
            text += Num(" n", a) + Num(".", b) + "\n";
            for (int c = 0; c < 3; ++c)
                text += Num("  n", a) + Num(".", b) + Num(".", c) + "\n";
        }
    }
    Build(top, text);
    CItem* virt = At(top, {4, 3});
    engine.SetVirtualParent(virt, true);
    engine.SetVirtualCount(virt, 30);
    virt->SetExpandedFlag();
    for (int32_t made : {4, 5, 9, 12, 17, 21, 22, 26, 29})
        virt->ChildNode()->GetAt(made)->SetText(Num("made", made));

    uint32_t seed = 12345;
    auto rnd = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int step = 0; step < 300; ++step) {
        int32_t a = int32_t(rnd(9));
        CItem* item = At(top, {a, int32_t(rnd(a % 2 ? 3 : 10))});
        switch (rnd(7)) {
        case 6:
            engine.SetItemSorted(item->GetParentItem(), rnd(2) ? 1 : 3); // order changes, rows stay
            break;
        case 0:
            item->GetParentItem()->IsExpanded() ? engine.CollapseItem(item->GetParentItem(), false)
                                                : engine.ExpandItem(item->GetParentItem(), false);
            break;
        case 1:
            item->IsExpanded() ? engine.CollapseItem(item, false) : engine.ExpandItem(item, false);
            break;
        case 2:
            engine.SetItemAlwaysHidden(item, rnd(4) == 0);
            break;
        case 3:
            item->SetMark(uint8_t(rnd(3)));
            break;
        case 4:
            engine.SetMarkedItemsAlwaysHidden(int32_t(rnd(3)), rnd(3) == 0);
            break;
        default:
            engine.m_showHiddenItems = rnd(5) == 0;
            engine.InvalidateRowList();
            break;
        }
        std::vector<std::string> expected;
        ReferenceRows(engine, top, expected);
        ASSERT_EQ(engine.ListCount(), int32_t(expected.size())) << "step " << step;
        // Row by row (the walk continues from the last row) and back again.
        for (int32_t r = 0; r < int32_t(expected.size()); ++r) {
            CItem* got = engine.RowItem(r);
            ASSERT_NE(got, nullptr);
            std::string name = got->Text().empty() ? Num("v", got->IndexField()) : got->Text();
            ASSERT_EQ(name, expected[r]) << "step " << step << " row " << r;
            ASSERT_EQ(engine.RowOf(got), r) << "step " << step;
        }
        // Jumps, which do not continue from the last row.
        for (int jump = 0; jump < 6 && !expected.empty(); ++jump) {
            int32_t r = int32_t(rnd(uint32_t(expected.size())));
            CItem* got = engine.RowItem(r);
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(got->Text().empty() ? Num("v", got->IndexField()) : got->Text(), expected[r]);
        }
    }
}

// Trees grown item by item, with expansion in between: the counted rows
// follow every step. Steps: "+p/x" adds x under p (top level without a
// parent), ">x" expands x, "<x" collapses it, "*" starts with ten top items
// so that the top rows go through the row index.
TEST(EngineRows, RowsFollowItemsAddedUnderOpenAndClosedParents) {
    struct Case {
        bool expandNew;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {true, {"+a", "+b", "+c", "+a/a1", ">a"}},          // open parent gets its first child
        {true, {"+g1", "+g1/a", "+g2", "+g2/b"}},           // each group gets a child after its row
        {false, {"+a", "+b", "+c", "+a/a1", ">a"}},         // closed parent opened later
        {false, {"+a", ">a", "+a/a1", "+a/a1/x", ">a/a1"}}, // grandchild under an open child
        {true, {"+a", "+a/a1", "+a/a1/x", "<a", "+a/a1/y", ">a"}},
        {true, {"*", "+t3/x", "+t9/y", "+t9/y/z", "<t3", ">t3"}},
        {false, {"*", "+t3/x", ">t3", "+t3/x/w", ">t3/x"}},
        // Additions at the end of the wide top level and under its items,
        // each counted on from the rows before it.
        {true, {"*", "+t4/x", "+u", "+w", "+t2/y", "+v", "<t4", "+t4/x2", ">t4", "+t9/z", "+w/q"}},
        {false, {"*", "+t4/x", ">t4", "+t1/y", "+u", ">t1", "+t4/x/q", ">t4/x", "+v", "<t1"}},
    };
    for (const Case& tc : cases) {
        CVincaEngine engine;
        engine.SetCurrentIndexMethod(VNSYS_VIS);
        engine.m_expandNewItem = tc.expandNew;
        CItemNode* top = engine.RootNode();
        std::map<std::string, CItem*> items;
        std::string trail;
        for (const std::string& step : tc.steps) {
            trail += step + " ";
            std::string path = step.substr(1);
            std::string name = path.substr(path.rfind('/') + 1);
            std::string parent = path.size() > name.size() ? path.substr(0, path.size() - name.size() - 1) : "";
            if (step == "*") {
                for (int i = 0; i < 10; ++i)
                    ASSERT_EQ(engine.InsertItem({top, -1}, Num("t", i), 0, -1, &items[Num("t", i)]), VE_OK);
            } else if (step[0] == '+') {
                CItemNode* node = top;
                if (!parent.empty()) node = items.at(parent.substr(parent.rfind('/') + 1))->GetChildNode();
                ASSERT_EQ(engine.InsertItem({node, -1}, name, 0, -1, &items[name]), VE_OK) << trail;
            } else {
                CItem* item = items.at(name);
                step[0] == '>' ? engine.ExpandItem(item, false) : engine.CollapseItem(item, false);
            }
            std::vector<std::string> expected;
            ReferenceRows(engine, top, expected);
            ASSERT_EQ(engine.ListCount(), int32_t(expected.size())) << trail;
            for (int32_t r = 0; r < int32_t(expected.size()); ++r) {
                CItem* item = items.at(expected[r]);
                EXPECT_EQ(engine.RowOf(item), r) << trail << expected[r];
                CItem* got = engine.RowItem(r);
                EXPECT_EQ(got ? got->Text() : "<none>", expected[r]) << trail << "row " << r;
            }
        }
    }
}

TEST(EngineSort, ValueSortHonoursTheNumericPrefixStyle) {
    CVincaEngine engine;
    CItemNode* top = engine.RootNode();
    Build(top, "P\n x\n y\n z");
    const char* versions[] = {"10 build", "9 build", "100 build"};
    for (int i = 0; i < 3; ++i)
        engine.SetItemValue(At(top, {0, i}), plat::Variant(versions[i]));
    CItem* p = At(top, {0});
    engine.SetItemSortingStyle(p, CMP_NUMERIC_PREFIX);
    ASSERT_EQ(engine.SetItemSorted(p, 2), VE_OK);
    EXPECT_EQ(Dump(top), "P(y,x,z)");                                           // 9, 10, 100
    EXPECT_EQ(engine.FindItem("10", 0x8 | 0x4, -1, names::ObsoleteValue()), 2); // value search by prefix
}
