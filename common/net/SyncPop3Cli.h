#pragma once

// TSyncPop3Cli: blocking wrappers over TCustomPop3Cli. SyncX starts X and sleeps in the event
// loop (other events keep running) until the request ends, Timeout seconds pass or the program
// quits; then it aborts, sets ErrorMessage "426 Timeout" and status 426, and returns false.
// Each reply line received restarts the time-out. An exception of misuse makes the wrapper
// return false; so does a handler that destroys the client during the wait.

#include "CustomPop3Cli.h"
#include "SyncWait.h"

namespace net {

class TSyncPop3Cli : public TCustomPop3Cli
{
public:
    TSyncPop3Cli();
    ~TSyncPop3Cli() override;

    // Seconds; 0 or less means the default of 15 (no wait is endless).
    int Timeout = SyncWait::kDefaultTimeout;
    // Kept for callers that set it; there is one event queue, so it changes nothing.
    bool MultiThreaded = false;

    // Connects and reads the greeting: true when it began with "+".
    bool SyncConnect();
    // QUIT: true when it was answered with "+" and the server then closed the connection; true
    // at once without a connection.
    bool SyncQuit();

protected:
    void onLineTraffic() override { m_wait.restart(); }

private:
    bool synchronize(void (TCustomPop3Cli::*operation)());

    SyncWait m_wait;
};

} // namespace net
