#pragma once

// The mirror without a window, for cron jobs and machines without a display: status lines of
// levels 1 to 4 go to standard output, message-box texts to standard error without waiting,
// and the pause question is never asked.

#include "mirror/core/MirrorFrontEnd.h"

#include <chrono>
#include <ostream>

class ConsoleFrontEnd final : public MirrorFrontEnd
{
public:
    ConsoleFrontEnd(std::ostream& out, std::ostream& err);

    void setStatusLine(const std::string&) override {}
    void setActivityText(const std::string&) override {}
    void appendActivityLine(const std::string& line) override;
    void clearSummary() override { m_summary.clear(); }
    void appendSummaryLine(const std::string& line) override;
    std::string summaryText() const override { return m_summary; }
    void processEvents() override;

    void setBusy(bool) override {}
    void setTrayState(int, const std::string&) override {}
    void showPairPaths(const std::string&, const std::string&) override {}

    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string&, const std::string&) override { return true; }

    int messageCount() const { return m_messages; }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_summary;
    int m_messages = 0;
    std::chrono::steady_clock::time_point m_lastPump;
};

// Reads the settings beside `programPath`, runs the mirror once and never rewrites the
// settings. Returns 0 when the run wrote no error line and showed no message, else 1.
int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err);
