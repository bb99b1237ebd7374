// What the FTP, POP3 and IMAP clients do alike, against scripted loopback servers: failures
// before a greeting, a time-out at every step, and a careless caller. Each test runs for each.

#include "LineClients.h"
#include "SmtpScript.h"

#include "common/core/EventLoop.h"

#include <gtest/gtest.h>

#include <memory>

using namespace net;
using test::ScriptedServer;
using test::ScriptSession;

namespace {

template <class Kind> class LineClientScripted : public ::testing::Test
{
protected:
    using Client = typename Kind::Client;

    static void configure(Client& client, int port, int timeout = 5)
    {
        Kind::setHost(client, "127.0.0.1");
        client.Port = std::to_string(port);
        client.Timeout = timeout;
    }
    // Greets, answers QUIT and closes.
    static void greetAndPart(ScriptSession& peer)
    {
        peer.send(Kind::Greeting);
        std::string line;
        if (peer.readLine(line))
            peer.send(Kind::Goodbye);
        peer.close();
    }
    static void expectMisuse(const std::function<void()>& call, const std::string& what)
    {
        try {
            call();
            FAIL() << "no exception";
        } catch (const typename Kind::Misuse& e) {
            EXPECT_EQ(e.what(), std::string(Kind::Component) + " component " + what);
        }
    }
};

using Kinds = ::testing::Types<test::FtpClientKind, test::Pop3ClientKind, test::ImapClientKind>;
TYPED_TEST_SUITE(LineClientScripted, Kinds);

} // namespace

TYPED_TEST(LineClientScripted, FailuresBeforeAGreeting)
{
    using Kind = TypeParam;
    typename Kind::Client client;
    this->configure(client, test::closedLoopbackPort());
    EXPECT_FALSE(Kind::open(client));
    EXPECT_EQ(client.LastResponse(), std::string(Kind::Prefix) + "Connection refused (Winsock error #10061)");
    EXPECT_EQ(client.ErrorMessage(), client.LastResponse());
    EXPECT_EQ(client.StatusCode(), 500);

    Kind::setHost(client, "no-such-host.test");
    Kind::socket(client).Resolver().setBlockingLookup([](const std::string&, std::vector<std::string>&) { return 11001; });
    EXPECT_FALSE(Kind::open(client));
    EXPECT_EQ(client.LastResponse(), std::string(Kind::Prefix) + "Host not found (Winsock error #11001)");
    EXPECT_EQ(client.RequestResult(), 11001);

    for (const char* empty : { "", " " }) {
        Kind::setHost(client, empty);
        EXPECT_FALSE(Kind::open(client));
        EXPECT_EQ(client.StatusCode(), 500);
        EXPECT_EQ(client.LastResponse().rfind(Kind::Prefix, 0), 0u) << client.LastResponse();
    }

    // A server that accepts and closes without a word gives no greeting: no success.
    ScriptedServer mute([](ScriptSession& peer) { peer.close(); });
    this->configure(client, mute.port());
    EXPECT_FALSE(Kind::open(client));
    EXPECT_EQ(client.RequestResult(), WSAEINTR);
    EXPECT_TRUE(Kind::ready(client));
    // Without a connection QUIT ends at once, with no wait for an answer.
    EXPECT_EQ(Kind::quit(client), Kind::QuitWithoutConnection);
    EXPECT_EQ(client.RequestResult(), Kind::QuitWithoutConnectionResult);
}

TYPED_TEST(LineClientScripted, TimeOutAtEveryStepLeavesTheClientReady)
{
    using Kind = TypeParam;
    using Client = typename Kind::Client;
    struct Case
    {
        const char* name;
        std::function<std::shared_ptr<void>(Client&)> serve;
        bool inOpen;
    };
    const auto scripted = [](Client& c, ScriptedServer::Script script) {
        auto server = std::make_shared<ScriptedServer>(std::move(script));
        c.Port = server->portText();
        return std::shared_ptr<void>(server);
    };
    const auto greetWith = [&](const char* greeting) {
        return [&scripted, greeting](Client& c) {
            return scripted(c, [greeting](ScriptSession& peer) {
                peer.send(greeting);
                peer.waitForClose();
            });
        };
    };
    const std::vector<Case> cases = {
        { "name look-up",
            [](Client& c) -> std::shared_ptr<void> {
                Kind::setHost(c, "slow.example.test");
                test::slowLookup(Kind::socket(c));
                return nullptr;
            },
            true },
        { "connect",
            [](Client& c) -> std::shared_ptr<void> {
                auto listener = std::make_shared<test::FullListener>();
                c.Port = std::to_string(listener->port());
                return listener;
            },
            true },
        { "greeting", greetWith(""), true },
        { "greeting cut short", greetWith(Kind::CutGreeting), true },
        { "goodbye reply", greetWith(Kind::Greeting), false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Client client;
        this->configure(client, 0, 1);
        const auto keep = c.serve(client);
        if (c.inOpen) {
            EXPECT_FALSE(Kind::open(client));
        } else {
            ASSERT_TRUE(Kind::open(client));
            EXPECT_FALSE(Kind::quit(client));
        }
        EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
        EXPECT_EQ(client.StatusCode(), 426);
        EXPECT_TRUE(Kind::ready(client));
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(Kind::quit(client), Kind::QuitWithoutConnection);

        ScriptedServer next([](ScriptSession& peer) { LineClientScripted<Kind>::greetAndPart(peer); });
        Kind::setHost(client, "127.0.0.1");
        client.Port = next.portText();
        Kind::socket(client).Resolver().setBlockingLookup(nullptr);
        EXPECT_TRUE(Kind::open(client)) << client.LastResponse();
        EXPECT_TRUE(Kind::quit(client)) << client.LastResponse();
        EXPECT_TRUE(client.ErrorMessage().empty()) << client.ErrorMessage();
        EXPECT_TRUE(next.waitDone());
    }
}

TYPED_TEST(LineClientScripted, MisuseRaisesAndTheWrappersSayFalse)
{
    using Kind = TypeParam;
    ScriptedServer server([](ScriptSession& peer) { LineClientScripted<Kind>::greetAndPart(peer); });
    typename Kind::Client client;
    this->configure(client, server.port());
    ASSERT_TRUE(Kind::open(client));
    this->expectMisuse([&] { Kind::startOpen(client); }, "already connected");
    EXPECT_FALSE(Kind::open(client));
    EXPECT_TRUE(client.Connected());

    Kind::startQuit(client);
    this->expectMisuse([&] { Kind::startOpen(client); }, "not ready");
    this->expectMisuse([&] { Kind::startQuit(client); }, "not ready");
    EXPECT_TRUE(core::waitFor([&] { return Kind::ready(client); }, std::chrono::seconds(10)));
    EXPECT_EQ(client.RequestResult(), 0);
}
