// Any event of the HTTP, FTP, POP3 and IMAP clients may destroy the client that fires it: at every
// firing of every event, in a whole exchange with the real servers (a relocation for HTTP, a
// multi-line greeting for FTP), through the blocking wrappers and the asynchronous operations.
// Run under AddressSanitizer, a touch of the freed client fails the test.

#include "FtpServerFixture.h"
#include "HttpServerFixture.h"
#include "LineClients.h"
#include "Pop3ServerFixture.h"

#include "common/core/EventLoop.h"
#include "common/net/HttpCli.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace net;
using namespace std::chrono_literals;

namespace {

// Owns one client, counts the firings of each event and destroys the client at the chosen one.
template <class Client> struct Run
{
    std::unique_ptr<Client> client = std::make_unique<Client>();
    std::map<std::string, int> fired;
    std::string target;
    int killAt = 0; // 0: never
    bool finished = false;

    void hit(const std::string& event)
    {
        if (++fired[event] == killAt && event == target)
            client.reset();
    }
    // Lets posted events still due run; they must not reach a destroyed client.
    void settle()
    {
        core::waitFor([] { return false; }, 20ms);
        finished = true;
    }
};

// One client kind: how to attach its events, and the two ways to drive an exchange.
template <class Client> struct Kind
{
    std::vector<std::string> events;
    std::function<void(Run<Client>&)> attach;
    std::function<void(Run<Client>&)> blocking;
    std::function<void(Run<Client>&)> async;
};

template <class Client> void runEveryKill(const Kind<Client>& kind, bool blocking)
{
    const auto drive = blocking ? kind.blocking : kind.async;
    Run<Client> reference;
    kind.attach(reference);
    drive(reference);
    ASSERT_TRUE(reference.client);
    for (const auto& event : kind.events) {
        const int count = reference.fired[event];
        EXPECT_GT(count, 0) << event << " never fired";
        for (int k = 1; k <= count; ++k) {
            SCOPED_TRACE(event + " #" + std::to_string(k));
            Run<Client> run;
            run.target = event;
            run.killAt = k;
            kind.attach(run);
            drive(run);
            EXPECT_FALSE(run.client) << "not destroyed";
            EXPECT_TRUE(run.finished);
        }
    }
}

Kind<THttpCli> httpKind(const test::HttpServerFixture& server)
{
    Kind<THttpCli> kind;
    kind.events = { "OnStateChange",
        "OnSessionConnected",
        "OnCommand",
        "OnHeaderBegin",
        "OnHeaderData",
        "OnHeaderEnd",
        "OnLocationChange",
        "OnRequestDone" };
    const std::string url = server.url("/moved");
    kind.attach = [url](Run<THttpCli>& run) {
        THttpCli& c = *run.client;
        c.URL = url;
        c.Timeout = 20;
        c.OnStateChange = [&run](THttpCli&) { run.hit("OnStateChange"); };
        c.OnSessionConnected = [&run](THttpCli&, int) { run.hit("OnSessionConnected"); };
        c.OnCommand = [&run](THttpCli&, const std::string&) { run.hit("OnCommand"); };
        c.OnHeaderBegin = [&run](THttpCli&) { run.hit("OnHeaderBegin"); };
        c.OnHeaderData = [&run](THttpCli&, const std::string&) { run.hit("OnHeaderData"); };
        c.OnHeaderEnd = [&run](THttpCli&) { run.hit("OnHeaderEnd"); };
        c.OnLocationChange = [&run](THttpCli&, const std::string&) { run.hit("OnLocationChange"); };
    };
    kind.blocking = [](Run<THttpCli>& run) {
        THttpCli* c = run.client.get();
        c->OnRequestDone = [&run](THttpCli&, THttpRequest, int) { run.hit("OnRequestDone"); };
        c->SyncHead();
        if (run.client)
            run.client->SyncHead();
        run.settle();
    };
    kind.async = [](Run<THttpCli>& run) {
        int rounds = 0;
        run.client->OnRequestDone = [&run, &rounds](THttpCli& sender, THttpRequest, int) {
            Run<THttpCli>* self = &run; // the handler goes with the client: read captures first
            int* count = &rounds;
            self->hit("OnRequestDone");
            if (self->client && ++*count < 2)
                sender.Head();
        };
        run.client->Head();
        core::waitFor([&] { return !run.client || rounds >= 2; }, 20s);
        run.settle();
    };
    return kind;
}

template <class Client> void attachCommonEvents(Client& c, Run<Client>& run)
{
    c.OnDisplay = [&run](auto&, const std::string&) { run.hit("OnDisplay"); };
    c.OnResponse = [&run](auto&, const std::string&) { run.hit("OnResponse"); };
    c.OnSessionConnected = [&run](auto&, int) { run.hit("OnSessionConnected"); };
    c.OnSessionClosed = [&run](auto&, int) { run.hit("OnSessionClosed"); };
    c.OnStateChange = [&run](auto&) { run.hit("OnStateChange"); };
}

// FTP, POP3 or IMAP: open, then say goodbye; the events all have, and those of `extra`.
template <class K> Kind<typename K::Client> lineKind(int port, std::vector<std::string> extra = {})
{
    using Client = typename K::Client;
    Kind<Client> kind;
    kind.events = { "OnDisplay", "OnResponse", "OnSessionConnected", "OnSessionClosed", "OnStateChange", "OnRequestDone" };
    kind.events.insert(kind.events.end(), extra.begin(), extra.end());
    kind.attach = [port](Run<Client>& run) {
        Client& c = *run.client;
        K::setHost(c, "127.0.0.1");
        c.Port = std::to_string(port);
        c.Timeout = 20;
        attachCommonEvents(c, run);
    };
    kind.blocking = [](Run<Client>& run) {
        Client* c = run.client.get();
        c->OnRequestDone = [&run](typename K::Base&, typename K::Request, int) { run.hit("OnRequestDone"); };
        const bool opened = K::open(*c);
        if (run.client && opened)
            K::quit(*c);
        run.settle();
    };
    kind.async = [](Run<Client>& run) {
        bool done = false;
        run.client->OnRequestDone = [&run, &done](typename K::Base& sender, typename K::Request request, int) {
            Run<Client>* self = &run;
            bool* over = &done;
            self->hit("OnRequestDone");
            if (self->client && request == K::OpenRequest)
                K::startQuit(sender);
            else
                *over = true;
        };
        K::startOpen(*run.client);
        core::waitFor([&] { return done || !run.client; }, 20s);
        run.settle();
    };
    return kind;
}

} // namespace

TEST(ClientsDestroyInEvent, Http)
{
    test::HttpServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    const auto kind = httpKind(server);
    runEveryKill(kind, true);
    runEveryKill(kind, false);
}

TEST(ClientsDestroyInEvent, Ftp)
{
    test::FtpServerFixture server({ {}, { "Welcome", "to the fixture" } });
    ASSERT_TRUE(server.started()) << server.log();
    auto kind = lineKind<test::FtpClientKind>(server.port(), { "OnCommand" });
    const auto attach = kind.attach;
    kind.attach = [attach](auto& run) {
        attach(run);
        run.client->OnCommand = [&run](TCustomFtpCli&, std::string&) { run.hit("OnCommand"); };
    };
    runEveryKill(kind, true);
    runEveryKill(kind, false);
}

TEST(ClientsDestroyInEvent, Pop3)
{
    test::Pop3ServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    const auto kind = lineKind<test::Pop3ClientKind>(server.port());
    runEveryKill(kind, true);
    runEveryKill(kind, false);
}

TEST(ClientsDestroyInEvent, Imap)
{
    test::ImapServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    const auto kind = lineKind<test::ImapClientKind>(server.port());
    runEveryKill(kind, true);
    runEveryKill(kind, false);
}
