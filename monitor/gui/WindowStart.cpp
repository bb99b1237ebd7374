#include "monitor/gui/WindowStart.h"

namespace monitor {

std::unique_ptr<TForm1> startMainWindow(const std::string& programPath,
    const CommandLine& commandLine,
    desktop::Dialogs* dialogs,
    const std::function<void(TForm1&)>& beforeStartup)
{
    auto window = std::make_unique<TForm1>(programPath, commandLine, dialogs);
    if (beforeStartup)
        beforeStartup(*window);
    // Before the window is first shown, also when it starts hidden in the tray.
    window->controller().StartupActions();
    window->show();
    return window;
}

} // namespace monitor
