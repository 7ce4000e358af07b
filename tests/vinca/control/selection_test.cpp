// The selection members over the tree's own marks: single and multiple
// selection, selecting without moving the focus, the selection following
// its items through inserts, removals and sorts, and copying it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "vinca/control/control.h"

using plat::Variant;

namespace {

Variant I4(int32_t v) {
    return Variant(v);
}
Variant Bool(bool v) {
    return Variant::boolean(v);
}

class Selection : public ::testing::Test {
  protected:
    void SetUp() override { ctl = make(); }

    static plat::ComPtr<vinca::CVincaCtrl> make() {
        auto c = plat::make_object<vinca::CVincaCtrl>();
        EXPECT_EQ(c->InitNew(), plat::S_OK);
        return c;
    }

    Variant get(std::string_view name, std::vector<Variant> args = {}, vinca::CVincaCtrl* on = nullptr) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_get(on ? on : ctl.get(), name, v, args, &e), plat::S_OK)
            << name << ": " << e.number;
        return v;
    }
    int32_t num(std::string_view name, std::vector<Variant> args = {}) { return get(name, args).to_i4(); }
    bool flag(std::string_view name, std::vector<Variant> args) { return get(name, args).boolVal != 0; }
    void put(std::string_view name, const Variant& value, std::vector<Variant> args = {},
             vinca::CVincaCtrl* on = nullptr) {
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_put(on ? on : ctl.get(), name, value, args, &e), plat::S_OK)
            << name << ": " << e.number;
    }
    uint16_t put_error(std::string_view name, const Variant& value, std::vector<Variant> args) {
        plat::CallError e;
        return plat::dispatch_put(ctl.get(), name, value, args, &e) == plat::S_OK ? 0 : e.number;
    }
    uint16_t get_error(std::string_view name, std::vector<Variant> args = {}) {
        Variant v;
        plat::CallError e;
        return plat::dispatch_get(ctl.get(), name, v, args, &e) == plat::S_OK ? 0 : e.number;
    }
    Variant call(std::string_view name, std::vector<Variant> args = {}, vinca::CVincaCtrl* on = nullptr) {
        Variant v;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_call(on ? on : ctl.get(), name, args, &v, &e), plat::S_OK)
            << name << ": " << e.number;
        return v;
    }
    // a (a1, a2), b, c under method 0: indexes 0..4.
    void build() {
        call("AddItem", {Variant("a")});
        call("AddItem", {Variant("a1"), I4(0)});
        call("AddItem", {Variant("a2"), I4(0)});
        call("AddItem", {Variant("b")});
        call("AddItem", {Variant("c")});
        ASSERT_EQ(num("ListCount"), 5);
    }
    // The texts of the selected rows, in row order, as the members tell them.
    std::string selected() {
        std::string out;
        const int32_t n = num("SelItemCount");
        for (int32_t i = 0; i < n; ++i)
            out += (out.empty() ? "" : " ") + get("List", {I4(num("SelItemIndex", {I4(i)}))}).to_utf8();
        EXPECT_EQ(num("SelItemIndex", {I4(n)}), -1);
        return out;
    }

    plat::ComPtr<vinca::CVincaCtrl> ctl;
};

TEST_F(Selection, WithoutMultiSelectTheSelectionIsTheCurrentItem) {
    build();
    EXPECT_EQ(num("SelItemCount"), 0);
    put("Selected", Bool(true), {I4(3)});
    EXPECT_EQ(num("ListIndex"), 3);
    EXPECT_EQ(num("SelItemCount"), 1);
    EXPECT_EQ(num("SelItemIndex", {I4(0)}), 3);
    EXPECT_EQ(num("SelItemIndex", {I4(1)}), -1);
    EXPECT_TRUE(flag("Selected", {I4(3)}));
    EXPECT_FALSE(flag("Selected", {I4(2)}));
    // Another item: the one selection moves there.
    put("SelectEx", Bool(true), {I4(4)});
    EXPECT_EQ(num("ListIndex"), 4);
    EXPECT_FALSE(flag("Selected", {I4(3)}));
    // Deselecting another item changes nothing; the current one leaves none.
    put("Selected", Bool(false), {I4(1)});
    EXPECT_EQ(num("ListIndex"), 4);
    put("Selected", Bool(false), {I4(4)});
    EXPECT_EQ(num("ListIndex"), -1);
    EXPECT_EQ(num("SelItemCount"), 0);
}

TEST_F(Selection, SelectExSelectsWithoutMovingTheFocusSelectedMovesIt) {
    build();
    put("MultiSelect", Variant(int16_t(2)));
    for (int32_t i : {4, 0, 2})
        put("SelectEx", Bool(true), {I4(i)});
    EXPECT_EQ(num("ListIndex"), -1);
    EXPECT_EQ(selected(), "a a2 c");
    EXPECT_TRUE(flag("Selected", {I4(2)}));
    EXPECT_FALSE(flag("Selected", {I4(1)}));
    put("SelectEx", Bool(false), {I4(0)});
    EXPECT_EQ(selected(), "a2 c");

    put("Selected", Bool(true), {I4(3)});
    EXPECT_EQ(num("ListIndex"), 3);
    EXPECT_EQ(selected(), "a2 b c");
    // Selecting twice counts once.
    put("Selected", Bool(true), {I4(3)});
    EXPECT_EQ(num("SelItemCount"), 3);
}

