// SEN: watches hosts and services. With a display it shows its window ("/TRAY" starts it in the
// tray, a path names the data file). "/CONSOLE", or a machine without a display, runs it without
// a window for a service manager; "/CONSOLE /ONCE" tests once for cron, "/NAGIOS" once as a
// check of a monitoring system (see ConsoleMonitor.h); "/HISTORY" prints the uptime table.
// "--help" tells the rest.

#include "common/core/ConsoleApplication.h"
#include "common/core/StandardOutput.h"
#include "common/desktop/gui/CommandLineAnswer.h"
#include "common/desktop/gui/DisplayCheck.h"
#include "common/desktop/gui/GuardedApplication.h"
#include "monitor/core/CommandLine.h"
#include "monitor/core/ConsoleMonitor.h"
#include "monitor/core/HistoryReport.h"
#include "monitor/core/PassVerdict.h"
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

// Help, version, or a usage error; a check's usage error is its one UNKNOWN line.
int answer(int& argc, char** argv, const monitor::CommandLine& line, bool windowProgram)
{
    core::CommandLineAnswer answer = core::answerFor(*line.stop, monitor::programUsage());
    if (line.nagios && answer.toStandardError) {
        const std::string why = core::complaintOf(*line.stop) + " (SEN --help shows the usage)";
        answer = { monitor::unknownResult(why).line + "\n", false, static_cast<int>(monitor::CheckStatus::Unknown) };
    }
    QCoreApplication::setApplicationName(QStringLiteral("SEN"));
    return desktop::showCommandLineAnswer(argc, argv, answer, windowProgram);
}

} // namespace

int main(int argc, char** argv)
{
    core::StandardOutput output;
    const monitor::CommandLine commandLine = monitor::parseCommandLine(std::vector<std::string>(argv, argv + argc));
    const bool console = commandLine.console || commandLine.nagios || !desktop::hasDisplay();
    const int lostOutputStatus = commandLine.nagios ? static_cast<int>(monitor::CheckStatus::Unknown) : 1;
    if (commandLine.stop)
        return output.finish("SEN", answer(argc, argv, commandLine, !console), lostOutputStatus);
    if (commandLine.history) {
        core::ConsoleApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("SEN"));
        return output.finish("SEN", monitor::runHistoryReport(programPath(), commandLine, std::cout, std::cerr));
    }
    if (console) {
        core::ConsoleApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("SEN"));
        const int status = monitor::runConsoleMonitor(programPath(), commandLine, std::cout, std::cerr);
        return output.finish("SEN", status, lostOutputStatus);
    }
    desktop::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SEN"));
    const auto window = monitor::startMainWindow(programPath(), commandLine);
    app.setErrorDisplay([&window](const std::string& text) { window->showMessage(text); });
    return app.exec();
}
