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

// Every exit after an event may find the client destroyed: `alive` tells, and then nothing of
// it is touched any more.
bool TFtpClient::synchronize(void (TCustomFtpCli::*operation)())
{
    const auto alive = engine().alive();
    try {
        (this->*operation)();
    } catch (const std::exception&) {
        return false;
    }
    if (alive.expired())
        return false;
    switch (m_wait.wait(Timeout, [this] { return State() == TFtpState::ftpReady; })) {
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
