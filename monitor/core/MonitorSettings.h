#pragma once

// Every value the monitor's data file holds outside its destination list, with the values in
// force before any data file is read, and the two run-time flags. One MonitorController owns
// the one instance and hands references to whoever reads it (engine, probes, alert actions).
// The log file's path and switch belong to EventLog, the sort choice to DestinationList.

#include "common/core/StopFlag.h"
#include "common/net/MailSettings.h"
#include "monitor/core/Service.h"

#include <cstdint>
#include <optional>
#include <string>

namespace monitor {

// Main window position and size; the geometry is kept while the window is maximised.
struct WindowPlacement
{
    bool maximized = false;
    int32_t left = 339;
    int32_t top = 210;
    int32_t width = 606;
    int32_t height = 425;
};

// The echo of the PING probe; its time-out is the service's.
struct EchoSettings
{
    int32_t size = 56;
    int32_t ttl = 64;
};

// The alert-actions values (section "Actions"), held here until their dialog shows them.
struct AlertActions
{
    // Sender shown before any data file names one.
    static constexpr const char* PlaceholderSender = "SEN@mailhost.invalid";

    std::string smtpServer = "127.0.0.1";
    std::string emailAddress; // several addresses separated by ";"
    std::string fromAddress = PlaceholderSender;
    int32_t sendCurrentStatus = -1; // 0 "Never", 1 "KeepAlive Only", 2 "Always"; -1 nothing chosen
    int32_t smtpTimeOut = 15; // seconds; read from the file (default 10) but never written
    bool failEmail = false;
    bool failRun = false;
    std::string failCommand;
    bool okEmail = false;
    bool okRun = false;
    std::string okCommand;
    bool startEmail = false;
    bool startRun = false;
    std::string startCommand;
    bool closeEmail = false;
    bool closeRun = false;
    std::string closeCommand;
    bool sendKeepAlive = false;
    std::string keepAliveInterval = "12"; // hours, as typed
    // How the mail server is reached (net::MailSettings), each as typed: port (empty: by the
    // security), "None", "STARTTLS" or "TLS", the log-in, a password or the file that holds it,
    // and a file of certificates trusted beside the system's.
    std::string smtpPort;
    std::string smtpSecurity;
    std::string smtpUser;
    std::string smtpPassword;
    std::string smtpPasswordFile;
    std::string smtpTrustFile;

    net::MailSettings mailSettings() const
    {
        return { smtpServer, smtpPort, smtpSecurity, smtpUser, smtpPassword, smtpPasswordFile, smtpTrustFile };
    }
};

struct MonitorSettings
{
    // Read by the engine and the probes; set only from the data file.
    bool AllowFractionOfMinute = false;
    bool EmptyMessageText = false;
    // Each service's retry flag and time-out (the TCP probe retries like the others); a service
    // over TLS reads and writes those of its plain sibling.
    ServiceOptionsTable services = initialServiceOptions();
    ServiceOptions& of(Service service) { return services[static_cast<std::size_t>(optionsServiceOf(service))]; }
    const ServiceOptions& of(Service service) const
    {
        return services[static_cast<std::size_t>(optionsServiceOf(service))];
    }
    bool Verbose = false;
    // Probes a test pass runs at once ("MaxParallelTests"); 1 tests one destination at a time.
    int32_t MaxParallelTests = 1;
    // Rewritten after every pass for a metrics scraper ("MetricsFile"); empty: no such file.
    std::string metricsFile;
    // The result history ("HistoryFile"): nothing while the data file names none, which means
    // the log file's path with the extension ".history" (historyFileOf); empty: no history.
    std::optional<std::string> historyFile;
    // Rewritten after every pass as a web page ("StatusPageFile"); empty: no page.
    std::string statusPageFile;
    // True until the startup actions have run: the log controls stay silent meanwhile.
    bool StartingUp = true;
    // Stops a running test pass; raised by closing and by Abort, cleared when a pass starts.
    core::StopFlag StopRequested;

    // Values the main window shows in its controls.
    WindowPlacement window;
    bool enableTimer = false;
    std::string timerInterval = "15"; // minutes, as typed
    bool saveOnExit = true;

    // Component values kept only in the data file.
    EchoSettings echo;

    AlertActions actions;
};

// The history file in use: the one the data file names, or the log file's path with its
// extension (of the file name, if any) replaced by ".history".
std::string historyFileOf(const MonitorSettings& settings, const std::string& logFileName);

} // namespace monitor
