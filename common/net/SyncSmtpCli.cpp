#include "SyncSmtpCli.h"

#include "common/core/EventLoop.h"

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
    try {
        (this->*operation)();
        return waitUntilReady();
    } catch (const std::exception&) {
        return false;
    }
}

void TSyncSmtpCli::restartDeadline()
{
    m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Timeout);
}

bool TSyncSmtpCli::waitUntilReady()
{
    using Clock = std::chrono::steady_clock;
    restartDeadline();
    const auto ready = [this] { return State() == TSmtpState::smtpReady; };
    for (;;) {
        if (ready())
            return RequestResult() == 0;
        if (Timeout > 0 && Clock::now() >= m_deadline)
            break;
        // Sleeps in the event loop; a deadline moved by the transfer is picked up next round.
        const auto until = Timeout > 0 ? m_deadline : Clock::now() + std::chrono::hours(1);
        core::waitUntil(ready, until);
    }
    Abort();
    setErrorMessageOver("426 Timeout");
    setStatusCode(426);
    return false;
}

bool TSyncSmtpCli::fetchBodyLine(int lineNumber, std::string& line, int maxLength)
{
    if (Timeout > 0)
        restartDeadline();
    return TSmtpCli::fetchBodyLine(lineNumber, line, maxLength);
}

} // namespace net
