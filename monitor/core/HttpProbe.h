#pragma once

// The HTTP probe's attempt: one HEAD request for the test's URL (the IP text, or IP:port; see
// httpUrl), started on the probe's own client and ended by its OnRequestDone.
//
// First attempt: a request that ends with a status below 400 (0 included: the server closed
// without a reply) is a success. Otherwise, as for an exception of the blocking request, the
// pane gets "* Exception: " + the reason and the log "* HTTP Exception [" + URL + "] " + the
// reason, and the attempt still succeeds when a status line came ("HTTP..." first in
// ReplyHeader): any reply proves the server alive. A retry succeeds only below 400, silently.
// With Verbose, an OK result is followed by the reply's header lines.
//
// The client has no time limit of its own: every request, relocations included, is bounded
// here by HTTP's time-out (fixed: the data file has no key for it), read at every attempt. A
// request cut by it ends with the reason "Timeout", and with what came of the reply kept.
// Abort ends the attempt at once, as a failure without lines.

#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

#include "common/core/EventLoop.h"
#include "common/net/HttpCli.h"

#include <string>

namespace monitor {

class HttpProbe final : public Probe
{
public:
    explicit HttpProbe(const MonitorSettings& settings);
    ~HttpProbe() override;

    void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) override;
    void abort() override;
    void reportResult(bool ok, ProbeLines& lines) override;

private:
    void requestDone();
    void finish(bool ok);

    const MonitorSettings& m_settings;
    net::THttpCli HTTP1;
    core::Timer m_deadline;
    bool m_running = false;
    bool m_timedOut = false;
    bool m_aborted = false;
    Attempt m_attempt = Attempt::First;
    std::string m_url;
    ProbeLines* m_lines = nullptr;
    Done m_done;
};

} // namespace monitor
