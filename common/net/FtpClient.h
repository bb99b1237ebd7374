#pragma once

// TFtpClient: blocking wrappers over TCustomFtpCli. SyncX starts X and sleeps in the event loop
// (other events keep running) until the request ends, Timeout seconds pass or the program
// quits; then it aborts, sets ErrorMessage "426 Timeout" and status 426, and returns false.
// The time-out bounds the whole operation, however slowly a server trickles its lines. An
// exception of misuse makes the wrapper return false; so does a handler that destroys the
// client during the wait.

#include "CustomFtpCli.h"
#include "SyncWait.h"

namespace net {

class TFtpClient : public TCustomFtpCli
{
public:
    TFtpClient();
    ~TFtpClient() override;

    // Seconds; 0 or less means the default of 15 (no wait is endless).
    int Timeout = SyncWait::kDefaultTimeout;
    // Kept for callers that set it; there is one event queue, so it changes nothing.
    bool MultiThreaded = false;

    // Connects and reads the greeting: true on 220.
    bool SyncOpen();
    // QUIT: true when it was answered with 221.
    bool SyncQuit();

private:
    bool synchronize(void (TCustomFtpCli::*operation)());

    SyncWait m_wait;
};

} // namespace net
