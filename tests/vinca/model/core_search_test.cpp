#include <gtest/gtest.h>

#include "core_fixtures.h"
#include "vinca/model/search.h"

using namespace vinca;
using coretest::At;
using coretest::Build;

TEST(CompareTexts, FlagTable) {
    struct Case {
        const char* first;
        const char* second;
        int32_t flags;
        int expected; // sign
    };
    const Case cases[] = {
        {"", "", 0, 0},
        {"", "a", CMP_IGNORE_CASE, -1},
        {"a", "", CMP_SUBSTRING, 1},
        {"Apple", "apple", 0, -1},
        {"Apple", "apple", CMP_IGNORE_CASE, 0},
        {"ÄRGER", "ärger", CMP_IGNORE_CASE, 0},
        {"10 apples", "9 apples", 0, -1},
        {"10 apples", "9 apples", CMP_NUMERIC_PREFIX, 1},
        {"9 b", "9 a", CMP_NUMERIC_PREFIX, 1},
        {"7 x", "apple", CMP_NUMERIC_PREFIX, -1},
        {"apple", "7 x", CMP_NUMERIC_PREFIX, 1},
        {"ab", "abc", CMP_SUBSTRING, -1}, // shorter first: -1 without searching
        {"xxabcxx", "abc", CMP_SUBSTRING, 0},
        {"xxABCxx", "abc", CMP_SUBSTRING | CMP_IGNORE_CASE, 0},
        {"xxabxx", "abc", CMP_SUBSTRING, 1},
        {"abcdef", "abc", CMP_PREFIX, 0},
        {"ABCdef", "abc", CMP_PREFIX | CMP_IGNORE_CASE, 0},
        {"ab", "abc", CMP_PREFIX | CMP_IGNORE_CASE, -1},
        {"abd", "abc", CMP_PREFIX, 1},
    };
    for (const Case& c : cases) {
        int r = CompareTexts(c.first, c.second, c.flags);
        EXPECT_EQ((r > 0) - (r < 0), c.expected) << c.first << " vs " << c.second << " flags " << c.flags;
    }
}

TEST(CompareTexts, NullAutomationTextsOrderFirst) {
    plat::Bstr a("a");
    EXPECT_EQ(CompareBstrs(nullptr, nullptr, 0), 0);
    EXPECT_LT(CompareBstrs(nullptr, a.get(), 0), 0);
    EXPECT_GT(CompareBstrs(a.get(), nullptr, 0), 0);
}

TEST(FindOptions, BitsMapToCompareFlags) {
    EXPECT_EQ(FindOptionsToFlags(0x1), CMP_IGNORE_CASE);
    EXPECT_EQ(FindOptionsToFlags(0x2), CMP_SUBSTRING);
    EXPECT_EQ(FindOptionsToFlags(0x4), CMP_PREFIX);
    EXPECT_EQ(FindOptionsToFlags(0x8), CMP_VALUES);
    EXPECT_EQ(FindOptionsToFlags(0x200), 0);
}

namespace {

struct PathFixture : ::testing::Test {
    CVincaEngine engine;
    CItemNode* top = engine.RootNode();
    void SetUp() override { Build(top, "A\n B\n  C\n D\nE\nA"); }
    CItem* Resolve(std::string_view path, CItemNode* start = nullptr, VResult* err = nullptr) {
        CNodeRef pos;
        VResult r = FindItemByPath(top, start ? start : top, path, "\\", pos);
        if (err) *err = r;
        return r == VE_OK ? pos.Item() : nullptr;
    }
};

} // namespace

TEST_F(PathFixture, FullPathRoundTripsFromAnyStart) {
    CItem* c = At(top, {0, 0, 0});
    std::string path = BuildFullPath(top, c, "\\");
    EXPECT_EQ(path, "\\A\\B\\C");
    EXPECT_EQ(Resolve(path), c);
    EXPECT_EQ(Resolve(path, At(top, {0, 0})->ChildNode()), c);
    EXPECT_EQ(BuildFullPath(top, At(top, {0}), "/"), "/A");
}

