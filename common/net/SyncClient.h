#pragma once

// SyncClient: the blocking wrappers of a line-protocol client (TFtpClient, TSyncPop3Cli,
// TSyncSmtpCli). SyncX starts X and sleeps in the event loop (other events keep running) until
// the request ends, Timeout seconds pass or the program quits; then it aborts (which ends the
// whole request, whatever step it was at), sets ErrorMessage "426 Timeout" and status 426, and
// returns false. Where the protocol restarts the time-out (a line out or in, see
// onLineTraffic), the limit applies to each step; elsewhere it bounds the whole operation.
// An exception of misuse makes the wrapper return false; so does a handler that destroys the
// client during the wait.

#include "SyncWait.h"

namespace net {

template <class Client> class SyncClient : public Client
{
public:
    // Seconds; 0 or less means the default of 15 (no wait is endless).
    int Timeout = SyncWait::kDefaultTimeout;
    // Kept for callers that set it; there is one event queue, so it changes nothing.
    bool MultiThreaded = false;

protected:
    // Runs `operation` and waits for its request; true when it ended with a result of 0.
    bool synchronize(void (Client::*operation)())
    {
        // A name's addresses share the time-out: a silent first one cannot use it all up.
        this->Socket().SetConnectTimeout(SyncWait::effectiveTimeoutMs(Timeout));
        return m_wait.run(this->engine(),
            Timeout,
            { [this, operation] { (this->*operation)(); },
                [this] { return this->idle(); },
                [this] { return this->RequestResult(); },
                [this] { this->Abort(); } });
    }
    void onLineTraffic() override { m_wait.restart(); }

private:
    SyncWait m_wait;
};

} // namespace net
