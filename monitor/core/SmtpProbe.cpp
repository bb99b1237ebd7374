#include "monitor/core/SmtpProbe.h"

namespace monitor {

SmtpProbe::SmtpProbe(const MonitorSettings& settings)
    : SessionProbe(settings, Service::Smtp, true)
{
    SMTP1.LocalAddr = "0.0.0.0";
    SMTP1.SignOn = "SEN";
    SMTP1.AuthType = net::TSmtpAuthType::smtpAuthNone;
    SMTP1.OnRequestDone = [this](net::TCustomSmtpClient&, net::TSmtpRequest, int) { requestDone(); };
}

SmtpProbe::~SmtpProbe()
{
    SMTP1.OnRequestDone = nullptr;
}

void SmtpProbe::setTarget(const std::string& host, const std::string& port)
{
    SMTP1.Host = host;
    SMTP1.Port = port;
}

} // namespace monitor
