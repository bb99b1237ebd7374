#pragma once

// The monitor's start with its window, in this order: the window with everything it owns
// (TForm1's constructor: data file, command line, log file, settings, test timer, service
// choice, tray icon, alert-actions dialog, read-me window), then the startup actions (the
// startup log line, mail and program, the keep-alive schedule), and only then the window is
// shown. With "/TRAY" the first activation hides it again, and only the tray icon remains.

#include "monitor/core/CommandLine.h"
#include "monitor/gui/MainWindow.h"

#include <functional>
#include <memory>
#include <string>

namespace desktop {
class Dialogs;
}

namespace monitor {

// `beforeStartup` runs between the window's creation and the startup actions, for a test's
// seams (program starts, mail port); `dialogs` as TForm1 takes them.
std::unique_ptr<TForm1> startMainWindow(const std::string& programPath,
    const CommandLine& commandLine,
    desktop::Dialogs* dialogs = nullptr,
    const std::function<void(TForm1&)>& beforeStartup = {});

} // namespace monitor
