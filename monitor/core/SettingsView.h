#pragma once

// The controls that show the monitor's settings: the caption with the data file, and, after a
// load, the window placement, the timer controls, the sort choice and the save-on-exit mark.
// The window implements it; a console front end has nothing to show.

#include <string>

namespace monitor {

class SettingsView
{
public:
    virtual ~SettingsView() = default;
    // Caption "Senvigil - " + path, application title "SEN - " + the file's name.
    virtual void showDataFile(const std::string& path) = 0;
    // Every control from MonitorSettings and the list's sort mode, after a load.
    virtual void showSettings() = 0;
};

} // namespace monitor
