// Saves pictures of the monitor for the README: the main window after a test pass over
// loopback destinations (state pictures, activity, alert lines), the alert-actions dialog with
// the SMTP pane of the alert mail that pass sent, and the read-me window. Run it under a real X
// server as root or with ICMP permission (tools/screenshots/run starts Xvfb).
//   sen_screenshots <output folder>

#include "common/core/EventLoop.h"
#include "common/desktop/gui/ReadMeWindow.h"
#include "monitor/core/HistoryTables.h"
#include "monitor/gui/ActionsDialog.h"
#include "monitor/gui/DestListModel.h"
#include "monitor/gui/DestinationPane.h"
#include "monitor/gui/HistoryPane.h"
#include "monitor/gui/MainWindow.h"
#include "monitor/gui/OptionsPane.h"
#include "monitor/gui/WindowStart.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
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

// A month of results every ten minutes, as if SEN had watched these rows before: the web server
// slower in office hours and down for an afternoon, the file server missing a night.
void writePastMonth(const std::string& path, int webPort, int mailPort)
{
    using monitor::HourMs;
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const std::vector<monitor::HistoryKey> keys = { { "127.0.0.1", "PING", "" },
        { "127.0.0.2", "PING", "" },
        { "127.0.0.1", "HTTP", std::to_string(webPort) },
        { "127.0.0.1", "TCP", std::to_string(mailPort) } };
    monitor::HistoryDatabase db(path, monitor::HistoryDatabase::Mode::Write);
    std::map<monitor::HistoryKey, int64_t> ids;
    std::vector<monitor::TestResult> results;
    for (int64_t at = now - 30 * 24 * HourMs; at < now - 60000; at += 10 * 60000) {
        const double hours = static_cast<double>(now - at) / HourMs;
        const double office = std::max(0.0, std::sin((hours - 9) / 24 * 2 * M_PI));
        for (size_t k = 0; k < keys.size(); ++k) {
            bool ok = true;
            int64_t ms = 1 + static_cast<int64_t>(k);
            if (k == 2) {
                ms = 8 + static_cast<int64_t>(40 * office + 6 * std::sin(hours * 7));
                ok = !(hours > 20 && hours < 23.5) && !(hours > 300 && hours < 306);
            } else if (k == 1) {
                ok = !(hours > 150 && hours < 158);
            } else if (k == 3) {
                ms = 2 + static_cast<int64_t>(3 * office);
                ok = !(hours > 500 && hours < 501);
            }
            results.push_back({ keys[k], at, ok, ok ? ms : 2000, true });
        }
    }
    monitor::writeResults(db, results, ids);
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

    const int mailPort = closedPort(2525);
    writePastMonth(root + "/SEN.history", webPort, mailPort);
    std::ofstream(root + "/SEN.INI", std::ios::binary)
        << "[SEN]\r\nEnableTimer=1\r\nTimerInterval=15\r\nLogFile=1\r\nLogFileName=" + root
            + "/SEN.LOG\r\nStatusPageFile=" + out.toStdString() + "/sen-status.html\r\n[Actions]\r\nSMTPServer=127.0.0.1\r\nEmailAddress=admin@office.test; "
              "oncall@office.test\r\nFromAddress=sen@office.test\r\nSendCurrentStatus=2\r\nFailEmail=1\r\n"
              "OKEmail=1\r\nFailRun=1\r\nFailCommand=/usr/bin/logger\r\nSendKeepAlive=1\r\n"
              "KeepAliveInterval=12\r\n[DestList]\r\nSortList=0\r\nDestCount=5\r\n"
            + row(1, "Gateway", "127.0.0.1", "PING", 0, "OK") + row(2, "File server", "127.0.0.2", "PING", 0, "OK")
            + row(3, "Intranet web", "127.0.0.1", "HTTP", webPort, "Fail")
            + row(4, "Mail relay", "127.0.0.1", "TCP", mailPort, "OK")
            + row(5, "Print server", "127.0.0.3", "TCP", 631, "na");

    const auto window
        = monitor::startMainWindow(root + "/SEN", monitor::parseCommandLine({ "SEN" }), nullptr, [&](monitor::TForm1& w) {
              w.controller().settings().actions.smtpPort = std::to_string(smtpPort);
          });
    // The alert program is only named, never started.
    window->controller().setProgramStarter([](const std::vector<std::string>&) { return 0; });
    // Wide enough for every column's text.
    window->resize(720, 470);
    settle();
    window->optionsPane->btnTestNow->click();
    core::waitFor([&] { return !window->controller().engine().passing(); }, std::chrono::seconds(60));
    bool ok = save(window.get(), out + "/sen-main.png");

    // The history of the web server, in a window tall enough for its chart.
    window->resize(760, 600);
    monitor::DestinationPane* pane = window->destinationPane;
    pane->DestList->selectionModel()->select(
        pane->model->index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    core::waitFor([&] { return !pane->historyPane->chart->points().empty(); }, std::chrono::seconds(10));
    ok = save(window.get(), out + "/sen-history.png") && ok;
    window->resize(720, 470);

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
