#pragma once

// How far a run is, for the window's progress row and the console's progress line: the pair
// and folder under way, the items looked at, the files and bytes copied, and an estimate of
// the share done. The estimate needs no count ahead of the run: each folder's place in its
// parent's listing weighs in by the size of that listing, so it only ever grows.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace mirror {

class StatusOutlets;

struct RunProgress
{
    int pairNumber = 0; // from 1; 0 before the first pair
    int pairCount = 0;
    std::string pair; // "source >> destination"
    std::string folder; // the folder being mirrored
    uint64_t items = 0; // files, links and folders looked at
    uint64_t filesCopied = 0;
    uint64_t bytesCopied = 0; // copies under way included
    double share = 0; // 0 to 1
    double seconds = 0; // since the run started
    bool finished = false; // the run's last report
};

// "1234 items, 56.7 MB copied, 12.3 MB/s"
std::string progressText(const RunProgress& progress);

class ProgressTracker
{
public:
    explicit ProgressTracker(StatusOutlets& outlets);

    void startRun(int pairCount);
    void startPair(int pairNumber, const std::string& pair);
    void enterFolder(const std::string& folder, size_t entries);
    // Position within the innermost folder's listing.
    void at(size_t index);
    void leaveFolder();
    void countItem() { ++m_progress.items; }
    void fileCopied(uint64_t bytes);
    // Shows the progress when the last report is 100 ms old; `inFlight`: bytes of copies under way.
    void tick(uint64_t inFlight = 0);
    void finishRun();

    const RunProgress& progress() const { return m_progress; }

private:
    void report(uint64_t inFlight);

    StatusOutlets& m_outlets;
    RunProgress m_progress;
    std::vector<std::pair<size_t, size_t>> m_levels; // (index, entries) per folder level
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastReport;
};

} // namespace mirror
