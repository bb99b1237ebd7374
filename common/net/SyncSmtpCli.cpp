#include "SyncSmtpCli.h"

namespace net {

TSyncSmtpCli::TSyncSmtpCli() = default;
TSyncSmtpCli::~TSyncSmtpCli() = default;

bool TSyncSmtpCli::SyncConnect()
{
    return synchronize(&TCustomSmtpClient::Connect);
}
bool TSyncSmtpCli::SyncHelo()
{
    return synchronize(&TCustomSmtpClient::Helo);
}
bool TSyncSmtpCli::SyncEhlo()
{
    return synchronize(&TCustomSmtpClient::Ehlo);
}
bool TSyncSmtpCli::SyncAuth()
{
    return synchronize(&TCustomSmtpClient::Auth);
}
bool TSyncSmtpCli::SyncVrfy()
{
    return synchronize(&TCustomSmtpClient::Vrfy);
}
bool TSyncSmtpCli::SyncMailFrom()
{
    return synchronize(&TCustomSmtpClient::MailFrom);
}
bool TSyncSmtpCli::SyncRcptTo()
{
    return synchronize(&TCustomSmtpClient::RcptTo);
}
bool TSyncSmtpCli::SyncData()
{
    return synchronize(&TCustomSmtpClient::Data);
}
bool TSyncSmtpCli::SyncQuit()
{
    return synchronize(&TCustomSmtpClient::Quit);
}
bool TSyncSmtpCli::SyncRset()
{
    return synchronize(&TCustomSmtpClient::Rset);
}
bool TSyncSmtpCli::SyncAbort()
{
    return synchronize(&TCustomSmtpClient::Abort);
}
bool TSyncSmtpCli::SyncOpen()
{
    return synchronize(&TCustomSmtpClient::Open);
}
bool TSyncSmtpCli::SyncMail()
{
    return synchronize(&TCustomSmtpClient::Mail);
}

bool TSyncSmtpCli::synchronize(void (TCustomSmtpClient::*operation)())
{
    return m_wait.run(engine(),
        Timeout,
        { [this, operation] { (this->*operation)(); },
            [this] { return State() == TSmtpState::smtpReady; },
            [this] { return RequestResult(); },
            [this] { Abort(); } });
}

} // namespace net
