// RPL: mirrors folder pairs. "RPL /BATCH /CONSOLE" (switches in any order and letter case), or
// "RPL /BATCH" where no display is available, runs once without a window for cron jobs.

#include "mirror/core/ConsoleFrontEnd.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

bool hasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

int main(int argc, char** argv)
{
    bool batch = false;
    bool console = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]).toUpper();
        batch = batch || argument == QLatin1String("/BATCH");
        console = console || argument == QLatin1String("/CONSOLE");
    }
    if (batch && (console || !hasDisplay())) {
        QCoreApplication app(argc, argv);
        return runConsoleMirror(QCoreApplication::applicationFilePath().toLocal8Bit().toStdString(), std::cout,
                                std::cerr);
    }
    std::cerr << "RPL: this build runs only from the console: RPL /BATCH /CONSOLE" << std::endl;
    return 2;
}
