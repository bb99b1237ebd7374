// The destination list without a window: services by their text, the three sort modes, Remove
// of several rows, and the export text.

#include "monitor/core/DestinationList.h"
#include "monitor/core/ExportText.h"
#include "monitor/core/Services.h"

#include <gtest/gtest.h>

using namespace monitor;

namespace {

Destination row(
    const std::string& host, const std::string& ip, const std::string& service = "PING", const std::string& port = "")
{
    return Destination::added(host, ip, service, port);
}

std::vector<std::string> hosts(const DestinationList& list)
{
    std::vector<std::string> names;
    for (const Destination& r : list.rows())
        names.push_back(r.HostName);
    return names;
}

// Counts what a view would be told.
struct CountingObserver : DestinationListObserver
{
    void rowsAboutToChange(const ListChange& change) override { before.push_back(change.kind); }
    void rowsChanged(const ListChange& change) override { after.push_back(change.kind); }
    void rowUpdated(int row) override { updated.push_back(row); }
    std::vector<ListChange::Kind> before, after;
    std::vector<int> updated;
};

} // namespace

TEST(Services, AServiceTextIsKnownByItsFirstLetter)
{
    const std::vector<std::pair<std::string, Service>> cases = {
        { "", Service::Ping },
        { "PING", Service::Ping },
        { "TCP", Service::Tcp },
        { "tcp", Service::Tcp },
        { "Telnet", Service::Tcp },
        { "HTTP", Service::Http },
        { "https", Service::Http },
        { "FTP", Service::Ftp },
        { "SMTP", Service::Smtp },
        { "ssh", Service::Smtp },
        { "POP3", Service::Pop3 },
        { "pop3", Service::Ping }, // POP3 must be exact
        { "POP", Service::Ping },
        { "POP3 ", Service::Ping },
        { "IMAP", Service::Imap }, // a later service goes by its whole name
        { "imap", Service::Ping },
        { "IMAP4", Service::Ping },
        { "HTTPS", Service::Https },
        { "FTPS", Service::Ftps },
        { "SMTPS", Service::Smtps },
        { "smtps", Service::Smtp },
        { "POP3S", Service::Pop3s },
        { "IMAPS", Service::Imaps },
        { "TLS", Service::Tls },
        { "TLS1", Service::Tcp },
        { "\xc3\xa9", Service::Ping },
    };
    for (const auto& [text, service] : cases)
        EXPECT_EQ(serviceOf(text), service) << text;
    // A TLS row has no port of its own.
    const std::vector<std::string> ports
        = { "", "0", "80", "21", "25", "110", "143", "443", "990", "465", "995", "993", "" };
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(DefaultPortOf(i), ports[size_t(i)]);
    EXPECT_EQ(DefaultPortOf(-1), "");
    EXPECT_EQ(DefaultPortOf(13), "");
}

TEST(DestinationList, AddressOrderIsNumericIPv4ThenIPv6ThenByteWiseOnTheWholeKey)
{
    struct Case
    {
        Destination a, b;
        int order;
    };
    const std::vector<Case> cases = {
        { row("x", "192.168.0.20"), row("y", "192.168.0.100"), -1 },
        { row("x", "10.0.0.2"), row("y", "10.0.0.10"), -1 },
        { row("x", "10.0.0.1"), row("y", "10.0.0.10"), -1 },
        { row("x", "255.255.255.255"), row("y", "::"), -1 }, // IPv4 before IPv6
        { row("x", "2001:db8::9"), row("y", "2001:DB8::10"), -1 },
        { row("x", "[::1]"), row("y", "fe80::1%eth0"), -1 },
        { row("x", "fe80::1%eth0"), row("y", "fe80::1%eth1"), -1 }, // same address: the texts
        { row("x", "ffff::"), row("y", "a.test"), -1 }, // addresses before names
        { row("x", "b.test"), row("y", "a.test"), 1 },
        { row("x", "127.0.0.1", "PING"), row("y", "127.0.0.1", "TCP"), -1 },
        { row("x", "127.0.0.1", "TCP", "80"), row("y", "127.0.0.1", "TCP", "8080"), -1 },
        { row("x", "127.0.0.1"), row("y", "127.0.0.1"), 0 }, // the caption does not count
        { row("x", "\xc3\xa9"), row("y", "z"), 1 }, // bytes are unsigned
        { Destination { "x", { "127.0.0.1" } }, row("y", "127.0.0.1"), -1 }, // a prefix first
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DestListCompare(c.a, c.b), c.order) << c.a.IPAddress() << " " << c.b.IPAddress();
        EXPECT_EQ(DestListCompare(c.b, c.a), -c.order);
    }
}

