#include "support/rom_runner.h"

#include <gtest/gtest.h>

using kestrel::testing::RomRunner;

TEST(Smoke, DrawsDigitZero) {
    RomRunner r;
    r.load({0x6A0A, 0x6B05, 0x6000, 0xF029, 0xDAB5, 0x120A});
    r.resetAndRun(2000);
    EXPECT_TRUE(r.lit(10 + 1, 5));
    EXPECT_EQ(r.state().V[15], 0);
}
