// SEN: watches hosts and services. With a display it shows its window ("/TRAY" starts it in the
// tray, a path names the data file). Without one it says so and ends; a console front end for
// service managers comes with the test engine.

#include "common/desktop/gui/DisplayCheck.h"
#include "common/desktop/gui/GuardedApplication.h"
#include "monitor/core/CommandLine.h"
#include "monitor/gui/MainWindow.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const monitor::CommandLine commandLine
        = monitor::parseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (!desktop::hasDisplay()) {
        std::cerr << "SEN: no display to show the window on." << std::endl;
        return 2;
    }
    desktop::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SEN"));
    const std::string programPath = QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
    monitor::TForm1 window(programPath, commandLine);
    app.setErrorDisplay([&window](const std::string& text) { window.showMessage(text); });
    window.controller().StartupActions();
    window.show();
    return app.exec();
}
