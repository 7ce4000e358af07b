#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>

#include "core_fixtures.h"
#include "vinca/model/attr.h"
#include "vinca/model/containers.h"
#include "vinca/model/names.h"
#include "vinca/model/pool.h"

using namespace vinca;
using coretest::Num;

namespace {

std::string Ranges(const CRangeSet& s) {
    std::string out;
    for (const auto& r : s.Ranges()) {
        if (!out.empty()) out += ',';
        out += std::to_string(r.first);
        out += Num("-", r.last);
    }
    return out;
}

} // namespace

TEST(PtrArray, EdgesOfIndexingAndCapacity) {
    CVincaPtrArray a;
    EXPECT_EQ(a.GetAt(-1), nullptr);
    int x = 1, y = 2, z = 3;
    EXPECT_EQ(a.InsertAt(-5, &x), VE_OK);
    EXPECT_EQ(a.InsertAt(99, &z), VE_OK);
    EXPECT_EQ(a.InsertAt(1, &y), VE_OK);
    EXPECT_EQ(a.GetAt(-1), &z);
    EXPECT_EQ(a.GetAt(1), &y);
    EXPECT_EQ(a.SetAt(3, &x), nullptr);
    EXPECT_EQ(a.RemoveAt(3), VE_VIRTUAL_NODE);
    EXPECT_EQ(a.RemoveAt(0), VE_OK);
    EXPECT_EQ(a.IndexOf(&z), 1);
    a.SetCapacity(0); // never below the count
    EXPECT_GE(a.GetCapacity(), 2);
    a.SetCapacity(5000000);
    EXPECT_EQ(a.GetCapacity(), CVincaPtrArray::kMaxCapacity);
}

TEST(PtrArray, DeleteGoesThroughTheReleaseCallback) {
    static int released = 0;
    CVincaPtrArray a(5, 5, [](void* p) { released += *static_cast<int*>(p); });
    int one = 1, ten = 10;
    a.InsertAt(-1, &one);
    a.InsertAt(-1, &ten);
    EXPECT_EQ(a.DeleteAt(-1), VE_OK);
    EXPECT_EQ(released, 10);
    a.DeleteElements();
    EXPECT_EQ(released, 11);
    EXPECT_EQ(a.GetCount(), 0);
}

TEST(RangeSet, AddMergesOverlapsButNotTouchingRanges) {
    CRangeSet s;
    s.Add(1, 6);
    s.Add(5, 7);
    EXPECT_EQ(Ranges(s), "1-7");
    CRangeSet t;
    t.Add(1, 4);
    t.Add(5, 7);
    EXPECT_EQ(Ranges(t), "1-4,5-7");
    t.Add(0, 20);
    EXPECT_EQ(Ranges(t), "0-20");
    EXPECT_EQ(t.Count(), 21);
}

TEST(RangeSet, InsertAndRemoveShiftIndexes) {
    CRangeSet s;
    s.Add(2, 5);
    s.OnItemsInserted(3, 4);
    EXPECT_EQ(Ranges(s), "2-2,5-7");
    CRangeSet r;
    r.Add(2, 5);
    r.OnItemsRemoved(3, 4);
    EXPECT_EQ(Ranges(r), "2-3");
    r.OnItemsRemoved(0, 10);
    EXPECT_EQ(Ranges(r), "");
}

TEST(RangeSet, RemoveTruncateAndQueries) {
    CRangeSet s;
    s.Add(0, 9);
    s.Remove(3, 4);
    EXPECT_EQ(Ranges(s), "0-2,5-9");
    EXPECT_EQ(s.CountIn(2, 6), 3);
    EXPECT_EQ(s.NthIn(2, 9, 1), 5);
    EXPECT_EQ(s.NthIn(2, 9, 99), -1);
    EXPECT_EQ(s.FindRange(4), -1);
    EXPECT_EQ(s.FindRange(7), 1);
    s.Truncate(7);
    EXPECT_EQ(Ranges(s), "0-2,5-6");
    EXPECT_FALSE(s.Contains(8));
    s.Add(0, -1); // to the end of the index space
    EXPECT_EQ(Ranges(s), "0-6");
    s.Remove(0, -1);
    EXPECT_EQ(s.Count(), 0);
}

namespace {

struct IntTable : TKeyedTable<int> {
    using TKeyedTable::TKeyedTable;
    int Compare(const void* a, const void* b) const override {
        return *static_cast<const int*>(a) - *static_cast<const int*>(b);
    }
    const void* KeyOf(const void* e) const override { return e; }
};

} // namespace

