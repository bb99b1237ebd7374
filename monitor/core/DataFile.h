#pragma once

// The monitor's data file: sections "SEN", "Actions" and "DestList", each key read and written
// through the INI store in the file's own order. Reads never fail (a missing key gives its
// default). The controller reads and saves the whole file at once (desktop::IniBatch).
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
class IniStore;
}

namespace monitor {

inline constexpr const char* VersionInfo = "SEN - Senvigil, ver 1.53b";

// The "SEN" keys up to and without "LogFileName", then from "LogFile" on: the load puts the
// log keys between them through EventLog, which has its own rules.
void readWindowAndTimer(const desktop::IniStore& ini, MonitorSettings& settings);
void readOptions(const desktop::IniStore& ini, MonitorSettings& settings);

// Section "Actions".
void readActions(const desktop::IniStore& ini, AlertActions& actions);

// "SortList" of section "DestList".
SortMode readSortMode(const desktop::IniStore& ini);
// The stored rows, in stored order, bounded as the header says.
inline constexpr int32_t MaxStoredRows = 100000;
std::vector<Destination> readDestinations(const desktop::IniStore& ini);

// Every key of the three sections, in their order.
struct SavedLog
{
    std::string fileName;
    bool enabled = false;
};
void writeSettings(desktop::IniStore& ini, const MonitorSettings& settings, const SavedLog& log);
void writeActions(desktop::IniStore& ini, const AlertActions& actions);
void writeDestinations(desktop::IniStore& ini, const DestinationList& list);

// What a load takes from the file, as one text, apart from the states the tests found ("Stat",
// "Last"), which every SEN run on the file rewrites, and the window's place: two files of one
// shape load alike. A file whose shape changed was edited (or saved with other settings or
// rows) by someone else. `defaultLog` stands for a missing or empty "LogFileName".
std::string dataFileShape(const desktop::IniStore& ini, const std::string& defaultLog);

} // namespace monitor
