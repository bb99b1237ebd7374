#include "monitor/core/DataFile.h"

#include "common/desktop/IniStore.h"
#include "monitor/core/Services.h"

#include <QByteArray>

#include <algorithm>
#include <string_view>

namespace monitor {

namespace {

const std::string Sen = "SEN";
const std::string Actions = "Actions";
const std::string DestList = "DestList";

// No stored value can hold a line break, so this default tells a missing key from any value.
const std::string Absent = "\n";

constexpr std::array<const char*, 5> SubItemKeys = { "IP", "Service", "Port", "Stat", "Last" };

// The row number of a row key ("NAME12", "stat3"), or 0 for any other key. Numbers are written
// without leading zeros, and only such keys are ever read.
int32_t rowNumberOf(const std::string& key)
{
    static const std::array<std::string_view, 6> Words = { "name", "ip", "service", "port", "stat", "last" };
    const size_t digits = key.find_first_of("0123456789");
    if (digits == std::string::npos || key[digits] == '0' || key.size() - digits > 9)
        return 0;
    const std::string word = QByteArray::fromStdString(key.substr(0, digits)).toLower().toStdString();
    if (std::find(Words.begin(), Words.end(), word) == Words.end())
        return 0;
    int32_t number = 0;
    for (size_t i = digits; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9')
            return 0;
        number = number * 10 + (key[i] - '0');
    }
    return number;
}

// Collects writes as lines of text; reads nothing.
class ShapeText final : public desktop::IniStore
{
public:
    std::string ReadText(const std::string&, const std::string&, const std::string& defaultValue) const override
    {
        return defaultValue;
    }
    std::vector<std::string> ReadSection(const std::string&) const override { return {}; }
    void WriteText(const std::string& section, const std::string& key, const std::string& value) override
    {
        text += section + "\t" + key + "\t" + value + "\n";
    }

    std::string text;
};

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
    a.smtpPort = ini.ReadText(Actions, "SMTPPort", "");
    a.smtpSecurity = ini.ReadText(Actions, "SMTPSecurity", "");
    a.smtpUser = ini.ReadText(Actions, "SMTPUser", "");
    a.smtpPassword = ini.ReadText(Actions, "SMTPPassword", "");
    a.smtpPasswordFile = ini.ReadText(Actions, "SMTPPasswordFile", "");
    a.smtpTrustFile = ini.ReadText(Actions, "SMTPTrustFile", "");
}

SortMode readSortMode(const desktop::IniStore& ini)
{
    return sortModeOf(ini.ReadNumber(DestList, "SortList", 0));
}

std::vector<Destination> readDestinations(const desktop::IniStore& ini)
{
    int32_t highest = 0;
    for (const std::string& key : ini.ReadSection(DestList))
        highest = std::max(highest, rowNumberOf(key));
    const int32_t count = std::min({ ini.ReadNumber(DestList, "DestCount", 0), highest, MaxStoredRows });
    std::vector<Destination> rows;
    for (int32_t n = 1; n <= count; ++n) {
        const std::string number = std::to_string(n);
        Destination row;
        row.HostName = ini.ReadText(DestList, "NAME" + number, "");
        for (size_t i = 0; i < SubItemKeys.size(); ++i)
            row.SubItems.push_back(ini.ReadText(DestList, SubItemKeys[i] + number, i == 1 ? "PING" : ""));
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
    ini.WriteText(Actions, "SMTPPort", a.smtpPort);
    ini.WriteText(Actions, "SMTPSecurity", a.smtpSecurity);
    ini.WriteText(Actions, "SMTPUser", a.smtpUser);
    ini.WriteText(Actions, "SMTPPassword", a.smtpPassword);
    ini.WriteText(Actions, "SMTPPasswordFile", a.smtpPasswordFile);
    ini.WriteText(Actions, "SMTPTrustFile", a.smtpTrustFile);
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

std::string dataFileShape(const desktop::IniStore& ini, const std::string& defaultLog)
{
    MonitorSettings settings;
    readWindowAndTimer(ini, settings);
    settings.window = MonitorSettings().window;
    readOptions(ini, settings);
    readActions(ini, settings.actions);
    std::string log = ini.ReadText(Sen, "LogFileName", "");
    if (log.empty())
        log = defaultLog;
    ShapeText shape;
    writeSettings(shape, settings, SavedLog { log, ini.ReadFlag(Sen, "LogFile", false) });
    writeActions(shape, settings.actions);
    shape.WriteNumber(DestList, "SortList", static_cast<int32_t>(readSortMode(ini)));
    for (const Destination& row : readDestinations(ini)) {
        shape.WriteText(DestList, "NAME", row.HostName);
        for (size_t i = 0; i < 3; ++i) // IP, Service, Port
            shape.WriteText(DestList, SubItemKeys[i], row.SubItems[i]);
    }
    return shape.text;
}

} // namespace monitor
