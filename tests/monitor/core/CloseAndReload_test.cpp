// The close as every front end runs it (nothing starts once it began, unless the save failed;
// a data file someone else changed is not overwritten unasked)
// and the reload a service manager asks for (the file's settings, the list's latest states).

#include "ControllerFixture.h"
#include "ScriptedProbes.h"

#include "common/core/EventLoop.h"
#include "monitor/core/TestEngine.h"

#include <functional>

using namespace monitor;
using namespace std::chrono_literals;

namespace {

Destination stored(const std::string& host, const std::string& ip, const std::string& status)
{
    Destination row = Destination::added(host, ip, "TCP", "80");
    row.SubItems[3] = status;
    row.SubItems[4] = status == "na" ? "na" : "earlier";
    return row;
}

} // namespace

TEST_F(ControllerFixture, NothingStartsOnceTheCloseBeganUnlessTheSaveFailed)
{
    test::writeFile(ini, "[SEN]\r\nEnableTimer=1\r\nAllowFractionOfMinute=1\r\nTimerInterval=0.001\r\n");
    run();
    ScriptedProbes probes;
    controller->setProbeFactory(&probes);
    controller->list().append(Destination::added("a", "127.0.0.1", "TCP", "80"));
    TestEngine& engine = controller->engine();
    ASSERT_TRUE(engine.timerActive());

    // The data file's folder is gone: the save fails, and the program goes on as before.
    controller->SetDataFile((dir / "gone" / "net.SEN").string());
    EXPECT_THROW(controller->prepareClose(), std::exception);
    EXPECT_TRUE(engine.timerActive());
    EXPECT_TRUE(engine.TestDestination(0));
    core::waitFor([&] { return engine.testsUnderWay() == 0; }, 5s);

    controller->settings().saveOnExit = false;
    controller->prepareClose();
    EXPECT_FALSE(engine.timerActive());
    engine.SetupTestTimer();
    EXPECT_FALSE(engine.timerActive());
    engine.TestAllDestinations();
    EXPECT_FALSE(engine.passing());
    EXPECT_FALSE(engine.TestDestination(0));
    // The shut-down mail waits in the event loop: no timer starts a pass meanwhile.
    const size_t attempts = probes.started.size();
    core::waitFor([] { return false; }, 200ms);
    EXPECT_EQ(probes.started.size(), attempts);
}

TEST_F(ControllerFixture, AReloadTakesTheFileButKeepsTheStatesTheTestsFound)
{
    run();
    DestinationList& list = controller->list();
    for (const Destination& row : { stored("kept", "127.0.0.1", "OK"),
             stored("moved", "127.0.0.2", "OK"),
             stored("twin", "127.0.0.3", "OK"),
             stored("twin", "127.0.0.3", "OK") })
        list.append(row);
    controller->save();
    // What the tests found since the save.
    for (int row : { 0, 1, 2 }) {
        Destination found = list.at(row);
        found.SubItems[3] = "Fail";
        found.SubItems[4] = "just now";
        found.State = StateImage::Fail;
        list.update(row, found);
    }
    list.setState(3, StateImage::UnderTest);

    // The user changes one row's address, adds one, and the timer.
    std::string text = test::readFile(ini);
    text.replace(text.find("IP2=127.0.0.2"), 13, "IP2=127.0.0.9");
    text.replace(text.find("DestCount=4"), 11, "DestCount=5\r\nNAME5=new\r\nIP5=127.0.0.5");
    text.replace(text.find("EnableTimer=0"), 13, "EnableTimer=1");
    test::writeFile(ini, text);

    ASSERT_TRUE(controller->reloadDataFile());
    ASSERT_EQ(list.count(), 5);
    const struct
    {
        const char* host;
        const char* status;
        const char* last;
        StateImage state;
    } expected[] = {
        { "kept", "Fail", "just now", StateImage::Fail },
        { "moved", "OK", "earlier", StateImage::None }, // a different destination now
        { "twin", "Fail", "just now", StateImage::Fail },
        { "twin", "OK", "earlier", StateImage::None }, // was under test: no picture
        { "new", "", "", StateImage::None },
    };
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(list.at(row).HostName, expected[row].host);
        EXPECT_EQ(list.at(row).Status(), expected[row].status) << row;
        EXPECT_EQ(list.at(row).LastAttempt(), expected[row].last) << row;
        EXPECT_EQ(list.at(row).State, expected[row].state) << row;
    }
    EXPECT_TRUE(controller->settings().enableTimer);
    EXPECT_TRUE(controller->engine().timerActive());
    EXPECT_TRUE(frontEnd.questions.empty());

    // Gone: nothing changes, and the reload says why.
    fs::remove(ini);
    EXPECT_FALSE(controller->reloadDataFile());
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(frontEnd.messages.back(), "File Not Found: " + ini.string());
}

// The close's save does not overwrite a data file that someone else changed since SEN read or
// wrote it, unless asked to; Save Settings Now writes it all the same, and neither SEN's own
// writes (the save-on-exit toggle included) nor the states another SEN run saved count.
TEST_F(ControllerFixture, TheCloseAsksBeforeOverwritingAFileChangedBySomeoneElse)
{
    using Save = MonitorController::CloseSave;
    const std::string edited = "[SEN]\r\nSaveOnExit=1\r\n[DestList]\r\nDestCount=1\r\nNAME1=by hand\r\n";
    const struct
    {
        const char* name;
        std::function<void(MonitorController&)> meanwhile;
        Save result; // when the question, if any, is answered No
        bool asked;
    } cases[] = {
        { "untouched", [](MonitorController&) {}, Save::Saved, false },
        { "saved now, then toggled twice",
            [](MonitorController& c) {
                c.save();
                c.toggleSaveOnExit();
                c.toggleSaveOnExit();
            },
            Save::Saved,
            false },
        { "edited, kept", [&](MonitorController&) { test::writeFile(ini, edited); }, Save::KeptChangedFile, true },
        { "edited, then toggled",
            [&](MonitorController& c) {
                test::writeFile(ini, edited);
                c.toggleSaveOnExit();
                c.toggleSaveOnExit();
            },
            Save::KeptChangedFile,
            true },
        { "edited, then saved now",
            [&](MonitorController& c) {
                test::writeFile(ini, edited);
                c.save();
            },
            Save::Saved,
            false },
        { "made while SEN ran without it",
            [&](MonitorController&) { test::writeFile(ini, edited); },
            Save::KeptChangedFile,
            true },
        { "removed", [&](MonitorController&) { fs::remove(ini); }, Save::Saved, false },
        // Another SEN run on the file saves the same settings and rows with other states.
        { "states saved by another run",
            [&](MonitorController&) { test::writeFile(ini, test::readFile(ini) + "Stat1=Fail\r\nLast1=later\r\n"); },
            Save::Saved,
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(ini);
        if (std::string(c.name) != "made while SEN ran without it")
            test::writeFile(ini, "[SEN]\r\nSaveOnExit=1\r\n[DestList]\r\nDestCount=1\r\nNAME1=a\r\n");
        run();
        controller->list().append(Destination::added("added", "127.0.0.2", "PING", ""));
        c.meanwhile(*controller);
        const std::string before = fs::exists(ini) ? test::readFile(ini) : "";
        bool asked = false;
        EXPECT_EQ(controller->prepareClose([&] {
            asked = true;
            return false;
        }),
            c.result);
        EXPECT_EQ(asked, c.asked);
        if (c.result == Save::KeptChangedFile)
            EXPECT_EQ(test::readFile(ini), before);
        else
            EXPECT_NE(test::readFile(ini).find("NAME2=added"), std::string::npos);
    }
}
