#pragma once

// A started controller over a data file of the test's, with scripted probes (127.0.0.2 fails,
// every other address answers) and recorded alerts, and whole passes over its list.

#include "ControllerFixture.h"
#include "ScriptedProbes.h"

#include "common/core/EventLoop.h"

#include <chrono>

struct PassFixture : ControllerFixture
{
    ScriptedProbes probes;
    RecordingAlerts alerts;

    void startWith(const std::string& dataFile)
    {
        test::writeFile(ini, dataFile);
        run();
        controller->setProbeFactory(&probes);
        controller->setAlertSender(&alerts);
        probes.script = [](const monitor::TestContext& c, monitor::Attempt) { return Script(c.IP != "127.0.0.2", 1); };
    }

    // A pass to its end, with the history's writes and page done.
    void pass()
    {
        controller->engine().TestAllDestinations();
        ASSERT_TRUE(core::waitFor([&] { return !controller->engine().passing(); }, std::chrono::seconds(20)));
        controller->history().finish(std::chrono::seconds(10));
    }
};
