// Chains of attribute sources: the first source that knows a key answers.
#include <gtest/gtest.h>

#include "vinca/model/attr_sources.h"

namespace vinca {
namespace {

TEST(AttrSources, ChainAnswersFromTheFirstSourceAndStopsAtFifteen) {
    std::vector<Ref<CAttrSet>> sets;
    std::vector<std::unique_ptr<CAttrSetSource>> sources;
    for (int i = 0; i < 16; ++i) {
        sets.push_back(CAttrSet::New());
        sets.back()->SetOrAddValue(GlobalName("__Depth"), plat::Variant(int32_t(i)));
        sets.back()->SetOrAddValue(GlobalName(i == 15 ? "__OnlyLast" : "__Mid"), plat::Variant(int32_t(i)));
        sources.push_back(std::make_unique<CAttrSetSource>(sets.back().get()));
    }
    CRefList chain;
    chain.Add(nullptr); // not added
    for (const auto& s : sources)
        chain.Add(s.get());
    EXPECT_EQ(chain.Count(), 15u);
    EXPECT_EQ(chain.GetInt(GlobalName("__Depth")), 0);
    plat::Variant out(int32_t(77));
    EXPECT_FALSE(chain.Lookup(GlobalName("__OnlyLast"), out));
    EXPECT_EQ(out.lVal, 77); // left as it was
}

TEST(AttrSources, GetIntTakesOnlyIntegers) {
    Ref<CAttrSet> set = CAttrSet::New();
    set->SetOrAddValue(GlobalName("__I2"), plat::Variant(int16_t(-1)));
    set->SetOrAddValue(GlobalName("__Bool"), plat::Variant::boolean(true));
    set->SetOrAddValue(GlobalName("__R8"), plat::Variant(3.0));
    CAttrSetSource src(set.get());
    EXPECT_EQ(src.GetInt(GlobalName("__I2")), -1);
    EXPECT_EQ(src.GetInt(GlobalName("__Bool")), 0);
    EXPECT_EQ(src.GetInt(GlobalName("__R8")), 0);
    EXPECT_EQ(src.GetInt(GlobalName("__Missing")), 0);
}

TEST(AttrSources, InnerKeysAnswerPlainOnesAndDefaultsEndTheChain) {
    Ref<CAttrSet> def = CAttrSet::New();
    def->SetOrAddValue(GlobalName("__InnerBackColor"), plat::Variant(int32_t(0x42)));
    CInnerKeySource inner(def.get());
    ControlDefaultValues values;
    values.backColor = 0x10;
    values.transparentBackground = true;
    values.defMultiLine = true;
    CControlDefaults defaults(values);
    CRefList chain;
    chain.Add(&inner);
    chain.Add(&defaults);
    EXPECT_EQ(chain.GetInt(GlobalName("__BackColor")), 0x42);
    def->RemoveEntry(GlobalName("__InnerBackColor"));
    EXPECT_EQ(chain.GetInt(GlobalName("__BackColor")), 0x10 | 0x2000000);
    EXPECT_EQ(chain.GetInt(GlobalName("__Multiline")), 1);
    EXPECT_EQ(chain.GetInt(GlobalName("__InnerGrdColorTo")), 0xFF0000);
    plat::Variant out;
    EXPECT_FALSE(chain.Lookup(GlobalName("__Picture"), out));
}

} // namespace
} // namespace vinca
