#pragma once

// "SEN /HISTORY [datafile]": for every destination of the data file, in list order, its uptime
// over 24 h, 7 d and 30 d, its failures and its mean probe time over 30 days ("-" where the
// history has no result of it), as a table on standard output. It tests nothing and writes
// nothing; exit status 0, or 1 with a line on standard error when the data file or the history
// file cannot be read (or the data file keeps no history).

#include "monitor/core/CommandLine.h"
#include "monitor/core/Destination.h"
#include "monitor/core/ResultSink.h"
#include "monitor/core/Uptime.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace monitor {

// The table, a header line and one line per row, columns two blanks apart, numbers aligned right.
std::string historyTable(const std::vector<Destination>& rows, const std::map<HistoryKey, HistorySummary>& summaries);

int runHistoryReport(
    const std::string& programPath, const CommandLine& commandLine, std::ostream& out, std::ostream& err);

} // namespace monitor
