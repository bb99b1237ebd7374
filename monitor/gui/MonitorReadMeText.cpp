#include "monitor/gui/MonitorReadMeText.h"

#include "monitor/core/DataFile.h"

#include <initializer_list>

namespace monitor {

namespace {

std::string joinLines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

} // namespace

std::string monitorReadMeText()
{
    const std::string title = VersionInfo;
    return joinLines({
        title,
        std::string(title.size(), '='),
        "",
        "SEN watches whether the servers of your network can be reached. It tests each "
        "destination of its list by PING (an ICMP echo), by a plain TCP connect to a port, or by "
        "a short HTTP, FTP, SMTP, POP3 or IMAP exchange, on its AutoPing timer or when you ask. When a "
        "destination changes its status it tells you: it mails an alert through your SMTP "
        "server, and/or it starts a program of your choice (a script that pages you, restarts a "
        "service, writes a ticket).",
        "",
        "GETTING STARTED",
        "",
        "1. Type the host name of a server into \"New Host Name/description\", fill in its IP "
        "address, choose the service (and a port for TCP and the application tests) and press "
        "\"Add\". Do this for every server you want to watch.",
        "2. Press \"Configure Alert Actions...\": name your SMTP server, the address that gets "
        "the alerts and a sender address, and tick what should happen when a test fails for the "
        "first time, when a destination answers again, when SEN starts and when it shuts down.",
        "3. Tick \"Enable AutoPing Timer\" and choose the interval in minutes, or press \"Test "
        "All Now\". Tick \"Write events to log file\" to keep every result in SEN.LOG.",
        "",
        "TIPS",
        "",
        "- The host name may be any text that describes the destination (\"Router 2nd floor\"); "
        "only the IP address is used to reach it.",
        "- Press Enter in the \"New Host\" box and SEN looks the name up and moves on to the IP "
        "address box; press Enter in the IP address box and the pair goes into the list.",
        "- A TCP port test is faster than an application-layer test (HTTP, FTP, SMTP, POP3, IMAP), "
        "which also waits for the server's greeting or answer. Choose the application test where "
        "a server that accepts connections but no longer answers must count as down.",
        "- Give the SMTP server by its IP address rather than its name: when the name server is "
        "what failed, the alert still goes out.",
        "- An alert is sent only on the first failure after a success, and once more when the "
        "destination answers again; a destination that stays down does not flood your mailbox.",
        "- Many mobile carriers offer a mail-to-SMS gateway: send the alerts to that address and "
        "they reach your phone as text messages. Several addresses are separated by \";\".",
        "- The list and all settings live in one data file, created beside the program (SEN.INI) "
        "or, for an installed program, in your configuration folder. Keep one data file per "
        "network if you like, and open it from the File menu or name it on the command line.",
        "- Advanced values have no control in the window: the ping packet size, TTL and time-out, "
        "the time-outs of the TCP and application tests, retrying a first failure once, the "
        "verbose lines and more. Edit them in the data file (Options, \"Advanced SEN/INI "
        "editing\") and let SEN reload it.",
        "- The configuration is saved when SEN closes, unless \"Save Settings on Exit\" in the "
        "File menu is unticked; \"Save Settings Now\" saves at once.",
        "- \"SEN /TRAY\" starts hidden in the notification area (minimised where the desktop has "
        "none). Without a display, or with \"SEN /CONSOLE\", SEN runs without a window for a "
        "service manager: activity lines go to the standard output, and SIGHUP reads the data "
        "file again. \"SEN /CONSOLE /ONCE\" tests the list once and ends with exit status 0 when "
        "every destination is OK, 1 otherwise; \"SEN /NAGIOS\" does the same as a check for "
        "Icinga or Nagios.",
        "",
        "VERSION HISTORY, NEWEST FIRST",
        "",
        "- Sorting by IP address; the list can be exported to a text file.",
        "- Tray icon fixes: the attention picture and the tip follow every change of status.",
        "- More detail in the alert mails.",
        "- The KeepAlive mail, and the current status of every destination in the mails.",
        "- The \"Save Settings on Exit\" and \"Save Settings Now\" options.",
        "- The Verbose setting shows the servers' answers during application-layer tests.",
        "- Application-layer tests (HTTP, FTP, SMTP, POP3, IMAP) and the RetryOnFirstFail settings.",
        "- Data files named on the command line.",
        "- The window remembers its position and size.",
        "- Earlier releases: the tray icon and the /TRAY switch, the log file, alert programs, "
        "alert mails, and the first release with PING tests.",
    });
}

desktop::ReadMeOptions monitorReadMeOptions()
{
    desktop::ReadMeOptions options;
    options.caption = "SEN - ReadMe";
    options.text = monitorReadMeText();
    options.width = 621;
    options.height = 421;
    options.fontPixelHeight = 13;
    options.readOnly = false;
    options.escapeHides = false;
    return options;
}

} // namespace monitor
