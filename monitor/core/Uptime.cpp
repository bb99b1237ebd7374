#include "monitor/core/Uptime.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace monitor {

void Tally::add(bool ok, int64_t probeMs)
{
    ++tests;
    failures += ok ? 0 : 1;
    totalMs += probeMs;
    worstMs = std::max(worstMs, probeMs);
}

Tally& Tally::operator+=(const Tally& other)
{
    tests += other.tests;
    failures += other.failures;
    totalMs += other.totalMs;
    worstMs = std::max(worstMs, other.worstMs);
    return *this;
}

std::optional<int64_t> Tally::uptimeTenths() const
{
    if (tests <= 0)
        return std::nullopt;
    return (tests - failures) * 1000 / tests;
}

std::optional<int64_t> Tally::meanMs() const
{
    if (tests <= 0)
        return std::nullopt;
    return (totalMs + tests / 2) / tests;
}

std::string uptimeText(const Tally& tally)
{
    const auto tenths = tally.uptimeTenths();
    if (!tenths)
        return "-";
    return std::to_string(*tenths / 10) + "." + std::to_string(*tenths % 10) + "%";
}

std::string meanProbeText(const Tally& tally)
{
    const auto mean = tally.meanMs();
    return mean ? std::to_string(*mean) + " ms" : "-";
}

int64_t hourOf(int64_t unixMs)
{
    // Floor division: times before 1970 stay in their hour.
    return (unixMs >= 0 ? unixMs : unixMs - HourMs + 1) / HourMs;
}

int64_t localDayOf(int64_t unixMs)
{
    const std::time_t seconds = static_cast<std::time_t>((unixMs >= 0 ? unixMs : unixMs - 999) / 1000);
    std::tm local {};
    ::localtime_r(&seconds, &local);
    const std::chrono::year_month_day date { std::chrono::year(local.tm_year + 1900),
        std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
        std::chrono::day(static_cast<unsigned>(local.tm_mday)) };
    return std::chrono::sys_days(date).time_since_epoch().count();
}

Windows windowsAt(int64_t nowMs)
{
    const int64_t today = localDayOf(nowMs);
    return { hourOf(nowMs) - 23, today, today - (DaysShown - 1) };
}

void addHour(HistorySummary& summary, const Windows& windows, int64_t hour, const Tally& tally)
{
    if (hour >= windows.firstHour)
        summary.day += tally;
}

void addDay(HistorySummary& summary, const Windows& windows, int64_t day, const Tally& tally)
{
    if (day < windows.firstDay || day > windows.today)
        return;
    summary.month += tally;
    if (day > windows.today - 7)
        summary.week += tally;
    summary.days[static_cast<size_t>(day - windows.firstDay)] += tally;
}

void addRecent(HistorySummary& summary, bool ok, int64_t probeMs, int64_t atMs)
{
    Tally one;
    one.add(ok, probeMs);
    summary.day += one;
    summary.week += one;
    summary.month += one;
    summary.days.back() += one;
    if (!summary.lastOk || *summary.lastOk != ok)
        summary.changedMs = atMs;
    summary.lastOk = ok;
}

} // namespace monitor
