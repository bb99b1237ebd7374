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

// Every exit after an event may find the client destroyed: `alive` tells, and then nothing of
// it is touched any more.
bool TSyncSmtpCli::synchronize(void (TCustomSmtpClient::*operation)())
{
    const auto alive = engine().alive();
    try {
        (this->*operation)();
    } catch (const std::exception&) {
        return false;
    }
    if (alive.expired())
        return false;
    switch (m_wait.wait(Timeout, [this] { return State() == TSmtpState::smtpReady; })) {
    case SyncWait::Outcome::Done:
        return RequestResult() == 0;
    case SyncWait::Outcome::Destroyed:
        return false;
    case SyncWait::Outcome::TimedOut:
        break;
    }
    Abort();
    if (alive.expired())
        return false;
    engine().timedOut();
    return false;
}

} // namespace net