TEST_F(PathFixture, RelativeIndexAndParentComponents) {
    CItemNode* underA = At(top, {0})->ChildNode();
    EXPECT_EQ(Resolve("B\\C", underA), At(top, {0, 0, 0}));
    EXPECT_EQ(Resolve(".\\D", underA), At(top, {0, 1}));
    EXPECT_EQ(Resolve("..\\E", underA), At(top, {1}));
    EXPECT_EQ(Resolve("#0\\#1"), At(top, {0, 1}));
    EXPECT_EQ(Resolve("\\\\A\\\\B"), At(top, {0, 0})); // separators between components are skipped
    EXPECT_EQ(Resolve("A\\B\\..\\D"), At(top, {0, 1}));
    EXPECT_EQ(Resolve("A"), At(top, {0}));   // the first of two equal texts
    EXPECT_EQ(Resolve(".."), engine.Root()); // above the top is the top: its owning item
}

TEST_F(PathFixture, ErrorsOfLookups) {
    struct Case {
        const char* path;
        VResult expected;
    };
    const Case cases[] = {
        {"#3", VE_ITEM_NOT_FOUND}, // three top items: index 3 is past them
        {"#2", VE_OK},
        {"Missing", VE_ITEM_NOT_FOUND},
        {"A\\B\\C\\deeper", VE_ITEM_NOT_FOUND}, // C has no children
        {"E\\x", VE_ITEM_NOT_FOUND},
        {"#", VE_INVALID_ARGUMENT},
        {"#x", VE_ITEM_NOT_FOUND},
    };
    for (const Case& c : cases) {
        VResult r;
        Resolve(c.path, nullptr, &r);
        EXPECT_EQ(r, c.expected) << c.path;
    }
    CNodeRef pos;
    EXPECT_EQ(FindItemByPath(top, nullptr, "A", "\\", pos), VE_INVALID_ARGUMENT);
    EXPECT_EQ(FindItemByPath(top, top, "", "\\", pos), VE_INVALID_ARGUMENT);
    EXPECT_EQ(FindItemByPath(top, top, "A", "", pos), VE_INVALID_ARGUMENT);
}

TEST_F(PathFixture, VirtualParentsAnswerIndexesButNotTexts) {
    engine.SetVirtualParent(At(top, {1}), true);
    engine.SetVirtualCount(At(top, {1}), 4);
    VResult r;
    CItem* third = Resolve("E\\#2", nullptr, &r);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->IndexField(), 2);
    Resolve("E\\", nullptr, &r);
    EXPECT_EQ(r, VE_OK);
    third->SetText("named");
    Resolve("E\\named", nullptr, &r);
    EXPECT_EQ(r, VE_ITEM_NOT_FOUND);
}

TEST_F(PathFixture, TextExportIndentsByLevel) {
    std::string out;
    WriteNodeText(top, out);
    EXPECT_EQ(out, "A\r\n\tB\r\n\t\tC\r\n\tD\r\nE\r\nA\r\n");
    std::string one;
    WriteItemText(At(top, {0, 0}), one, false);
    EXPECT_EQ(one, "B\r\n");
}

TEST(CompareKey, TextsValuesAndTreeValues) {
    CVincaEngine engine;
    Build(engine.RootNode(), "Item");
    CItem* item = At(engine.RootNode(), {0});
    EXPECT_EQ(CompareKey(item, plat::Variant("item"), CMP_IGNORE_CASE, nullptr), 0);
    EXPECT_NE(CompareKey(item, plat::Variant(int32_t(3)), 0, nullptr), 0); // non-text: an empty text
    EXPECT_EQ(CompareKey(item, plat::Variant(int32_t(3)), CMP_VALUES, nullptr), -1); // no value holder
    item->GetItemData()->Values().SetInt(names::ObsoleteValue(), 3);
    EXPECT_EQ(CompareKey(item, plat::Variant(int32_t(3)), CMP_VALUES, nullptr), 0);
    int result = 1;
    EXPECT_FALSE(CompareTreeValue(item, "t", 0, names::Tag(), result));
    item->ItemData()->GetValueSet(names::Tree())->SetOrAddValue(names::Tag(), plat::Variant("tag7"));
    EXPECT_TRUE(
        CompareTreeValue(item, "TAG", CMP_PREFIX | CMP_IGNORE_CASE | CMP_VALUES, names::Tag(), result));
    EXPECT_EQ(result, 0);
}
