#include "FtpClient.h"

namespace net {

TFtpClient::TFtpClient() = default;
TFtpClient::~TFtpClient() = default;

bool TFtpClient::SyncOpen()
{
    return synchronize(&TCustomFtpCli::Open);
}

bool TFtpClient::SyncQuit()
{
    return synchronize(&TCustomFtpCli::Quit);
}

bool TFtpClient::synchronize(void (TCustomFtpCli::*operation)())
{
    return m_wait.run(engine(),
        Timeout,
        { [this, operation] { (this->*operation)(); },
            [this] { return State() == TFtpState::ftpReady; },
            [this] { return RequestResult(); },
            [this] { Abort(); } });
}

} // namespace net
