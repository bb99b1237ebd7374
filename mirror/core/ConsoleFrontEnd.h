#pragma once

// The mirror without a window, for cron jobs and machines without a display: status lines of
// the levels that reach the activity pane go to standard output, message-box texts to
// standard error without waiting, and the pause question is never asked. The run is the
// controller's, as in the window, so the mail report is its last step here too. When standard
// error is a terminal it keeps one progress line there (items, bytes, rate), redrawn at most
// every 200 ms, taken away before any other line and ended before the run ends; elsewhere
// (cron) nothing of it is written.

#include "common/core/ConsoleOutlets.h"
#include "mirror/core/StatusOutlets.h"

#include <ostream>
#include <string>
#include <vector>

namespace mirror {

class ConsoleFrontEnd final : public core::ConsoleOutlets, public StatusOutlets
{
public:
    // `progressLine`: standard error is a terminal that shows the progress line.
    ConsoleFrontEnd(std::ostream& out, std::ostream& err, bool progressLine = false);

    void setStatusLine(const std::string&) override { }
    void appendActivityLine(const std::string& line) override;
    void showMessage(const std::string& text) override;
    void showProgress(const RunProgress& progress) override;

    void clearSummary() override { m_summary.clear(); }
    void appendSummaryLine(const std::string& line) override;
    std::string summaryText() const override { return m_summary; }
    void showPairPaths(const std::string&, const std::string&) override { }

private:
    void takeProgressAway();

    std::string m_summary;
    bool m_progressLine;
    bool m_progressShown = false;
    double m_lastDrawn = -1;
};

// Reads the settings beside `programPath`, runs the mirror once (with its report mail) and
// never rewrites the settings. Returns 0 when the run wrote no error line and showed no
// message, else 1. Settings that cannot be read, or that hold no enabled folder pair, are
// told on standard error and end the program with 1 before any run: cron must not take a
// night in which nothing was mirrored for a good one. Entries that are no folder pair are
// told too, and give 1 after the run of the others.
int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err, bool progressLine = false);

// "RPL /RESTORE <destination>" lists the destination's archived runs on standard output, one
// "<yyyy-mm-dd>/<hh-mm> <n> items" line each; with a run's name as well it moves that run's
// items back, a line each. Returns 1 when the destination cannot be read or any item could
// not be restored, 2 for a command line without a destination, else 0.
int runConsoleRestore(
    const std::string& programPath, const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace mirror
