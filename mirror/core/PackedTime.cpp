#include "PackedTime.h"

#include <cstdlib>

namespace mirror {

int32_t packedFileTime(int year, int month, int day, int hour, int minute, int second)
{
    const int64_t date = (int64_t(year - 1980) << 9) + (int64_t(month) << 5) + day;
    const int64_t time = (int64_t(hour) << 11) + (int64_t(minute) << 5) + second / 2;
    // Years outside 1980..2107 do not fit; they wrap as the 32-bit field would.
    return static_cast<int32_t>(static_cast<uint32_t>((date << 16) + time));
}

int32_t packedFileTime(time_t seconds)
{
    tm local {};
    localtime_r(&seconds, &local);
    return packedFileTime(
        local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

int64_t packedTimeDifference(int32_t a, int32_t b)
{
    return std::llabs(int64_t(a) - int64_t(b));
}

} // namespace mirror