TEST(DestinationList, SortByAddressOnceThenNewRowsAtTheEnd)
{
    DestinationList list;
    list.append(row("tcp", "192.168.0.20", "TCP", "22"));
    list.append(row("b", "192.168.0.100"));
    list.append(row("ping", "192.168.0.20", "PING"));
    list.ApplySort(SortMode::ByAddress);
    EXPECT_EQ(hosts(list), (std::vector<std::string> { "ping", "tcp", "b" }));
    list.append(row("a", "10.0.0.1"));
    EXPECT_EQ(hosts(list).back(), "a");
    list.ApplySort(SortMode::ByAddress);
    EXPECT_EQ(hosts(list).front(), "a");
}

TEST(DestinationList, SortByNameKeepsTheListSortedWithLetterCaseCounting)
{
    DestinationList list;
    for (const char* name : { "delta", "Bravo", "alpha", "bravo", "Alpha" })
        list.append(row(name, "127.0.0.1"));
    list.ApplySort(SortMode::ByName);
    const std::vector<std::string> sorted = hosts(list);
    // Alphabetical first (not byte order, which puts every capital first), case telling equals apart.
    EXPECT_EQ(sorted.size(), 5u);
    EXPECT_LT(std::find(sorted.begin(), sorted.end(), "alpha"), std::find(sorted.begin(), sorted.end(), "Bravo"));
    EXPECT_LT(std::find(sorted.begin(), sorted.end(), "Alpha"), std::find(sorted.begin(), sorted.end(), "bravo"));
    EXPECT_EQ(sorted.back(), "delta");
    EXPECT_NE(DestinationList::compareNames("alpha", "Alpha"), 0);
    for (size_t i = 1; i < sorted.size(); ++i)
        EXPECT_LE(DestinationList::compareNames(sorted[i - 1], sorted[i]), 0);

    // A new row goes to its place at once.
    EXPECT_EQ(list.append(row("charlie", "127.0.0.1")), 4);
    EXPECT_EQ(list.at(4).HostName, "charlie");

    // "Do not sort" keeps the order and appends.
    list.ApplySort(SortMode::None);
    list.append(row("aaa", "127.0.0.1"));
    EXPECT_EQ(hosts(list).back(), "aaa");
    EXPECT_EQ(sortModeOf(1), SortMode::ByName);
    EXPECT_EQ(sortModeOf(3), SortMode::Unchosen);
    EXPECT_EQ(sortModeOf(-1), SortMode::Unchosen);
}

TEST(DestinationList, RemoveTakesEverySelectedRowAndGivesBackTheLast)
{
    DestinationList list;
    CountingObserver observer;
    list.setObserver(&observer);
    for (int i = 0; i < 6; ++i)
        list.append(row("host" + std::to_string(i), "127.0.0." + std::to_string(i), "HTTP", "80"));
    const auto last = list.remove({ 4, 1, 2, 9, -1, 1 });
    ASSERT_TRUE(last);
    EXPECT_EQ(last->HostName, "host4");
    EXPECT_EQ(hosts(list), (std::vector<std::string> { "host0", "host3", "host5" }));
    EXPECT_EQ(std::count(observer.after.begin(), observer.after.end(), ListChange::Remove), 3);
    EXPECT_EQ(observer.before.size(), observer.after.size());
    EXPECT_FALSE(list.remove({}));
    EXPECT_FALSE(list.remove({ 3 }));
    list.setState(0, StateImage::Fail);
    EXPECT_EQ(observer.updated, std::vector<int> { 0 });
}

TEST(DestinationList, ExportWritesAHeaderAndOneTabSeparatedLinePerRow)
{
    DestinationList list;
    EXPECT_EQ(exportText(list), "Host Name\tIP Address\tService\tPort\tStatus\tLast Attempt\r\n");
    list.append(row("web \"main\"", "127.0.0.1", "HTTP", "80"));
    list.append(Destination { "short", { "127.0.0.2", "TCP" } });
    EXPECT_EQ(exportText(list),
        "Host Name\tIP Address\tService\tPort\tStatus\tLast Attempt\r\n"
        "web \"main\"\t127.0.0.1\tHTTP\t80\tna\tna\r\n"
        "short\t127.0.0.2\tTCP\r\n");
}
