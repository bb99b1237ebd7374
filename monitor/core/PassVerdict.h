#pragma once

// What a run that tests once tells the program that started it: the exit status of
// "SEN /CONSOLE /ONCE" and the one line of "SEN /NAGIOS" in the monitoring-plugins convention
// (status word, text, then after "|" the performance data; exit 0 OK, 2 CRITICAL, 3 UNKNOWN):
//   SEN OK - 10 of 10 destinations OK | 'gateway'=0.012s;;;0 'mail'=0.004s;;;0 ...
//   SEN CRITICAL - 8 of 10 destinations OK, failing: mail (connection refused), web (timed out) | ...
//   SEN UNKNOWN - cannot read the data file /etc/SEN.INI: No such file or directory
// Every row counts: a row that the pass did not test (no probe for its service) is not OK.
// Names are the rows' captions; a "|" in one becomes "/", since it would start the
// performance data, and a line break a blank. Labels are quoted, a quote in one doubled, an "=" made "_", and a label
// that an earlier row has already used gets "#" and its row number (from 1) added.

#include <cstdint>
#include <string>
#include <vector>

namespace monitor {

// One row of the list after the pass.
struct RowOutcome
{
    std::string name;
    bool tested = false;
    bool ok = false;
    int64_t elapsedMs = 0; // the test's time, retry included; tested rows only
    std::string reason; // why a tested row failed, in a few words; may be empty
};

enum class CheckStatus
{
    Ok = 0,
    Critical = 2,
    Unknown = 3,
};

struct CheckResult
{
    CheckStatus status;
    std::string line; // without a line end
};

// A list that is not empty, every row tested and "OK".
bool allTestedOk(const std::vector<RowOutcome>& rows);

// OK or CRITICAL for a pass that ran to its end; UNKNOWN for an empty list.
CheckResult checkResult(const std::vector<RowOutcome>& rows);
CheckResult unknownResult(const std::string& reason);
// UNKNOWN for a check that ran out of time: "timed out after 50 s, 3 of 10 destinations tested".
CheckResult timedOutResult(int seconds, const std::vector<RowOutcome>& rows);

// "0.012s": milliseconds as seconds with three decimals, whatever the locale.
std::string secondsText(int64_t milliseconds);
// The performance-data label of a name, quoted.
std::string perfLabel(const std::string& name);

} // namespace monitor
