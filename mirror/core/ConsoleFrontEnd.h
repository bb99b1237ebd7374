#pragma once

// The mirror's roles without a window, for cron jobs and machines without a display: status
// lines of the levels that reach the activity pane go to standard output, message-box texts to
// standard error without waiting, and the pause question is never asked. When standard error
// is a terminal it keeps one progress line there (items, bytes, rate), redrawn at most every
// 200 ms, taken away before any other line and ended before the run ends; elsewhere (cron)
// nothing of it is written. ConsoleMirror runs the mirror on it.

#include "common/core/ConsoleOutlets.h"
#include "mirror/core/StatusOutlets.h"

#include <ostream>
#include <string>

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

} // namespace mirror