TEST_F(Selection, BadIndexesAndWriteOnlyMember) {
    build();
    put("MultiSelect", Variant(int16_t(1)));
    EXPECT_EQ(put_error("SelectEx", Bool(true), {I4(5)}), 381);
    EXPECT_EQ(put_error("Selected", Bool(true), {I4(-1)}), 381);
    EXPECT_EQ(get_error("SelectEx", {I4(0)}), 394);
    EXPECT_FALSE(flag("Selected", {I4(99)})); // reads are neutral
    EXPECT_FALSE(flag("Selected", {I4(-1)}));
    EXPECT_EQ(num("SelItemIndex", {I4(-1)}), -1);
    EXPECT_EQ(num("SelItemCount"), 0);
}

// The marks belong to the items, not to positions: items inserted before,
// removed beside and sorted around a selected item leave it selected.
TEST_F(Selection, FollowsItsItemsThroughInsertsRemovalsAndSorts) {
    build();
    put("MultiSelect", Variant(int16_t(2)));
    put("SelectEx", Bool(true), {I4(2)}); // a2
    put("SelectEx", Bool(true), {I4(4)}); // c
    put("InsertItem", Variant("first"), {I4(0)});
    EXPECT_EQ(selected(), "a2 c");
    call("AddItem", {Variant("a0"), I4(1)});   // a gets a third child after a2
    put("InsertItem", Variant("a-"), {I4(2)}); // before a1
    EXPECT_EQ(selected(), "a2 c");
    call("RemoveItem", {I4(2)}); // a-
    call("RemoveItem", {I4(0)}); // first
    EXPECT_EQ(selected(), "a2 c");
    put("ItemSorted", Variant(int16_t(3)), {I4(0)}); // a's children descending: a2 a1 a0
    EXPECT_EQ(get("List", {I4(1)}).to_utf8(), "a2");
    EXPECT_EQ(selected(), "a2 c");
    EXPECT_TRUE(flag("Selected", {I4(1)}));
    EXPECT_FALSE(flag("Selected", {I4(2)}));
    // A closed item's children have no rows: they are not counted until it opens again.
    put("Expand", Bool(false), {I4(0)});
    EXPECT_EQ(selected(), "c");
    put("Expand", Bool(true), {I4(0)});
    EXPECT_EQ(selected(), "a2 c");
    // Level changes move the item, its selection with it.
    put("Shift", Variant(int16_t(0)), {I4(1)}); // a2 up beside a
    EXPECT_EQ(selected(), "a2 c");
    put("Shift", Variant(int16_t(1)), {I4(1)}); // and back under a
    EXPECT_EQ(selected(), "a2 c");
    // Removing a subtree takes its selection with it.
    call("RemoveItem", {I4(0)});
    EXPECT_EQ(selected(), "c");
}

TEST_F(Selection, FindOverTheSelectionAndCopyIt) {
    build();
    put("MultiSelect", Variant(int16_t(2)));
    for (int32_t i : {0, 2, 4})
        put("SelectEx", Bool(true), {I4(i)});
    EXPECT_EQ(call("FindItem", {Variant("c"), Variant(int16_t(0x200)), I4(0), I4(4)}).lVal, 4);
    EXPECT_EQ(call("FindItem", {Variant("b"), Variant(int16_t(0x200)), I4(0), I4(4)}).lVal, -1);
    EXPECT_EQ(call("FindItem", {Variant("b"), Variant(int16_t(0)), I4(0), I4(4)}).lVal, 3);

    // a comes with its subtree, so a2 is not copied twice.
    const int32_t buffer = num("CopySelected");
    ASSERT_NE(buffer, 0);
    auto other = make();
    put("Add", I4(buffer), {I4(-1)}, other.get());
    call("FreeBuffer", {I4(buffer)});
    std::vector<std::string> texts;
    for (int32_t i = 0; i < get("ListCount", {}, other.get()).to_i4(); ++i)
        texts.push_back(get("List", {I4(i)}, other.get()).to_utf8());
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "a1", "a2", "c"}));
    EXPECT_EQ(get("Shift", {I4(1)}, other.get()).to_i4(), 1);
    EXPECT_EQ(get("Shift", {I4(3)}, other.get()).to_i4(), 0);
    // Copies are never selected.
    EXPECT_EQ(get("SelItemCount", {}, other.get()).to_i4(), 0);

    for (int32_t i : {0, 2, 4})
        put("SelectEx", Bool(false), {I4(i)});
    Variant v;
    plat::CallError e;
    EXPECT_NE(plat::dispatch_get(ctl.get(), "CopySelected", v, {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 20110);
}

} // namespace
