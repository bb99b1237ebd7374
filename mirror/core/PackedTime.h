#pragma once

// The FAT directory form of a file time, used to decide whether a file changed: local time
// packed into 32 bits, date high ((year-1980)<<9 | month<<5 | day), time low
// (hour<<11 | minute<<5 | seconds/2). Two files compare by the absolute difference of the
// packed values, so one unit is two seconds inside a minute and the difference jumps across
// minute, hour and day boundaries.

#include <cstdint>
#include <ctime>

namespace mirror {

int32_t packedFileTime(time_t seconds);
int32_t packedFileTime(int year, int month, int day, int hour, int minute, int second);
int64_t packedTimeDifference(int32_t a, int32_t b);

} // namespace mirror
