#pragma once

// The attempt of the FTP, SMTP and POP3 probes: connect and read the greeting (the open), then
// QUIT. Both succeed, or the attempt fails. Each is one request of the probe's own client,
// started and then ended by the client's OnRequestDone, so nothing waits inside the engine's
// call backs. With Verbose, a first attempt shows the open's last reply line, and for SMTP and
// POP3 also the last line after QUIT (whatever QUIT gave); a retry shows nothing.
//
// Time-outs: the open and QUIT are bounded each by the service's time-out in MonitorSettings
// (0 or less means 15 s), counted
// from the start of the request and not restarted by the lines that come in, so a server that
// trickles lines holds an attempt no longer than twice its time-out. A time-out or Abort aborts
// the client's request; the attempt ends once the client has reported that request's end, so
// the next attempt finds the client ready and no stale end of request is taken for its own.
//
// Over TLS (FTPS, SMTPS, POP3S, IMAPS) the open is the connect, the handshake with its
// certificate checks (CertificateCheck) and the greeting, bounded by the same time-out; a
// failed handshake or a certificate close to its end fails the attempt with a line that says so.
//
// The port: the row's port when it is a number from 1 to 65535, else the service's standard
// port (its row in Services). The client is left without a connection after every attempt: an open that failed after
// the greeting (a refused HELO) would otherwise keep the session, and every later open would
// fail with "already connected".

#include "monitor/core/CertificateCheck.h"
#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

#include "common/core/EventLoop.h"
#include "common/net/WSocket.h"

#include <chrono>

#include <string>

namespace monitor {

class SessionProbe : public Probe
{
public:
    ~SessionProbe() override;

    void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) override;
    void abort() override;
    void reportResult(bool ok, ProbeLines& lines) override;
    std::optional<std::time_t> certificateNotAfter() const override;

    // The port a session goes to: the port column as a number from 1 to 65535 ("021" gives
    // "21"), else `standardPort` (an empty column, "0", a text, a number out of range).
    static std::string portOf(const TestContext& context, const std::string& standardPort);

protected:
    // The service's time-out is read at every request. `showsQuitAnswer`: Verbose shows the
    // last line after QUIT as well.
    SessionProbe(const MonitorSettings& settings, Service service, bool showsQuitAnswer);

    // The client's part. open() and quit() start a request whose end the subclass passes to
    // requestDone(); they may raise on misuse, which fails the attempt without a line.
    virtual void setTarget(const std::string& host, const std::string& port) = 0;
    // TLS from the first byte with these settings (services over TLS only).
    virtual void secure(const net::TlsSettings& settings) = 0;
    virtual void open() = 0;
    virtual void quit() = 0;
    virtual void abortClient() = 0;
    virtual bool connected() const = 0;
    virtual net::TWSocket& controlSocket() = 0;
    // The result of the request that ended last: 0 (success), a reply code or a socket error number.
    virtual int requestError() const = 0;
    // The facts of the client's last handshake.
    virtual const net::TlsPeerInfo& tlsPeer() const = 0;
    virtual std::string lastResponse() const = 0;

    // The client's OnRequestDone.
    void requestDone();

private:
    enum class Step
    {
        Idle,
        Opening,
        Quitting,
    };

    void run(Step step);
    void onTimeOut();
    std::chrono::milliseconds timeOut() const;
    bool verboseLines() const;
    std::string failureOfRequest() const;
    void finish(bool ok);

    const MonitorSettings& m_settings;
    const Service m_service;
    const bool m_showsQuitAnswer;
    core::Timer m_deadline;
    Step m_step = Step::Idle;
    Attempt m_attempt = Attempt::First;
    bool m_timedOut = false;
    bool m_aborted = false;
    ProbeLines* m_lines = nullptr;
    Done m_done;
    std::optional<CertificateCheck> m_certificate; // services over TLS
};

} // namespace monitor
