// RPL: mirrors folder pairs. With a display it shows its window ("/BATCH" runs once in it and
// ends, "/TRAY" starts in the tray). "RPL /BATCH /CONSOLE" (switches in any order and letter
// case), or "RPL /BATCH" where no display is available, runs once without a window for cron.

#include "mirror/core/ConsoleFrontEnd.h"
#include "mirror/core/MirrorController.h"
#include "mirror/gui/MainWindow.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

// A display, or a window platform chosen by hand (QT_QPA_PLATFORM=offscreen, vnc, ...).
bool hasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

std::string programPath()
{
    return QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
}

// Errors that no handler took reach the user in a message box, and the loop goes on.
class RplApplication final : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (auto* window = qobject_cast<TForm1*>(activeWindow()))
                window->showMessage(e.what());
            else
                std::cerr << e.what() << std::endl;
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    bool console = false;
    for (const auto& argument : arguments)
        console = console || QString::fromLocal8Bit(argument.c_str()).toUpper() == QLatin1String("/CONSOLE");
    const bool batch = MirrorController::parseArguments(arguments).batch;
    if (batch && (console || !hasDisplay())) {
        QCoreApplication app(argc, argv);
        return runConsoleMirror(programPath(), std::cout, std::cerr);
    }
    if (!hasDisplay()) {
        std::cerr << "RPL: no display to show the window on; \"RPL /BATCH\" runs the mirror without one." << std::endl;
        return 2;
    }
    RplApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RPL"));
    TForm1 window(programPath(), QApplication::arguments());
    window.show();
    const int status = app.exec();
    // A batch run tells cron about its errors as the console run does.
    const bool failedBatch = window.controller().batchMode() && window.controller().engine().status().errorCount() > 0;
    return failedBatch ? 1 : status;
}