TEST(KeyedTable, BlockSizeLimitsAndIndexing) {
    EXPECT_EQ(IntTable(0, 0).BlockSize(), 1);
    EXPECT_EQ(IntTable(20000, 0).BlockSize(), 10000);
    IntTable t(1, 1);
    int v[] = {5, 1, 3};
    for (int& x : v)
        EXPECT_GE(t.InsertSorted(&x, false), 0);
    EXPECT_EQ(t.InsertSorted(&v[1], false), -1); // no duplicates
    EXPECT_EQ(*t.GetAt(0), 1);
    EXPECT_EQ(*t.GetAt(-1), 5);
    int key = 3, missing = 4;
    EXPECT_EQ(t.IndexOfKey(&key), 1);
    int32_t pos;
    EXPECT_FALSE(t.Find(&missing, pos));
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(t.RemoveAt(t.GetCount(), false), VE_VIRTUAL_NODE);
    EXPECT_EQ(t.RemoveAt(-1, false), VE_OK);
    EXPECT_EQ(t.GetCount(), 2);
    EXPECT_EQ(*t.GetAt(-1), 3);
}

TEST(Names, InterningIgnoresCaseAndKeepsReservedOrder) {
    const CVincaName* fore = GlobalName("__ForeColor");
    EXPECT_EQ(GlobalName("__forecolor"), fore);
    EXPECT_EQ(fore->Text(), "__ForeColor");
    // Reserved keys are interned first, in their fixed order.
    EXPECT_LT(fore->Serial(), GlobalName("__BackColor")->Serial());
    EXPECT_LT(GlobalName("__InnerPicWidth")->Serial(), GlobalName("some user value")->Serial());

    CVincaNameTable local;
    EXPECT_EQ(local.Intern("__TAG"), names::Tag()); // the global table answers first
    const CVincaName* mine = local.Intern("only here");
    EXPECT_EQ(local.Find("ONLY HERE"), mine);
    EXPECT_EQ(GlobalNameTable().Find("only here"), nullptr);
}

TEST(Names, LookupAgreesWithTheOrderedTable) {
    CVincaNameTable local;
    std::vector<const CVincaName*> made;
    for (int i = 0; i < 200; ++i) // enough to grow the lookup several times
        made.push_back(local.Intern("Key\xC3\x84" + std::to_string(i * 7919 % 1000)));
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(local.Find("kEY\xC3\xA4" + std::to_string(i * 7919 % 1000)), made[i]) << i;
    EXPECT_EQ(local.Find("kEY\xC3\xA4" + std::to_string(1000)), nullptr);
    EXPECT_EQ(local.GetCount(), 200);
    for (int32_t i = 1; i < local.GetCount(); ++i)
        EXPECT_LT(CompareNameTexts(local.GetAt(i - 1)->Text(), local.GetAt(i)->Text()), 0);
    // Bad bytes read as one replacement character each, whichever they are.
    const CVincaName* bad = local.Intern("Odd\xFF");
    EXPECT_EQ(local.Intern("ODD\xFE"), bad);
    EXPECT_EQ(local.Find("odd"), nullptr);
}

TEST(Names, InternVariantTakesTextOrIndex) {
    CVincaNameTable local;
    const CVincaName* a = local.Intern("alpha");
    const CVincaName* b = local.Intern("beta");
    EXPECT_EQ(local.InternVariant(plat::Variant("ALPHA")), a);
    EXPECT_EQ(local.InternVariant(plat::Variant::ansi("beta")), b);
    EXPECT_EQ(local.InternVariant(plat::Variant(int32_t(0))), a);
    EXPECT_EQ(local.InternVariant(plat::Variant(int32_t(-1))), b);
    EXPECT_EQ(local.InternVariant(plat::Variant(int32_t(7))), nullptr);
}

namespace {

struct SetOwner : IAttrSetOwner {
    std::vector<std::string> log;
    void OnAttrChanged(CAttrSet&, const CVincaName* n) override {
        log.push_back(std::string("changed ") + (n ? n->Text() : "*"));
    }
    void OnAttrRemoved(CAttrSet&, const CVincaName* n) override {
        log.push_back(std::string("removed ") + (n ? n->Text() : "*"));
    }
};

} // namespace

TEST(AttrSet, EmptyValueDropsTheEntryAndTellsTheOwner) {
    Ref<CAttrSet> set = CAttrSet::New();
    SetOwner owner;
    set->SetOwner(&owner);
    const CVincaName* n = GlobalName("Colour");
    EXPECT_EQ(set->SetOrAddValue(n, plat::Variant(int32_t(5))), VE_OK);
    EXPECT_EQ(set->GetInt(n), 5);
    Ref<CAttrEntry> entry(set->Find(n)); // held across its own removal
    entry->SetValue(plat::Variant());
    EXPECT_EQ(set->Find(n), nullptr);
    EXPECT_EQ(entry->Owner(), nullptr);
    EXPECT_EQ(owner.log, (std::vector<std::string>{"changed Colour", "changed Colour", "changed Colour",
                                                   "removed Colour"}));
    EXPECT_EQ(set->GetInt(n), 0); // absent reads 0
}

