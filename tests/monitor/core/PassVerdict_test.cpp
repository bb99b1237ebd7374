// What a run that tests once tells cron and a monitoring system: the exit status and the
// plugin line with its performance data.

#include "monitor/core/FailureReason.h"
#include "monitor/core/PassVerdict.h"

#include <gtest/gtest.h>

using namespace monitor;

namespace {

RowOutcome ok(const std::string& name, int64_t ms)
{
    return { name, true, true, ms, "" };
}

RowOutcome failed(const std::string& name, int64_t ms, const std::string& reason = "")
{
    return { name, true, false, ms, reason };
}

RowOutcome untested(const std::string& name)
{
    return { name, false, false, 0, "" };
}

} // namespace

TEST(PassVerdict, PluginLineAndStatus)
{
    struct Case
    {
        std::vector<RowOutcome> rows;
        CheckStatus status;
        std::string line;
        bool allOk;
    };
    const std::vector<Case> cases = {
        { { ok("gw", 12), ok("mail", 1234) },
            CheckStatus::Ok,
            "SEN OK - 2 of 2 destinations OK | 'gw'=0.012s;;;0 'mail'=1.234s;;;0",
            true },
        { { ok("gw", 0), failed("web", 2001, "timed out"), failed("mail", 15000) },
            CheckStatus::Critical,
            "SEN CRITICAL - 1 of 3 destinations OK, failing: web (timed out), mail | 'gw'=0.000s;;;0 'web'=2.001s;;;0 "
            "'mail'=15.000s;;;0",
            false },
        // A row without a probe for its service is not OK, and has no time.
        { { ok("gw", 5), untested("odd") },
            CheckStatus::Critical,
            "SEN CRITICAL - 1 of 2 destinations OK, failing: odd (not tested) | 'gw'=0.005s;;;0",
            false },
        { { untested("odd") },
            CheckStatus::Critical,
            "SEN CRITICAL - 0 of 1 destinations OK, failing: odd (not tested)",
            false },
        { {}, CheckStatus::Unknown, "SEN UNKNOWN - no destination in the data file", false },
        // Names a parser of the line would trip over.
        { { ok("Bob's = box", 1), failed("a|b", 2, "421 busy|full"), ok("Bob's = box", 3) },
            CheckStatus::Critical,
            "SEN CRITICAL - 2 of 3 destinations OK, failing: a/b (421 busy/full) | 'Bob''s _ box'=0.001s;;;0 "
            "'a/b'=0.002s;;;0 "
            "'Bob''s _ box#3'=0.003s;;;0",
            false },
    };
    for (const Case& c : cases) {
        const CheckResult result = checkResult(c.rows);
        EXPECT_EQ(result.status, c.status) << c.line;
        EXPECT_EQ(result.line, c.line);
        EXPECT_EQ(allTestedOk(c.rows), c.allOk) << c.line;
    }
}

TEST(PassVerdict, SecondsAreWrittenTheSameInEveryLocale)
{
    setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(secondsText(0), "0.000s");
    EXPECT_EQ(secondsText(7), "0.007s");
    EXPECT_EQ(secondsText(1050), "1.050s");
    EXPECT_EQ(secondsText(-3), "0.000s");
    setlocale(LC_ALL, "C");
}

TEST(PassVerdict, UnknownKeepsTheLineOnOneLine)
{
    const CheckResult result = unknownResult("cannot read the data file /x|y\r\nz: No such file or directory");
    EXPECT_EQ(result.status, CheckStatus::Unknown);
    EXPECT_EQ(result.line, "SEN UNKNOWN - cannot read the data file /x/y  z: No such file or directory");
    const CheckResult late = timedOutResult(50, { ok("gw", 1), untested("web"), failed("mail", 2) });
    EXPECT_EQ(late.status, CheckStatus::Unknown);
    EXPECT_EQ(late.line, "SEN UNKNOWN - timed out after 50 s, 2 of 3 destinations tested");
}

TEST(FailureReason, ShortReasonsOfProbesAndServers)
{
    const std::pair<std::string, std::string> cases[] = {
        { "Connection refused (Error #10061)", "connection refused" },
        { "Host not found", "host not found" },
        { "421 Service not available, closing\r\nmore", "421 Service not available, closing" },
        { "-ERR busy", "-ERR busy" },
        { "HTTP 503 Service Unavailable", "HTTP 503 Service Unavailable" },
        { std::string(80, 'x'), std::string(60, 'x') },
    };
    for (const auto& [text, reason] : cases)
        EXPECT_EQ(shortReason(text), reason) << text;
    EXPECT_EQ(socketFailureReason(10061), "connection refused");
}
