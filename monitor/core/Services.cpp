#include "monitor/core/Services.h"

#include "monitor/core/FtpProbe.h"
#include "monitor/core/HttpProbe.h"
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
            "PingRetryOnFirstFail",
            { "PingTimeOut", milliseconds(1), milliseconds(4000), milliseconds(2000) },
            PingTexts,
            make<PingProbe> },
        { Service::Tcp,
            "TCP",
            "0",
            "TCPRetryOnFirstFail",
            { "TcpTimeOutMiliSec", milliseconds(1), milliseconds(2000), std::nullopt },
            TcpTexts,
            make<TcpProbe> },
        // The HTTP client has no limit of its own: the probe's is fixed.
        { Service::Http,
            "HTTP",
            "80",
            "HTTPRetryOnFirstFail",
            { nullptr, milliseconds(1), seconds(15), std::nullopt },
            HttpTexts,
            make<HttpProbe> },
        { Service::Ftp,
            "FTP",
            "21",
            "FTPRetryOnFirstFail",
            { "FtpTimeOutSeconds", seconds(1), seconds(15), seconds(10) },
            FtpTexts,
            make<FtpProbe> },
        { Service::Smtp,
            "SMTP",
            "25",
            "SMTPRetryOnFirstFail",
            { "SmtpTimeOutSeconds", seconds(1), seconds(15), seconds(10) },
            SmtpTexts,
            make<SmtpProbe> },
        { Service::Pop3,
            "POP3",
            "110",
            "POP3RetryOnFirstFail",
            { "POP3TimeOutSeconds", seconds(1), seconds(15), seconds(10) },
            Pop3Texts,
            make<Pop3Probe> },
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

Service serviceOf(const std::string& text)
{
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
    case 'P':
    case 'p':
        return text == "POP3" ? Service::Pop3 : Service::Ping;
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
