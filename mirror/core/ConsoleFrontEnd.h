#pragma once

// The mirror's roles without a window: status lines of the levels that reach the activity
// pane go to standard output, message-box texts to standard error without waiting, and the
// pause question is never asked. ConsoleMirror runs the mirror on it.

#include "common/core/ConsoleOutlets.h"
#include "mirror/core/StatusOutlets.h"

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

} // namespace mirror
