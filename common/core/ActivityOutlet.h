#pragma once

// The activity pane of a program: progress lines appended one by one, and the whole text set
// at once after the pane was cleared or cut.

#include <string>

namespace core {

class ActivityOutlet
{
public:
    virtual ~ActivityOutlet() = default;

    virtual void appendActivityLine(const std::string& line) = 0;
    // The whole pane, lines ended by CR LF.
    virtual void setActivityText(const std::string& text) = 0;
};

} // namespace core
