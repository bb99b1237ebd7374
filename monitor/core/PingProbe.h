#pragma once

// The PING probe's attempt: one ICMP echo to the IP text (a name there is looked up in the
// background), judged by the reply handler: only a reply that echoes the full request size is
// a success; an unreachable report (no echoed data) is shown and fails. The echo waits in the
// event loop and cannot be cut short: it ends with its reply or its time-out.
//
// Where the machine lets this user open no ICMP socket, the attempt fails with a line that
// says so and where the README tells how to grant the right; every other probe works on.

#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

#include "common/net/AsyncEcho.h"

namespace monitor {

class PingProbe final : public Probe
{
public:
    // The echo's size and TTL, and PING's time-out, are read at every attempt.
    explicit PingProbe(const MonitorSettings& settings);

    void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) override;
    void abort() override { }

    // "Cannot ping host " + IP + " : " + the socket's failure, and the pointer to the README.
    static std::string noPermissionLine(const std::string& ip, const std::string& failure);

private:
    void Ping1EchoReply(int status);

    const MonitorSettings& m_settings;
    net::AsyncEcho m_echo;
    ProbeLines* m_lines = nullptr;
    bool m_ok = false;
};

} // namespace monitor
