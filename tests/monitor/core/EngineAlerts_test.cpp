// The test engine with the program's own alert actions: a TCP destination that stops
// answering sends its failure mail through aiosmtpd and starts its program, and two failures
// of one pass go out in list order, the second after the first.

#include "AlertFixture.h"

#include "common/core/EventLoop.h"
#include "monitor/core/TestEngine.h"
#include "tests/net/ScriptedServer.h"

using namespace monitor;
using Words = std::vector<std::string>;

namespace {

Words operator+(Words a, const Words& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(AlertFixture, AFailingDestinationMailsAndRunsItsProgram)
{
    ASSERT_TRUE(server.started());
    beginLogged();
    actions().failEmail = actions().failRun = true;
    actions().failCommand = "/bin/true"; // started through the recorded starter
    const std::string port = std::to_string(test::closedLoopbackPort());
    for (const char* host : { "web", "db" }) {
        Destination row = Destination::added(host, "127.0.0.1", "TCP", port);
        row.SubItems[3] = "OK";
        controller->list().append(row);
    }
    controller->engine().TestAllDestinations();
    ASSERT_TRUE(core::waitFor([&] { return !controller->engine().passing(); }, std::chrono::seconds(20)));

    const std::string web = "TCP Fail to: 127.0.0.1 web";
    const std::string db = "TCP Fail to: 127.0.0.1 db";
    EXPECT_EQ(header(nextMail(), "Subject"), web + " " + Stamp);
    EXPECT_EQ(header(nextMail(), "Subject"), db + " " + Stamp);
    const Words date = { "6/12/26", "2:05:09", "PM" };
    EXPECT_EQ(starts.commands,
        (std::vector<Words> { Words { "/bin/true", "127.0.0.1", "web", "Fail" } + date,
            Words { "/bin/true", "127.0.0.1", "db", "Fail" } + date }));
    const std::vector<std::string> logged = logLines();
    for (const std::string& host : { web, db })
        EXPECT_NE(std::find(logged.begin(), logged.end(), "* Send Mail OK: " + host + " " + Stamp), logged.end());
}
