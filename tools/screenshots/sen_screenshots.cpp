// Saves pictures of the monitor for the README: the main window after a test pass over
// loopback destinations (state pictures, activity, alert lines), the alert-actions dialog with
// the SMTP pane of the alert mail that pass sent, and the read-me window. Run it under a real X
// server as root or with ICMP permission (tools/screenshots/run starts Xvfb).
//   sen_screenshots <output folder>

#include "common/core/EventLoop.h"
#include "common/desktop/gui/ReadMeWindow.h"
#include "monitor/gui/ActionsDialog.h"
#include "monitor/gui/MainWindow.h"
#include "monitor/gui/OptionsPane.h"
#include "monitor/gui/WindowStart.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <iostream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget* widget, const QString& path)
{
    settle();
    const bool ok = widget->grab().save(path);
    std::cout << (ok ? "saved " : "could not save ") << path.toStdString() << std::endl;
    return ok;
}

// A TCP socket on 127.0.0.1, on `*port` when that is free (a short number fits the list's
// column) or on any free port, listening when asked; its port through `port`.
int loopbackSocket(bool listening, int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(*port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        address.sin_port = 0;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (listening)
        ::listen(fd, 16);
    *port = ntohs(address.sin_port);
    return fd;
}

// A loopback port nothing listens on.
int closedPort(int preferred = 0)
{
    int port = preferred;
    ::close(loopbackSocket(false, &port));
    return port;
}

std::string row(int n, const char* name, const char* ip, const char* service, int port, const char* status)
{
    const std::string i = std::to_string(n);
    return "NAME" + i + "=" + name + "\r\nIP" + i + "=" + ip + "\r\nService" + i + "=" + service + "\r\nPort" + i + "="
        + (port ? std::to_string(port) : std::string()) + "\r\nStat" + i + "=" + status + "\r\n";
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SEN"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(out);
    QTemporaryDir work;
    const std::string root = work.path().toStdString();

    // A web server, a mail server for the alert, a port that refuses.
    const int webPort = closedPort(8080);
    QProcess web;
    web.start(QStringLiteral("/usr/bin/python3"),
        { "-m", "http.server", "--bind", "127.0.0.1", QString::number(webPort), "--directory", work.path() });
    web.waitForStarted();
    const int smtpPort = closedPort();
    QProcess smtp;
    smtp.start(QStringLiteral("/usr/bin/python3"),
        { "-m", "aiosmtpd", "-n", "-l", QStringLiteral("127.0.0.1:%1").arg(smtpPort) });
    smtp.waitForStarted();
    QThread::msleep(1500);

    std::ofstream(root + "/SEN.INI", std::ios::binary)
        << "[SEN]\r\nEnableTimer=1\r\nTimerInterval=15\r\nLogFile=1\r\nLogFileName=" + root
            + "/SEN.LOG\r\n[Actions]\r\nSMTPServer=127.0.0.1\r\nEmailAddress=admin@office.test; "
              "oncall@office.test\r\nFromAddress=sen@office.test\r\nSendCurrentStatus=2\r\nFailEmail=1\r\n"
              "OKEmail=1\r\nFailRun=1\r\nFailCommand=/usr/bin/logger\r\nSendKeepAlive=1\r\n"
              "KeepAliveInterval=12\r\n[DestList]\r\nSortList=0\r\nDestCount=5\r\n"
            + row(1, "Gateway", "127.0.0.1", "PING", 0, "OK") + row(2, "File server", "127.0.0.2", "PING", 0, "OK")
            + row(3, "Intranet web", "127.0.0.1", "HTTP", webPort, "Fail")
            + row(4, "Mail relay", "127.0.0.1", "TCP", closedPort(2525), "OK")
            + row(5, "Print server", "127.0.0.3", "TCP", 631, "na");

    const auto window
        = monitor::startMainWindow(root + "/SEN", monitor::parseCommandLine({ "SEN" }), nullptr, [&](monitor::TForm1& w) {
              w.controller().alerts().mailer().setPort(std::to_string(smtpPort));
          });
    // The alert program is only named, never started.
    window->controller().setProgramStarter([](const std::vector<std::string>&) { return 0; });
    // Wide enough for every column's text.
    window->resize(720, 470);
    settle();
    window->optionsPane->btnTestNow->click();
    core::waitFor([&] { return !window->controller().engine().passing(); }, std::chrono::seconds(60));
    bool ok = save(window.get(), out + "/sen-main.png");

    window->actionsDialog->show();
    ok = save(window->actionsDialog, out + "/sen-actions.png") && ok;
    window->actionsDialog->hide();

    window->optionsPane->btnReadMe->click();
    ok = save(window->ReadMe, out + "/sen-readme.png") && ok;

    window->controller().settings().saveOnExit = false;
    window->close();
    for (QProcess* server : { &smtp, &web }) {
        server->kill();
        server->waitForFinished();
    }
    return ok ? 0 : 1;
}
