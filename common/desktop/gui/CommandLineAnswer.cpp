#include "common/desktop/gui/CommandLineAnswer.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>
#include <unistd.h>

namespace desktop {

bool startedFromTerminal()
{
    return ::isatty(STDIN_FILENO) || ::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO);
}

int showCommandLineAnswer(int& argc, char** argv, const core::CommandLineAnswer& answer, bool windowProgram)
{
    (answer.toStandardError ? std::cerr : std::cout) << answer.text << std::flush;
    if (windowProgram && !startedFromTerminal()) {
        QApplication app(argc, argv);
        const QString text = QString::fromLocal8Bit(answer.text).trimmed();
        const QString title = QCoreApplication::applicationName();
        if (answer.toStandardError)
            QMessageBox::warning(nullptr, title, text);
        else
            QMessageBox::information(nullptr, title, text);
    }
    return answer.exitStatus;
}

} // namespace desktop
