#include "RunProgress.h"

#include "mirror/core/StatusOutlets.h"

#include <cstdio>

namespace mirror {

namespace {

constexpr auto ReportInterval = std::chrono::milliseconds(100);

std::string bytesText(double bytes)
{
    const char* const units[] = { "B", "kB", "MB", "GB", "TB" };
    int unit = 0;
    while (bytes >= 1000 && unit < 4) {
        bytes /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

} // namespace

std::string progressText(const RunProgress& progress)
{
    const double rate = progress.seconds > 0 ? progress.bytesCopied / progress.seconds : 0;
    return std::to_string(progress.items) + " items, " + bytesText(static_cast<double>(progress.bytesCopied))
        + " copied, " + bytesText(rate) + "/s";
}

ProgressTracker::ProgressTracker(StatusOutlets& outlets)
    : m_outlets(outlets)
{
}

void ProgressTracker::startRun(int pairCount)
{
    m_progress = RunProgress {};
    m_progress.pairCount = pairCount;
    m_levels.clear();
    m_started = std::chrono::steady_clock::now();
    m_lastReport = {};
}

void ProgressTracker::startPair(int pairNumber, const std::string& pair)
{
    m_progress.pairNumber = pairNumber;
    m_progress.pair = pair;
    m_progress.folder.clear();
    m_levels.clear();
    report(0);
}

void ProgressTracker::enterFolder(const std::string& folder, size_t entries)
{
    m_progress.folder = folder;
    m_levels.emplace_back(0, entries);
    tick();
}

void ProgressTracker::at(size_t index)
{
    if (!m_levels.empty())
        m_levels.back().first = index;
}

void ProgressTracker::leaveFolder()
{
    if (!m_levels.empty())
        m_levels.pop_back();
}

void ProgressTracker::fileCopied(uint64_t bytes)
{
    ++m_progress.filesCopied;
    m_progress.bytesCopied += bytes;
}

void ProgressTracker::tick(uint64_t inFlight)
{
    if (std::chrono::steady_clock::now() - m_lastReport >= ReportInterval)
        report(inFlight);
}

void ProgressTracker::finishRun()
{
    m_progress.finished = true;
    m_levels.clear();
    report(0);
}

void ProgressTracker::report(uint64_t inFlight)
{
    const auto now = std::chrono::steady_clock::now();
    m_lastReport = now;
    double pairShare = 0;
    for (auto level = m_levels.rbegin(); level != m_levels.rend(); ++level)
        pairShare = level->second == 0 ? 1.0 : (static_cast<double>(level->first) + pairShare) / level->second;
    RunProgress shown = m_progress;
    shown.bytesCopied += inFlight;
    if (shown.finished)
        shown.share = 1;
    else if (shown.pairCount > 0 && shown.pairNumber > 0)
        shown.share = (shown.pairNumber - 1 + pairShare) / shown.pairCount;
    shown.seconds = std::chrono::duration<double>(now - m_started).count();
    m_outlets.showProgress(shown);
}

} // namespace mirror
