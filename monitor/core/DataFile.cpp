#include "monitor/core/DataFile.h"

#include "common/desktop/IniStore.h"
#include "monitor/core/Services.h"

#include <algorithm>

namespace monitor {

namespace {

const std::string Sen = "SEN";
const std::string Actions = "Actions";
const std::string DestList = "DestList";

// No stored value can hold a line break, so this default tells a missing key from any value.
const std::string Absent = "\n";

constexpr std::array<const char*, 5> SubItemKeys = { "IP", "Service", "Port", "Stat", "Last" };

// The first six services in the order of their keys in section "SEN". The keys of every later
// service with keys of its own follow the trailing keys, in the order of the table.
constexpr std::array<Service, 6> ClassicKeyOrder
    = { Service::Ping, Service::Http, Service::Ftp, Service::Smtp, Service::Pop3, Service::Tcp };

bool hasClassicKeys(Service service)
{
    return std::find(ClassicKeyOrder.begin(), ClassicKeyOrder.end(), service) != ClassicKeyOrder.end();
}

// A time-out is stored in whole units of its key, read and written as the number it is.
void readTimeOut(const desktop::IniStore& ini, const ServiceRow& row, ServiceOptions& options)
{
    const TimeOutKey& t = row.timeOut;
    if (!t.key)
        return;
    const std::chrono::milliseconds absent = t.absent.value_or(options.timeOut);
    options.timeOut = t.unit * ini.ReadNumber(Sen, t.key, static_cast<int32_t>(absent / t.unit));
}

void writeTimeOut(desktop::IniStore& ini, const ServiceRow& row, const ServiceOptions& options)
{
    if (row.timeOut.key)
        ini.WriteNumber(Sen, row.timeOut.key, static_cast<int32_t>(options.timeOut / row.timeOut.unit));
}

} // namespace

void readWindowAndTimer(const desktop::IniStore& ini, MonitorSettings& s)
{
    WindowPlacement& w = s.window;
    w.maximized = ini.ReadFlag(Sen, "WindowMaximized", false);
    if (!w.maximized) {
        w.left = ini.ReadNumber(Sen, "WindowLeft", w.left);
        w.top = ini.ReadNumber(Sen, "WindowTop", w.top);
        w.width = ini.ReadNumber(Sen, "WindowWidth", w.width);
        w.height = ini.ReadNumber(Sen, "WindowHeight", w.height);
    }
    s.enableTimer = ini.ReadFlag(Sen, "EnableTimer", false);
    s.AllowFractionOfMinute = ini.ReadFlag(Sen, "AllowFractionOfMinute", false);
    s.timerInterval = ini.ReadText(Sen, "TimerInterval", "15");
}

void readOptions(const desktop::IniStore& ini, MonitorSettings& s)
{
    s.echo.size = ini.ReadNumber(Sen, "PingSize", 56);
    s.echo.ttl = ini.ReadNumber(Sen, "PingTTL", 64);
    for (const ServiceRow& row : services()) {
        if (!row.retryKey)
            continue; // a service over TLS: its sibling's options
        ServiceOptions& options = s.of(row.service);
        options.retryOnFirstFail = ini.ReadFlag(Sen, row.retryKey, false);
        readTimeOut(ini, row, options);
    }
    s.EmptyMessageText = ini.ReadFlag(Sen, "EmptyMessageText", false);
    s.Verbose = ini.ReadFlag(Sen, "Verbose", false);
    s.saveOnExit = ini.ReadFlag(Sen, "SaveOnExit", true);
    s.MaxParallelTests = ini.ReadNumber(Sen, "MaxParallelTests", 1);
    s.metricsFile = ini.ReadText(Sen, "MetricsFile", "");
    if (std::string history = ini.ReadText(Sen, "HistoryFile", Absent); history != Absent)
        s.historyFile = std::move(history);
    else
        s.historyFile.reset();
    s.statusPageFile = ini.ReadText(Sen, "StatusPageFile", "");
}

std::string historyFileOf(const MonitorSettings& settings, const std::string& logFileName)
{
    if (settings.historyFile)
        return *settings.historyFile;
    const size_t name = logFileName.rfind('/') == std::string::npos ? 0 : logFileName.rfind('/') + 1;
    const size_t dot = logFileName.rfind('.');
    const size_t end = dot == std::string::npos || dot <= name ? logFileName.size() : dot;
    return logFileName.substr(0, end) + ".history";
}

void readActions(const desktop::IniStore& ini, AlertActions& a)
{
    a.smtpServer = ini.ReadText(Actions, "SMTPServer", "");
    a.emailAddress = ini.ReadText(Actions, "EmailAddress", "");
    a.fromAddress = ini.ReadText(Actions, "FromAddress", "");
    a.sendCurrentStatus = ini.ReadNumber(Actions, "SendCurrentStatus", 0);
    a.smtpTimeOut = ini.ReadNumber(Actions, "SMTPTimeOut", 10);
    a.failEmail = ini.ReadFlag(Actions, "FailEmail", false);
    a.failRun = ini.ReadFlag(Actions, "FailRun", false);
    a.failCommand = ini.ReadText(Actions, "FailCommand", "");
    a.okEmail = ini.ReadFlag(Actions, "OKEmail", false);
    a.okRun = ini.ReadFlag(Actions, "OKRun", false);
    a.okCommand = ini.ReadText(Actions, "OKCommand", "");
    a.startEmail = ini.ReadFlag(Actions, "StartEmail", false);
    a.startRun = ini.ReadFlag(Actions, "StartRun", false);
    a.startCommand = ini.ReadText(Actions, "StartCommand", "");
    a.closeEmail = ini.ReadFlag(Actions, "CloseEmail", false);
    a.closeRun = ini.ReadFlag(Actions, "CloseRun", false);
    a.closeCommand = ini.ReadText(Actions, "CloseCommand", "");
    a.sendKeepAlive = ini.ReadFlag(Actions, "SendKeepAlive", false);
    a.keepAliveInterval = ini.ReadText(Actions, "KeepAliveInterval", "12");
}

SortMode readSortMode(const desktop::IniStore& ini)
{
    return sortModeOf(ini.ReadNumber(DestList, "SortList", 0));
}

std::vector<Destination> readDestinations(const desktop::IniStore& ini)
{
    std::vector<Destination> rows;
    const int32_t count = ini.ReadNumber(DestList, "DestCount", 0);
    for (int32_t n = 1; n > 0 && n <= count; ++n) {
        const std::string number = std::to_string(n);
        Destination row;
        row.HostName = ini.ReadText(DestList, "NAME" + number, Absent);
        bool held = row.HostName != Absent;
        if (!held)
            row.HostName.clear();
        for (size_t i = 0; i < SubItemKeys.size(); ++i) {
            std::string value = ini.ReadText(DestList, SubItemKeys[i] + number, Absent);
            if (value == Absent)
                value = i == 1 ? "PING" : ""; // Service
            else
                held = true;
            row.SubItems.push_back(std::move(value));
        }
        // A row without a single key is where the stored list ends, whatever DestCount says.
        if (!held)
            break;
        rows.push_back(std::move(row));
    }
    return rows;
}

void writeSettings(desktop::IniStore& ini, const MonitorSettings& s, const SavedLog& log)
{
    ini.WriteText(Sen, "VersionInfo", VersionInfo);
    const WindowPlacement& w = s.window;
    ini.WriteFlag(Sen, "WindowMaximized", w.maximized);
    if (!w.maximized) {
        ini.WriteNumber(Sen, "WindowLeft", w.left);
        ini.WriteNumber(Sen, "WindowTop", w.top);
        ini.WriteNumber(Sen, "WindowWidth", w.width);
        ini.WriteNumber(Sen, "WindowHeight", w.height);
    }
    ini.WriteFlag(Sen, "EnableTimer", s.enableTimer);
    ini.WriteFlag(Sen, "AllowFractionOfMinute", s.AllowFractionOfMinute);
    ini.WriteText(Sen, "TimerInterval", s.timerInterval);
    ini.WriteText(Sen, "LogFileName", log.fileName);
    ini.WriteFlag(Sen, "LogFile", log.enabled);
    // PING's time-out stands among its echo's keys, the others' after their retry flags.
    const ServiceRow& ping = rowOf(Service::Ping);
    ini.WriteNumber(Sen, "PingSize", s.echo.size);
    writeTimeOut(ini, ping, s.of(Service::Ping));
    ini.WriteNumber(Sen, "PingTTL", s.echo.ttl);
    for (const Service service : ClassicKeyOrder) {
        const ServiceRow& row = rowOf(service);
        ini.WriteFlag(Sen, row.retryKey, s.of(service).retryOnFirstFail);
        if (service != Service::Ping)
            writeTimeOut(ini, row, s.of(service));
    }
    ini.WriteFlag(Sen, "EmptyMessageText", s.EmptyMessageText);
    ini.WriteFlag(Sen, "Verbose", s.Verbose);
    ini.WriteFlag(Sen, "SaveOnExit", s.saveOnExit);
    ini.WriteNumber(Sen, "MaxParallelTests", s.MaxParallelTests);
    ini.WriteText(Sen, "MetricsFile", s.metricsFile);
    ini.WriteText(Sen, "HistoryFile", historyFileOf(s, log.fileName));
    ini.WriteText(Sen, "StatusPageFile", s.statusPageFile);
    for (const ServiceRow& row : services()) {
        if (!row.retryKey || hasClassicKeys(row.service))
            continue;
        ini.WriteFlag(Sen, row.retryKey, s.of(row.service).retryOnFirstFail);
        writeTimeOut(ini, row, s.of(row.service));
    }
}

void writeActions(desktop::IniStore& ini, const AlertActions& a)
{
    ini.WriteText(Actions, "SMTPServer", a.smtpServer);
    ini.WriteText(Actions, "EmailAddress", a.emailAddress);
    ini.WriteText(Actions, "FromAddress", a.fromAddress);
    ini.WriteNumber(Actions, "SendCurrentStatus", a.sendCurrentStatus);
    ini.WriteFlag(Actions, "FailEmail", a.failEmail);
    ini.WriteFlag(Actions, "FailRun", a.failRun);
    ini.WriteText(Actions, "FailCommand", a.failCommand);
    ini.WriteFlag(Actions, "OKEmail", a.okEmail);
    ini.WriteFlag(Actions, "OKRun", a.okRun);
    ini.WriteText(Actions, "OKCommand", a.okCommand);
    ini.WriteFlag(Actions, "StartEmail", a.startEmail);
    ini.WriteFlag(Actions, "StartRun", a.startRun);
    ini.WriteText(Actions, "StartCommand", a.startCommand);
    ini.WriteFlag(Actions, "CloseEmail", a.closeEmail);
    ini.WriteFlag(Actions, "CloseRun", a.closeRun);
    ini.WriteText(Actions, "CloseCommand", a.closeCommand);
    ini.WriteFlag(Actions, "SendKeepAlive", a.sendKeepAlive);
    ini.WriteText(Actions, "KeepAliveInterval", a.keepAliveInterval);
}

void writeDestinations(desktop::IniStore& ini, const DestinationList& list)
{
    ini.WriteNumber(DestList, "SortList", static_cast<int32_t>(list.sortMode()));
    ini.WriteNumber(DestList, "DestCount", list.count());
    for (int row = 0; row < list.count(); ++row) {
        const Destination& d = list.at(row);
        const std::string number = std::to_string(row + 1);
        ini.WriteText(DestList, "NAME" + number, d.HostName);
        for (size_t i = 0; i < d.SubItems.size() && i < SubItemKeys.size(); ++i)
            ini.WriteText(DestList, SubItemKeys[i] + number, d.SubItems[i]);
    }
}

} // namespace monitor
