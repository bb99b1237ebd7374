#include "monitor/core/Services.h"

#include "monitor/core/FtpProbe.h"
#include "monitor/core/HttpProbe.h"
#include "monitor/core/ImapProbe.h"
#include "monitor/core/PingProbe.h"
#include "monitor/core/Pop3Probe.h"
#include "monitor/core/SmtpProbe.h"
#include "monitor/core/TcpProbe.h"

namespace monitor {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

template <class P> std::unique_ptr<Probe> make(const MonitorSettings& settings)
{
    return std::make_unique<P>(settings);
}

} // namespace

const std::array<ServiceRow, ServiceCount>& services()
{
    static const std::array<ServiceRow, ServiceCount> rows = { {
        { Service::Ping,
            "PING",
            "",
            false,
            std::nullopt,
            "PingRetryOnFirstFail",
            { "PingTimeOut", milliseconds(1), milliseconds(4000), milliseconds(2000) },
            PingTexts,
            make<PingProbe> },
        { Service::Tcp,
            "TCP",
            "0",
            false,
            std::nullopt,
            "TCPRetryOnFirstFail",
            { "TcpTimeOutMiliSec", milliseconds(1), milliseconds(2000), std::nullopt },
            TcpTexts,
            make<TcpProbe> },
        // The HTTP client has no limit of its own: the probe's is fixed.
        { Service::Http,
            "HTTP",
            "80",
            false,
            std::nullopt,
            "HTTPRetryOnFirstFail",
            { nullptr, milliseconds(1), seconds(15), std::nullopt },
            HttpTexts,
            make<HttpProbe> },
        { Service::Ftp,
            "FTP",
            "21",
            false,
            std::nullopt,
            "FTPRetryOnFirstFail",
            { "FtpTimeOutSeconds", seconds(1), seconds(15), seconds(10) },
            FtpTexts,
            make<FtpProbe> },
        { Service::Smtp,
            "SMTP",
            "25",
            false,
            std::nullopt,
            "SMTPRetryOnFirstFail",
            { "SmtpTimeOutSeconds", seconds(1), seconds(15), seconds(10) },
            SmtpTexts,
            make<SmtpProbe> },
        { Service::Pop3,
            "POP3",
            "110",
            false,
            std::nullopt,
            "POP3RetryOnFirstFail",
            { "POP3TimeOutSeconds", seconds(1), seconds(15), seconds(10) },
            Pop3Texts,
            make<Pop3Probe> },
        // Its keys came after the trailing keys of section "SEN" (see DataFile).
        { Service::Imap,
            "IMAP",
            "143",
            false,
            std::nullopt,
            "IMAPRetryOnFirstFail",
            { "IMAPTimeOutSeconds", seconds(1), seconds(10), seconds(10) },
            ImapTexts,
            make<ImapProbe> },
    } };
    return rows;
}

std::size_t indexOf(Service service)
{
    return static_cast<std::size_t>(service);
}

const ServiceRow& rowOf(Service service)
{
    return services()[indexOf(service)];
}

ServiceOptionsTable initialServiceOptions()
{
    ServiceOptionsTable options;
    for (const ServiceRow& row : services())
        options[indexOf(row.service)].timeOut = row.timeOut.initial;
    return options;
}

Service optionsServiceOf(Service service)
{
    return rowOf(service).plainSibling.value_or(service);
}

Service serviceOf(const std::string& text)
{
    for (const ServiceRow& row : services())
        if (text == row.name)
            return row.service;
    if (text.empty())
        return Service::Ping;
    switch (text.front()) {
    case 'F':
    case 'f':
        return Service::Ftp;
    case 'H':
    case 'h':
        return Service::Http;
    case 'S':
    case 's':
        return Service::Smtp;
    case 'T':
    case 't':
        return Service::Tcp;
    default:
        return Service::Ping;
    }
}

std::string DefaultPortOf(int serviceIndex)
{
    if (serviceIndex < 0 || serviceIndex >= static_cast<int>(ServiceCount))
        return {};
    return services()[static_cast<std::size_t>(serviceIndex)].standardPort;
}

} // namespace monitor
