#pragma once

// Running one attempt of an application-layer probe in the test's event loop and keeping its
// lines; loopback listeners that refuse or never answer; the contexts of rows; probes and
// time-outs by service.

#include "common/core/EventLoop.h"
#include "monitor/core/Destination.h"
#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"
#include "monitor/core/Services.h"
#include "monitor/core/TestContext.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace probetest {

using Lines = std::vector<std::string>;

inline constexpr monitor::Service AppServices[] = { monitor::Service::Http,
    monitor::Service::Ftp,
    monitor::Service::Smtp,
    monitor::Service::Pop3,
    monitor::Service::Imap };
inline constexpr monitor::Service SessionServices[]
    = { monitor::Service::Ftp, monitor::Service::Smtp, monitor::Service::Pop3, monitor::Service::Imap };

// A fresh probe of the service named by its text, as a test pass makes it.
inline std::unique_ptr<monitor::Probe> makeProbe(const std::string& service, const monitor::MonitorSettings& settings)
{
    return monitor::rowOf(monitor::serviceOf(service)).makeProbe(settings);
}

template <class Services>
void setTimeOuts(monitor::MonitorSettings& settings, const Services& services, std::chrono::milliseconds timeOut)
{
    for (const monitor::Service service : services)
        settings.of(service).timeOut = timeOut;
}

struct RecordedLines final : monitor::ProbeLines
{
    Lines activityLines;
    Lines logLines;
    void activity(const std::string& line) override { activityLines.push_back(line); }
    void log(const std::string& line) override { logLines.push_back(line); }
};

struct Outcome
{
    bool ended = false;
    bool ok = false;
    int doneCalls = 0;
    std::chrono::milliseconds took {};
    RecordedLines lines;
};

inline monitor::TestContext contextFor(
    const std::string& service, const std::string& ip, const std::string& port, const std::string& host = "host")
{
    const monitor::Destination row = monitor::Destination::added(host, ip, service, port);
    return monitor::TestContext::of(row, 1, QDateTime::currentDateTime());
}

// One attempt, waited for in the event loop (at most `limit`).
inline Outcome attempt(monitor::Probe& probe,
    const monitor::TestContext& context,
    monitor::Attempt kind = monitor::Attempt::First,
    std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    using namespace std::chrono;
    Outcome outcome;
    const auto started = steady_clock::now();
    probe.start(context, kind, outcome.lines, [&outcome, started](bool ok) {
        ++outcome.doneCalls;
        outcome.ok = ok;
        outcome.ended = true;
        outcome.took = duration_cast<milliseconds>(steady_clock::now() - started);
    });
    EXPECT_TRUE(core::waitFor([&] { return outcome.ended; }, limit)) << "the attempt did not end";
    // Nothing more comes of it.
    core::waitFor([] { return false; }, milliseconds(20));
    EXPECT_EQ(outcome.doneCalls, 1);
    return outcome;
}

// A listening socket on loopback that never accepts: the kernel completes the handshake and
// nothing is ever said. Closed, its port refuses.
struct SilentListener
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;

    explicit SilentListener(const char* address = "127.0.0.1")
    {
        sockaddr_in sin {};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = inet_addr(address);
        ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
        ::listen(fd, 64);
        socklen_t length = sizeof sin;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &length);
        port = ntohs(sin.sin_port);
    }
    ~SilentListener()
    {
        if (fd >= 0)
            ::close(fd);
    }
    std::string portText() const { return std::to_string(port); }
};

// A listener whose accept queue is full (a backlog of 0 holds one connection, which this
// makes): the kernel drops every further handshake, so a connect waits for its time-out.
struct FullListener : SilentListener
{
    int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);

    FullListener()
    {
        ::listen(fd, 0);
        sockaddr_in sin {};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = inet_addr("127.0.0.1");
        sin.sin_port = htons(static_cast<uint16_t>(port));
        ::connect(filler, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
    }
    ~FullListener() { ::close(filler); }
};

} // namespace probetest
