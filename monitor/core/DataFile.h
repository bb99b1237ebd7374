#pragma once

// The monitor's data file: sections "SEN", "Actions" and "DestList", each key read and written
// through the INI store in the file's own order. Reads never fail (a missing key gives its
// default). The controller reads and saves the whole file at once (desktop::IniBatch).
//
// A data file is input from anywhere, so a load reads rows 1, 2, ... up to "DestCount" only as
// long as the file holds at least one key of the row: a count of two billion over a file of
// three rows reads three rows, and the number of rows never exceeds the number of lines.

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

} // namespace monitor
