// RPL: mirrors folder pairs. With a display it shows its window ("/BATCH" runs once in it and
// ends, "/TRAY" starts in the tray). "RPL /BATCH /CONSOLE" (switches in any order and letter
// case), or "RPL /BATCH" where no display is available, runs once without a window for cron.
// "--help" tells the rest.

#include "common/core/StandardOutput.h"
#include "common/desktop/gui/CommandLineAnswer.h"
#include "common/desktop/gui/DisplayCheck.h"
#include "common/desktop/gui/GuardedApplication.h"
#include "mirror/core/CommandLine.h"
#include "mirror/core/ConsoleFrontEnd.h"
#include "mirror/gui/MainWindow.h"

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
    core::StandardOutput output;
    const mirror::CommandLine commandLine = mirror::parseCommandLine(std::vector<std::string>(argv, argv + argc));
    const bool console = commandLine.batch && (commandLine.console || !desktop::hasDisplay());
    if (commandLine.stop) {
        QCoreApplication::setApplicationName(QStringLiteral("RPL"));
        const core::CommandLineAnswer answer = core::answerFor(*commandLine.stop, mirror::programUsage());
        return output.finish(
            "RPL", desktop::showCommandLineAnswer(argc, argv, answer, !console && desktop::hasDisplay()));
    }
    if (console) {
        QCoreApplication app(argc, argv);
        for (const std::string& ignored : commandLine.ignoredSwitches)
            std::cerr << core::ignoredSwitchWarning("RPL", ignored) << std::endl;
        return output.finish("RPL", mirror::runConsoleMirror(programPath(), std::cout, std::cerr));
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
