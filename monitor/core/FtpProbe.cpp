#include "monitor/core/FtpProbe.h"

namespace monitor {

FtpProbe::FtpProbe(const MonitorSettings& settings)
    : SessionProbe(settings, Service::Ftp, false)
{
    FTP1.LocalAddr = "0.0.0.0";
    FTP1.Binary = true;
    FTP1.Options = net::ftpAcceptLF;
    FTP1.ConnectionType = net::TFtpConnectionType::ftpDirect;
    FTP1.OnRequestDone = [this](net::TCustomFtpCli&, net::TFtpRequest, int) { requestDone(); };
}

FtpProbe::~FtpProbe()
{
    FTP1.OnRequestDone = nullptr;
}

void FtpProbe::setTarget(const std::string& host, const std::string& port)
{
    FTP1.HostName = host;
    FTP1.Port = port;
}

} // namespace monitor
