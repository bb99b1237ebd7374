// RPL: mirrors folder pairs. With a display it shows its window ("/BATCH" runs once in it and
// ends, "/TRAY" starts in the tray). "RPL /BATCH /CONSOLE" (switches in any order and letter
// case), or "RPL /BATCH" where no display is available, runs once without a window for cron.
// "RPL /RESTORE <destination> [<yyyy-mm-dd>/<hh-mm>]" lists or restores archived runs, always
// without a window. "--help" tells the rest.

#include "common/core/ConsoleApplication.h"
#include "common/core/StandardOutput.h"
#include "common/desktop/gui/CommandLineAnswer.h"
#include "common/desktop/gui/DisplayCheck.h"
#include "common/desktop/gui/GuardedApplication.h"
#include "mirror/core/CommandLine.h"
#include "mirror/core/ConsoleMirror.h"
#include "mirror/gui/MainWindow.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string programPath()
{
    return QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    core::StandardOutput output;
    const mirror::CommandLine commandLine = mirror::parseCommandLine(std::vector<std::string>(argv, argv + argc));
    const bool console = commandLine.batch && (commandLine.console || !desktop::hasDisplay());
    if (commandLine.stop) {
        QCoreApplication::setApplicationName(QStringLiteral("RPL"));
        const core::CommandLineAnswer answer = core::answerFor(*commandLine.stop, mirror::programUsage());
        const bool windowProgram = !console && !commandLine.restore && desktop::hasDisplay();
        return output.finish("RPL", desktop::showCommandLineAnswer(argc, argv, answer, windowProgram));
    }
    if (commandLine.restore) {
        core::ConsoleApplication app(argc, argv);
        return output.finish(
            "RPL", mirror::runConsoleRestore(programPath(), commandLine.arguments, std::cout, std::cerr));
    }
    if (console) {
        core::ConsoleApplication app(argc, argv);
        for (const std::string& ignored : commandLine.ignoredSwitches)
            std::cerr << core::ignoredSwitchWarning("RPL", ignored) << std::endl;
        return output.finish(
            "RPL", mirror::runConsoleMirror(programPath(), std::cout, std::cerr, isatty(STDERR_FILENO) == 1));
    }
    if (!desktop::hasDisplay()) {
        std::cerr << "RPL: no display to show the window on; \"RPL /BATCH\" runs the mirror without one." << std::endl;
        return 2;
    }
    desktop::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RPL"));
    mirror::TForm1 window(programPath(), commandLine);
    app.setErrorDisplay([&window](const std::string& text) { window.showMessage(text); });
    window.show();
    const int status = app.exec();
    // A batch run tells cron about its errors as the console run does.
    const bool failedBatch = window.controller().batchMode() && window.controller().engine().status().errorCount() > 0;
    return failedBatch ? 1 : status;
}
