#pragma once

// Probes that follow a script instead of the network, and alert actions that are recorded
// instead of sent, for tests of the test engine.

#include "common/core/EventLoop.h"
#include "monitor/core/AlertSender.h"
#include "monitor/core/Probe.h"
#include "monitor/core/Services.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What one attempt does.
struct Script
{
    Script() = default;
    Script(bool ok, int delayMs = 0, bool abortable = true, std::vector<std::string> lines = {})
        : ok(ok)
        , delayMs(delayMs)
        , abortable(abortable)
        , lines(std::move(lines))
    {
    }

    bool ok = true;
    int delayMs = 0; // below 0: done is called inside start
    bool abortable = true; // false: Abort lets the attempt run out, as an echo does
    std::vector<std::string> lines; // activity lines written at the start
    std::function<void()> onStart;
};

class ScriptedProbes final : public monitor::ProbeFactory
{
public:
    // The script of an attempt; OK at once by default.
    std::function<Script(const monitor::TestContext&, monitor::Attempt)> script
        = [](const monitor::TestContext&, monitor::Attempt) { return Script {}; };
    // "IP first" or "IP retry", in the order attempts started.
    std::vector<std::string> started;
    int running = 0;
    int mostRunning = 0;
    int created = 0;

    std::unique_ptr<monitor::Probe> createProbe(monitor::Service service) override;
};

class ScriptedProbe final : public monitor::Probe
{
public:
    explicit ScriptedProbe(ScriptedProbes& owner)
        : m_owner(owner)
    {
        m_timer.setOnTimeout([this] { finish(m_ok); });
    }

    void start(
        const monitor::TestContext& context, monitor::Attempt attempt, monitor::ProbeLines& lines, Done done) override
    {
        EXPECT_FALSE(m_done) << "a probe was started while busy";
        const Script script = m_owner.script(context, attempt);
        m_owner.started.push_back(context.IP + (attempt == monitor::Attempt::First ? " first" : " retry"));
        m_owner.mostRunning = std::max(m_owner.mostRunning, ++m_owner.running);
        m_done = std::move(done);
        m_ok = script.ok;
        m_abortable = script.abortable;
        for (const std::string& line : script.lines)
            lines.activity(line);
        if (script.onStart)
            script.onStart();
        if (script.delayMs < 0)
            finish(m_ok);
        else
            m_timer.start(script.delayMs, true);
    }

    void abort() override
    {
        if (m_done && m_abortable)
            finish(false);
    }

private:
    void finish(bool ok)
    {
        if (!m_done)
            return;
        m_timer.stop();
        --m_owner.running;
        auto done = std::move(m_done);
        m_done = nullptr;
        done(ok);
    }

    ScriptedProbes& m_owner;
    core::Timer m_timer;
    Done m_done;
    bool m_ok = true;
    bool m_abortable = true;
};

inline std::unique_ptr<monitor::Probe> ScriptedProbes::createProbe(monitor::Service service)
{
    if (service != monitor::Service::Ping && service != monitor::Service::Tcp)
        return nullptr;
    ++created;
    return std::make_unique<ScriptedProbe>(*this);
}

struct RecordingAlerts final : monitor::AlertSender
{
    std::vector<std::string> calls;
    // Runs inside every mail, as a real send waits in the event loop.
    std::function<void()> duringMail;

    void SendAlertMail(const std::string& message, bool keepAlive) override
    {
        calls.push_back("mail " + message + (keepAlive ? " (keep-alive)" : ""));
        if (duringMail)
            duringMail();
    }
    void RunProgram(const std::string& command, const std::string& parameters) override
    {
        calls.push_back("run " + command + " | " + parameters);
    }
};
