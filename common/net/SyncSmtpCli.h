#pragma once

// TSyncSmtpCli: blocking wrappers over TSmtpCli. SyncX starts X and sleeps in the event loop
// (other events keep running) until the request ends, Timeout seconds pass or the program
// quits; then it aborts (which ends the whole request, whatever step it was at), sets
// ErrorMessage "426 Timeout" and returns false. During DATA the limit restarts with every
// line, so a long message is not cut by the time-out. A handler that destroys the client
// during a SyncX makes it return false at once.

#include "SmtpCli.h"
#include "SyncWait.h"

namespace net {

class TSyncSmtpCli : public TSmtpCli
{
public:
    TSyncSmtpCli();
    ~TSyncSmtpCli() override;

    // Seconds; 0 or less means the default of 15 (no wait is endless).
    int Timeout = SyncWait::kDefaultTimeout;
    // Kept for callers that set it; there is one event queue, so it changes nothing.
    bool MultiThreaded = false;

    bool SyncConnect();
    bool SyncHelo();
    bool SyncEhlo();
    bool SyncAuth();
    bool SyncVrfy();
    bool SyncMailFrom();
    bool SyncRcptTo();
    bool SyncData();
    bool SyncQuit();
    bool SyncRset();
    bool SyncAbort();
    bool SyncOpen();
    bool SyncMail();

protected:
    void onLineTraffic() override { m_wait.restart(); }

private:
    bool synchronize(void (TCustomSmtpClient::*operation)());

    SyncWait m_wait;
};

} // namespace net
