#pragma once

// TSyncSmtpCli: blocking wrappers over TSmtpCli. SyncX starts X and sleeps in the event loop
// (other events keep running) until the request ends or Timeout seconds pass; then it
// aborts, sets ErrorMessage "426 Timeout" and returns false. During DATA the limit restarts
// with every body line, so a long message is not cut by the time-out.

#include "SmtpCli.h"

#include <chrono>

namespace net {

class TSyncSmtpCli : public TSmtpCli
{
public:
    TSyncSmtpCli();
    ~TSyncSmtpCli() override;

    // Seconds; 0 or less waits without limit.
    int Timeout = 15;
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
    bool fetchBodyLine(int lineNumber, std::string& line, int maxLength) override;

private:
    bool synchronize(void (TCustomSmtpClient::*operation)());
    bool waitUntilReady();
    void restartDeadline();

    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace net
