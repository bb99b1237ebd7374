#include "SyncPop3Cli.h"

namespace net {

TSyncPop3Cli::TSyncPop3Cli() = default;
TSyncPop3Cli::~TSyncPop3Cli() = default;

bool TSyncPop3Cli::SyncConnect()
{
    return synchronize(&TCustomPop3Cli::Connect);
}

bool TSyncPop3Cli::SyncQuit()
{
    return synchronize(&TCustomPop3Cli::Quit);
}

// Every exit after an event may find the client destroyed: `alive` tells, and then nothing of
// it is touched any more.
bool TSyncPop3Cli::synchronize(void (TCustomPop3Cli::*operation)())
{
    const auto alive = engine().alive();
    try {
        (this->*operation)();
    } catch (const std::exception&) {
        return false;
    }
    if (alive.expired())
        return false;
    switch (m_wait.wait(Timeout, [this] { return State() == TPop3State::pop3Ready; })) {
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
