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

bool TSyncPop3Cli::synchronize(void (TCustomPop3Cli::*operation)())
{
    return m_wait.run(engine(),
        Timeout,
        { [this, operation] { (this->*operation)(); },
            [this] { return State() == TPop3State::pop3Ready; },
            [this] { return RequestResult(); },
            [this] { Abort(); } });
}

} // namespace net
