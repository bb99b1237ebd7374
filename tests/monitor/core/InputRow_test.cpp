// The input row's rules: which buttons are enabled, the default ports, the focus moves, and the
// values a row brings into it.

#include "monitor/core/InputRow.h"
#include "monitor/core/Services.h"

#include <gtest/gtest.h>

using namespace monitor;

namespace {

// The index of a service in the service choice.
constexpr int Ping = static_cast<int>(Service::Ping);
constexpr int Tcp = static_cast<int>(Service::Tcp);
constexpr int Http = static_cast<int>(Service::Http);
constexpr int Smtp = static_cast<int>(Service::Smtp);

} // namespace

TEST(InputRow, EnableRules)
{
    struct Case
    {
        InputRow row;
        bool add, lookup, canAdd;
    };
    const std::vector<Case> cases = {
        { { "", "", 0, "" }, false, false, false },
        { { "gw", "", 0, "" }, false, true, false },
        { { "", "127.0.0.1", 0, "" }, false, false, false },
        { { "gw", "127.0.0.1", 0, "" }, true, true, true },
        { { "gw", "127.0.0.1", -1, "" }, false, true, true }, // no service: the button waits, Enter adds
        { { " ", " ", 5, "" }, true, true, true }, // nothing is trimmed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.row.addEnabled(), c.add) << c.row.host << "|" << c.row.ip << "|" << c.row.service;
        EXPECT_EQ(c.row.lookupEnabled(), c.lookup);
        EXPECT_EQ(c.row.canAdd(), c.canAdd);
    }
}

TEST(InputRow, AServiceChoiceSetsItsPortAndTcpMovesTheFocusFromTheChoice)
{
    InputRow row { "gw", "127.0.0.1", Ping, "123" };
    EXPECT_FALSE(row.chooseService(Http, true));
    EXPECT_EQ(row.port, "80");
    EXPECT_FALSE(row.chooseService(Tcp, false)); // chosen with the mouse
    EXPECT_EQ(row.port, "0");
    EXPECT_TRUE(row.chooseService(Tcp, true));
    row.portFocused();
    EXPECT_EQ(row.port, "");
    row.port = "10";
    row.portFocused();
    EXPECT_EQ(row.port, "10");
    row.chooseService(-1, true);
    EXPECT_EQ(row.port, "");
}

TEST(InputRow, AddTakesTheTextsAsTheyStandAndKeepsServiceAndPort)
{
    InputRow row { "  web ", "127.0.0.1", Http, "8080" };
    const auto added = row.destination("HTTP");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->HostName, "  web ");
    EXPECT_EQ(added->SubItems, (std::vector<std::string> { "127.0.0.1", "HTTP", "8080", "na", "na" }));
    row.clearAfterAdd();
    EXPECT_EQ(row.host, "");
    EXPECT_EQ(row.ip, "");
    EXPECT_EQ(row.service, Http);
    EXPECT_EQ(row.port, "8080");
    EXPECT_FALSE(row.destination("HTTP"));
}

TEST(InputRow, ShowDestinationFillsThePortFromTheRowOrTheDefault)
{
    InputRow row;
    row.show(Destination::added("mail", "127.0.0.2", "smtp-ish", "2525"));
    EXPECT_EQ(row.host, "mail");
    EXPECT_EQ(row.service, Smtp);
    EXPECT_EQ(row.port, "2525");
    row.show(Destination { "short", { "127.0.0.3", "FTP" } });
    EXPECT_EQ(row.port, "21");
    row.show(Destination { "bare", {} });
    EXPECT_EQ(row.ip, "");
    EXPECT_EQ(row.service, Ping);
    row.reset();
    EXPECT_EQ(row.host, "");
    EXPECT_EQ(row.service, Ping);
    EXPECT_EQ(row.port, "");
}
