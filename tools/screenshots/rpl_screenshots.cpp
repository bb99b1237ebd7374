// Saves pictures of the mirror window for the README: both pages after a sample run and the
// read-me window. Run it under a real X server (tools/screenshots/run starts Xvfb).
//   rpl_screenshots <output folder>

#include "common/desktop/gui/ReadMeWindow.h"
#include "mirror/gui/MainWindow.h"
#include "mirror/gui/SettingsPage.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <fstream>
#include <iostream>

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void writeFile(const QString& path, const std::string& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

bool save(QWidget* widget, const QString& path)
{
    settle();
    const bool ok = widget->grab().save(path);
    std::cout << (ok ? "saved " : "could not save ") << path.toStdString() << std::endl;
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(out);
    QTemporaryDir work;
    const QString root = work.path();
    for (const char* name : { "letters/notice.txt", "letters/invoice-0042.txt", "budget.csv", "photos/site.jpg" })
        writeFile(root + "/server/" + name, std::string("sample ") + name);
    writeFile(root + "/backup/old-plan.txt", "no longer on the server");
    writeFile(root + "/bin/RPL.INI",
        "[RPL]\r\nAutoPilotEnabled=1\r\nAutoPilotInterval=60\r\nLogFileEnable=1\r\nLogFileName=" + root.toStdString()
            + "/RPL.LOG\r\nFolderCount=2\r\nFolder0=+" + root.toStdString() + "/server >> " + root.toStdString()
            + "/backup\r\nFolder1=-/srv/projects >> /mnt/usb/projects\r\n");

    mirror::TForm1 window((root + "/bin/RPL").toStdString(), mirror::parseCommandLine({ "RPL" }));
    window.show();
    settle();
    window.btnStart->click();
    window.pages->setCurrentIndex(0);
    bool ok = save(&window, out + "/rpl-settings.png");
    window.pages->setCurrentIndex(1);
    ok = save(&window, out + "/rpl-status.png") && ok;
    window.btnReadMe->click();
    ok = save(window.ReadMe, out + "/rpl-readme.png") && ok;
    return ok ? 0 : 1;
}
