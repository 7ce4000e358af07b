#include "platform/base/handle_table.h"

#include <gtest/gtest.h>

TEST(HandleTable, HandlesAreNonZeroAndNotReusedAfterRemoval) {
    plat::HandleTable<int> table;
    int a = 1, b = 2;
    auto ha = table.add(&a);
    auto hb = table.add(&b);
    EXPECT_NE(ha, 0u);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(table.get(ha), &a);
    EXPECT_EQ(table.remove(ha), &a);
    EXPECT_EQ(table.get(ha), nullptr);
    EXPECT_EQ(table.remove(ha), nullptr);
    auto hc = table.add(&a);
    EXPECT_NE(hc, ha);
    EXPECT_FALSE(table.valid(0));
    EXPECT_FALSE(table.valid(0xDEADBEEF));
}
