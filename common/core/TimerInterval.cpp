#include "TimerInterval.h"

#include <climits>
#include <cmath>

namespace core {

std::optional<long long> wholeNumberOf(const std::string& text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> intervalFromMinutes(double minutes)
{
    const double ms = std::trunc(minutes * 60000.0);
    if (!(ms >= 0.0) || ms > static_cast<double>(INT_MAX))
        return std::nullopt;
    return static_cast<int>(ms);
}

} // namespace core
