#pragma once

// Where a mirror run's text is shown: the status line (every step), the activity pane, the
// summary pane (pair headers and footers, mail sent), the pair being mirrored and how far the
// run is.

#include "common/core/ActivityOutlet.h"
#include "mirror/core/RunProgress.h"

#include <string>

namespace mirror {

class StatusOutlets : public virtual core::ActivityOutlet
{
public:
    virtual void setStatusLine(const std::string& text) = 0;
    virtual void clearSummary() = 0;
    virtual void appendSummaryLine(const std::string& line) = 0;
    // The summary as the user sees it now (the pane may be edited), lines ended by CR LF.
    virtual std::string summaryText() const = 0;
    virtual void showPairPaths(const std::string& source, const std::string& destination) = 0;
    // At most every 100 ms during a run, and once with `finished` set at its end.
    virtual void showProgress(const RunProgress&) { }
};

} // namespace mirror
