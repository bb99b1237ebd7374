#pragma once

// The mirror without a window, for cron jobs and machines without a display: status lines of
// the levels that reach the activity pane go to standard output, message-box texts to
// standard error without waiting, and the pause question is never asked. The run is the
// controller's, as in the window, so the mail report is its last step here too.

#include "common/core/ConsoleOutlets.h"
#include "mirror/core/StatusOutlets.h"

#include <ostream>

namespace mirror {

class ConsoleFrontEnd final : public core::ConsoleOutlets, public StatusOutlets
{
public:
    using core::ConsoleOutlets::ConsoleOutlets;

    void setStatusLine(const std::string&) override { }
    void clearSummary() override { m_summary.clear(); }
    void appendSummaryLine(const std::string& line) override;
    std::string summaryText() const override { return m_summary; }
    void showPairPaths(const std::string&, const std::string&) override { }

private:
    std::string m_summary;
};

// Reads the settings beside `programPath`, runs the mirror once (with its report mail) and
// never rewrites the settings. Returns 0 when the run wrote no error line and showed no
// message, else 1. Settings that cannot be read, or that hold no enabled folder pair, are
// told on standard error and end the program with 1 before any run: cron must not take a
// night in which nothing was mirrored for a good one. Entries that are no folder pair are
// told too, and give 1 after the run of the others.
int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err);

} // namespace mirror
