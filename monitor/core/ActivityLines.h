#pragma once

// The activity pane as the monitor's core keeps it: every line goes on to the front end's pane
// and is counted here, so that a test pass can cut the oldest lines without asking the window.

#include "common/core/ActivityOutlet.h"

#include <deque>
#include <string>

namespace monitor {

class ActivityLines final : public core::ActivityOutlet
{
public:
    explicit ActivityLines(core::ActivityOutlet& pane);

    // A text with line breaks counts as as many lines as the pane shows for it.
    void appendActivityLine(const std::string& line) override;
    // The whole pane, lines ended by CR LF.
    void setActivityText(const std::string& text) override;

    size_t lineCount() const { return m_lines.size(); }
    // With more than `limit` lines, the oldest `drop` go and the pane gets the rest at once.
    void trim(size_t limit, size_t drop);

private:
    void add(const std::string& text);

    core::ActivityOutlet& m_pane;
    std::deque<std::string> m_lines;
};

} // namespace monitor
