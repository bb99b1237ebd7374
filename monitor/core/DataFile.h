#pragma once

// The monitor's data file: sections "SEN", "Actions" and "DestList", each key read and written
// through the INI store in the file's own order. Reads never fail (a missing key gives its
// default); a refused write throws desktop::EIniFileException at that key.
//
// A load reads rows 1 to the smaller of "DestCount" and the highest row number that any row key
// of the file holds ("NAME7", "Stat7", ...), and at most MaxStoredRows. A row without a single
// key in between (deleted by hand) loads with the defaults, so the rows after it stay in the
// list and the next save keeps them: a count of two billion over a file of three rows reads
// three rows.

#include "monitor/core/DestinationList.h"
#include "monitor/core/MonitorSettings.h"

#include <string>

namespace desktop {
class TIniFile;
}

namespace monitor {

inline constexpr const char* VersionInfo = "SEN - Senvigil, ver 1.53b";

// The "SEN" keys up to and without "LogFileName", then from "LogFile" on: the load puts the
// log keys between them through EventLog, which has its own rules.
void readWindowAndTimer(const desktop::TIniFile& ini, MonitorSettings& settings);
void readOptions(const desktop::TIniFile& ini, MonitorSettings& settings);

// Section "Actions".
void readActions(const desktop::TIniFile& ini, AlertActions& actions);

// "SortList" of section "DestList".
SortMode readSortMode(const desktop::TIniFile& ini);
// The stored rows, in stored order, bounded as the header says.
inline constexpr int32_t MaxStoredRows = 100000;
std::vector<Destination> readDestinations(const desktop::TIniFile& ini);

// Every key of the three sections, in their order.
struct SavedLog
{
    std::string fileName;
    bool enabled = false;
};
void writeSettings(desktop::TIniFile& ini, const MonitorSettings& settings, const SavedLog& log);
void writeActions(desktop::TIniFile& ini, const AlertActions& actions);
void writeDestinations(desktop::TIniFile& ini, const DestinationList& list);

} // namespace monitor
