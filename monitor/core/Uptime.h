#pragma once

// The arithmetic of uptime: sums of tests, and the windows they are read over.
//
// Uptime is the share of tests in a window that were OK. "24 h" counts the whole UTC hours
// that began in the last 24 hours (the present one included); "7 d" and "30 d" count local
// calendar days, today and the 6 or 29 days before it, so the 30 days are the 30 bars of the
// status page. Percentages are cut, not rounded, to one decimal: 100.0% means no failure at all.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace monitor {

struct Tally
{
    int64_t tests = 0;
    int64_t failures = 0;
    int64_t totalMs = 0; // probe times added up
    int64_t worstMs = 0;

    void add(bool ok, int64_t probeMs);
    Tally& operator+=(const Tally& other);
    bool operator==(const Tally&) const = default;

    // Tenths of a percent of OK tests, cut; nothing without tests.
    std::optional<int64_t> uptimeTenths() const;
    std::optional<int64_t> meanMs() const;
};

// "99.8%", or "-" without tests.
std::string uptimeText(const Tally& tally);
// "12 ms", or "-" without tests.
std::string meanProbeText(const Tally& tally);

inline constexpr int DaysShown = 30;
inline constexpr int64_t HourMs = 3600 * 1000;

struct HistorySummary
{
    Tally day; // 24 h
    Tally week; // 7 d
    Tally month; // 30 d
    std::array<Tally, DaysShown> days {}; // days[DaysShown - 1] is today
    std::optional<bool> lastOk; // the last result; nothing when there is none
    int64_t changedMs = 0; // when a test first found the present state
};

// The UTC hour of a Unix time in milliseconds (hours since 1970).
int64_t hourOf(int64_t unixMs);
// The local calendar day of a Unix time in milliseconds (days since 1970-01-01, local time).
int64_t localDayOf(int64_t unixMs);

// The first hour of "24 h" and the first day of "30 d" at `nowMs`.
struct Windows
{
    int64_t firstHour;
    int64_t today;
    int64_t firstDay; // today - 29
};
Windows windowsAt(int64_t nowMs);

// Adds one hour's or one day's sums to the windows they fall in.
void addHour(HistorySummary& summary, const Windows& windows, int64_t hour, const Tally& tally);
void addDay(HistorySummary& summary, const Windows& windows, int64_t day, const Tally& tally);
// Adds a result that is not in the file yet (it falls in every window).
void addRecent(HistorySummary& summary, bool ok, int64_t probeMs, int64_t atMs);

} // namespace monitor
