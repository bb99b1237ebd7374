// SEN: watches hosts and services. With a display it shows its window ("/TRAY" starts it in the
// tray, a path names the data file). "/CONSOLE", or a machine without a display, runs it without
// a window for a service manager; "/CONSOLE /ONCE" tests once for cron, "/NAGIOS" once as a
// check of a monitoring system (see ConsoleMonitor.h); "/HISTORY" prints the uptime table.

#include "common/desktop/gui/DisplayCheck.h"
#include "common/desktop/gui/GuardedApplication.h"
#include "monitor/core/CommandLine.h"
#include "monitor/core/ConsoleApplication.h"
#include "monitor/core/ConsoleMonitor.h"
#include "monitor/core/HistoryReport.h"
#include "monitor/gui/WindowStart.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

namespace {

std::string programPath()
{
    return QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    const monitor::CommandLine commandLine
        = monitor::parseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (commandLine.history) {
        monitor::ConsoleApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("SEN"));
        return monitor::runHistoryReport(programPath(), commandLine, std::cout, std::cerr);
    }
    if (commandLine.console || commandLine.nagios || !desktop::hasDisplay()) {
        monitor::ConsoleApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("SEN"));
        return monitor::runConsoleMonitor(programPath(), commandLine, std::cout, std::cerr);
    }
    desktop::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SEN"));
    const auto window = monitor::startMainWindow(programPath(), commandLine);
    app.setErrorDisplay([&window](const std::string& text) { window->showMessage(text); });
    return app.exec();
}
