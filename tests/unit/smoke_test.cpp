#include <gtest/gtest.h>
#include "core/format.h"
TEST(Smoke, Traffic) {
    EXPECT_EQ(rv::formatTraffic(0, false).view(), "     0");
}