TEST(AttrSet, EntryRemovingItselfInItsSetterStaysAlive) {
    // The set's owner drops the entry as soon as it hears of the change,
    // while the entry's own setter is still running.
    struct Dropper : IAttrSetOwner {
        void OnAttrChanged(CAttrSet& s, const CVincaName* n) override {
            if (n && s.Find(n)) s.RemoveEntry(n);
        }
    } dropper;
    Ref<CAttrSet> set = CAttrSet::New();
    const CVincaName* n = GlobalName("Volatile");
    CAttrEntry* entry = set->GetOrAdd(n);
    set->SetOwner(&dropper);
    EXPECT_EQ(entry->SetValue(plat::Variant("x")), plat::S_OK); // would touch freed memory otherwise
    EXPECT_EQ(set->GetCount(), 0);
}

TEST(AttrSet, CopyIsDeepAndNestedLookupsWork) {
    Ref<CAttrSet> src = CAttrSet::New();
    const CVincaName* cell = GlobalName("T5");
    CAttrEntry* e = src->GetOrAdd(cell);
    e->SetValue(plat::Variant("text"));
    e->NestedSet()->SetInt(names::ForeColor(), 0xFF);
    Ref<CAttrSet> copy = CAttrSet::New();
    ASSERT_EQ(copy->CopyFrom(*src), VE_OK);
    e->NestedSet()->SetInt(names::ForeColor(), 1);
    CAttrEntry* c = copy->Find(cell);
    ASSERT_NE(c, nullptr);
    plat::Variant v;
    EXPECT_TRUE(c->GetValue(names::ForeColor(), v));
    EXPECT_EQ(v.to_i4(), 0xFF);
    EXPECT_TRUE(c->GetValue(names::Value(), v));
    EXPECT_EQ(v.to_utf8(), "text");
    EXPECT_FALSE(c->GetValue(GlobalName("nothing"), v));
}

TEST(Names, InterningFromSeveralThreadsGivesOneName) {
    std::vector<const CVincaName*> seen(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < 200; ++i)
                GlobalName(Num("threaded ", i));
            seen[t] = GlobalName("THREADED 7");
        });
    for (auto& th : threads)
        th.join();
    for (const CVincaName* n : seen)
        EXPECT_EQ(n, seen[0]);
}

TEST(LinkPtr, KeepsAReferenceOnlyWhileTheSourceLives) {
    struct Source : CLinkSource {
        int refs = 0;
        bool alive = true;
        int32_t LinkAddRef() override { return ++refs; }
        int32_t LinkRelease() override { return --refs; }
        bool IsAlive() const override { return alive; }
    } live, dead;
    dead.alive = false;
    CLinkPtr link;
    EXPECT_EQ(link.Assign(&live), 1);
    EXPECT_EQ(link.Get(), &live);
    EXPECT_EQ(link.Assign(&dead), 0); // stored without a reference
    EXPECT_EQ(live.refs, 0);
    EXPECT_EQ(link.Get(), nullptr);
    EXPECT_EQ(link.Raw(), &dead);
    EXPECT_EQ(link.Release(), 0);
    EXPECT_EQ(dead.refs, 0);
    link.Assign(&live);
    live.alive = false; // the source dies while linked: nothing is released into it
    link.Release();
    EXPECT_EQ(live.refs, 1);
}

TEST(Names, ColumnLetters) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "A"}, {25, "Z"}, {26, "AA"}, {27, "AB"}, {701, "ZZ"}, {702, "AAA"}, {-1, ""},
    };
    for (const auto& [n, text] : cases)
        EXPECT_EQ(ColumnLetters(n), text) << n;
}

TEST(SlotPool, SlotsCrossThreadsAndOutliveTheirThread) {
    static CSlotPool& pool = *new CSlotPool(24); // pools live as long as the process
    // Made on a thread that ends, freed here, made again here.
    std::vector<void*> made;
    std::thread([&] {
        for (int i = 0; i < 1000; ++i)
            made.push_back(pool.Allocate());
    }).join();
    std::set<void*> distinct(made.begin(), made.end());
    EXPECT_EQ(distinct.size(), made.size());
    EXPECT_EQ(distinct.count(nullptr), 0u);
    for (void* p : made)
        pool.Free(p);
    // Freed slots are handed out again (the last freed first), and a slot
    // in use is never handed out twice.
    void* again = pool.Allocate();
    EXPECT_EQ(again, made.back());
    void* other = pool.Allocate();
    EXPECT_NE(other, again);
    std::memset(again, 0xAB, 24); // the whole slot is usable
    pool.Free(again);
    pool.Free(other);

    // A thread that ends gives its slots back: another thread reuses them
    // instead of taking a new slab.
    void* fromThread = nullptr;
    std::thread([&] {
        fromThread = pool.Allocate();
        pool.Free(fromThread);
    }).join();
    void* reused = nullptr;
    std::thread([&] {
        reused = pool.Allocate();
        pool.Free(reused);
    }).join();
    EXPECT_EQ(reused, fromThread);
}
