// The mail texts without a server: the status line of a row and the recipients of the address
// field.

#include "monitor/core/AlertMail.h"

#include <gtest/gtest.h>

using namespace monitor;
using Lines = std::vector<std::string>;

TEST(AlertMail, StatusLineHasTheStateSymbolAndEveryColumnTheRowHas)
{
    struct Case
    {
        StateImage state;
        Destination row;
        std::string line;
    };
    const std::vector<Case> cases = {
        { StateImage::OK,
            { "router", { "127.0.0.2", "PING", "", "OK", "6/12/26 2:05:09 PM  [1 ms]" } },
            "+ router 127.0.0.2 PING  OK 6/12/26 2:05:09 PM  [1 ms]" },
        { StateImage::Fail, { "web", { "127.0.0.3", "HTTP", "80", "Fail", "x" } }, "X web 127.0.0.3 HTTP 80 Fail x" },
        { StateImage::UnderTest, { "a", { "1", "TCP", "22", "OK", "y" } }, "? a 1 TCP 22 OK y" },
        { StateImage::None,
            { "loaded", { "127.0.0.4", "FTP", "21", "OK", "earlier" } },
            "? loaded 127.0.0.4 FTP 21 OK earlier" },
        // A row with fewer columns (a hand-edited data file) gives only those.
        { StateImage::None, { "short", { "127.0.0.5", "PING" } }, "? short 127.0.0.5 PING" },
    };
    for (Case c : cases) {
        c.row.State = c.state;
        EXPECT_EQ(StatusLine(c.row), c.line);
    }
}

TEST(AlertMail, RecipientsAreSplitAtSemicolonsAndTrimmed)
{
    const std::vector<std::pair<std::string, Lines>> cases = {
        { "ops@office.test", { "ops@office.test" } },
        { "ops@office.test; boss@office.test", { "ops@office.test", "boss@office.test" } },
        { " ops@office.test ;\tboss@office.test ; ", { "ops@office.test", "boss@office.test" } },
        { "a@x;;b@y;", { "a@x", "b@y" } },
        { "\r\na@x\r\n", { "a@x" } },
        { "Ops <ops@office.test>", { "Ops <ops@office.test>" } },
        // Nothing to send to: one empty recipient, which the server answers for itself.
        { "", { "" } },
        { " ; ", { "" } },
    };
    for (const auto& [field, recipients] : cases)
        EXPECT_EQ(recipientsOf(field), recipients) << field;
}

TEST(AlertMail, BodyLinesBreakWithSingleCarriageReturns)
{
    Destination row { "r", { "127.0.0.2", "PING", "", "OK", "t" } };
    row.State = StateImage::OK;
    AlertBodyParts parts;
    parts.sendCurrentStatus = 2;
    parts.keepAlive = true;
    parts.nextKeepAlive = "later";
    EXPECT_EQ(alertBody("S", parts, { row }),
        "S\r\r+ r 127.0.0.2 PING  OK t\r\rNext scheduled keep alive message expected at: later\r\r");
    parts.sendCurrentStatus = 3; // no such choice: as Never
    EXPECT_EQ(alertBody("S", parts, { row }), "S\r\r\rNext scheduled keep alive message expected at: later\r\r");
}
