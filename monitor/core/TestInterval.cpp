#include "monitor/core/TestInterval.h"

#include "common/core/TimerInterval.h"

#include <QLocale>
#include <QString>

#include <climits>

namespace monitor {

namespace {

constexpr int OneMinute = 60000;

int clampedInterval(double minutes)
{
    return core::intervalFromMinutes(minutes).value_or(minutes > 0 ? INT_MAX : OneMinute);
}

} // namespace

int testTimerInterval(const std::string& text, bool allowFraction)
{
    if (allowFraction) {
        bool ok = false;
        const double minutes = QLocale().toDouble(QString::fromLocal8Bit(text.data(), qsizetype(text.size())), &ok);
        if (!ok || !(minutes > 0))
            return OneMinute;
        return clampedInterval(minutes);
    }
    const bool signed_ = !text.empty() && (text[0] == '-' || text[0] == '+');
    const auto digits = core::wholeNumberOf(signed_ ? text.substr(1) : text);
    if (!digits)
        return OneMinute;
    if (text[0] == '-')
        return *digits == 0 ? 0 : OneMinute;
    return clampedInterval(static_cast<double>(*digits));
}

} // namespace monitor
