#include "mirror/core/PackedTime.h"

#include <gtest/gtest.h>

using namespace mirror;

TEST(PackedTime, PacksDateHighAndTwoSecondUnitsLow)
{
    EXPECT_EQ(packedFileTime(1980, 1, 1, 0, 0, 0), (1 << 5 | 1) << 16);
    EXPECT_EQ(packedFileTime(2005, 3, 14, 9, 30, 59), ((25 << 9 | 3 << 5 | 14) << 16) | (9 << 11 | 30 << 5 | 29));
}

TEST(PackedTime, DifferenceJumpsAcrossBoundaries)
{
    const auto at = [](int h, int m, int s) { return packedFileTime(2020, 6, 1, h, m, s); };
    EXPECT_EQ(packedTimeDifference(at(12, 0, 58), at(12, 1, 2)), 4);
    EXPECT_EQ(packedTimeDifference(at(12, 59, 58), at(13, 0, 0)), 131);
    EXPECT_EQ(packedTimeDifference(at(12, 0, 0), at(13, 0, 0)), 2048);
    EXPECT_EQ(packedTimeDifference(at(12, 0, 0), at(12, 0, 1)), 0); // one unit is two seconds
    EXPECT_EQ(packedTimeDifference(at(12, 0, 20), at(12, 0, 0)), 10);
}

TEST(PackedTime, FileTimesUseLocalTime)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(packedFileTime(time_t(0)), packedFileTime(1970, 1, 1, 0, 0, 0));
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(packedFileTime(time_t(1118138400)), packedFileTime(2005, 6, 7, 12, 0, 0)); // 10:00 UTC, summer time
    unsetenv("TZ");
    tzset();
}
