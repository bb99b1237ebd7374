// Any event of the SMTP client may destroy the client that fires it: at every firing of every
// event, in a whole session with a body, extra lines and an attachment, through the blocking
// wrappers and through the asynchronous operations. Run under AddressSanitizer, a touch of the
// freed client fails the test.

#include "SmtpServerFixture.h"

#include "common/core/EventLoop.h"
#include "common/net/SyncSmtpCli.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace net;

namespace {

enum class Event
{
    Display,
    Command,
    Response,
    StateChange,
    SessionConnected,
    SessionClosed,
    RequestDone,
    GetData,
    HeaderLine,
    ProcessHeader,
    AttachContentType,
    AttachHeader,
};

const std::map<Event, const char*> kEventNames = {
    { Event::Display, "OnDisplay" },
    { Event::Command, "OnCommand" },
    { Event::Response, "OnResponse" },
    { Event::StateChange, "OnStateChange" },
    { Event::SessionConnected, "OnSessionConnected" },
    { Event::SessionClosed, "OnSessionClosed" },
    { Event::RequestDone, "OnRequestDone" },
    { Event::GetData, "OnGetData" },
    { Event::HeaderLine, "OnHeaderLine" },
    { Event::ProcessHeader, "OnProcessHeader" },
    { Event::AttachContentType, "OnAttachContentType" },
    { Event::AttachHeader, "OnAttachHeader" },
};

// Owns one client, counts the firings of each event and destroys the client at the chosen one.
struct Run
{
    std::unique_ptr<TSyncSmtpCli> client = std::make_unique<TSyncSmtpCli>();
    std::map<Event, int> fired;
    Event target = Event::Display;
    int killAt = 0; // 0: never
    bool finished = false;

    void hit(Event e)
    {
        if (++fired[e] == killAt && e == target)
            client.reset();
    }

    void attach(int port, const std::string& attachment)
    {
        TSyncSmtpCli& c = *client;
        c.Host = "127.0.0.1";
        c.Port = std::to_string(port);
        c.Timeout = 20;
        c.FromName = "a@example.org";
        c.RcptName = { "b@example.org" };
        c.HdrTo = "b@example.org";
        c.HdrSubject = "destroy";
        c.MailMessage = { "body line" };
        c.EmailFiles = { attachment };
        c.OnDisplay = [this](TCustomSmtpClient&, const std::string&) { hit(Event::Display); };
        c.OnCommand = [this](TCustomSmtpClient&, const std::string&) { hit(Event::Command); };
        c.OnResponse = [this](TCustomSmtpClient&, const std::string&) { hit(Event::Response); };
        c.OnStateChange = [this](TCustomSmtpClient&) { hit(Event::StateChange); };
        c.OnSessionConnected = [this](TCustomSmtpClient&, int) { hit(Event::SessionConnected); };
        c.OnSessionClosed = [this](TCustomSmtpClient&, int) { hit(Event::SessionClosed); };
        c.OnGetData = [this](TCustomSmtpClient&, int number, std::string& line, int, bool& more) {
            line = "extra";
            more = number == 1;
            hit(Event::GetData);
        };
        c.OnHeaderLine = [this](TCustomSmtpClient&, std::string&) { hit(Event::HeaderLine); };
        c.OnProcessHeader = [this](TCustomSmtpClient&, std::vector<std::string>&) { hit(Event::ProcessHeader); };
        c.OnAttachContentType = [this](TSmtpCli&, int, std::string&, std::string&) { hit(Event::AttachContentType); };
        c.OnAttachHeader
            = [this](TSmtpCli&, int, const std::string&, std::vector<std::string>&) { hit(Event::AttachHeader); };
    }

    // Open, mail and quit through the blocking wrappers, stopping where the client is gone.
    void runBlocking()
    {
        TSyncSmtpCli* c = client.get();
        c->OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest, int) { hit(Event::RequestDone); };
        const bool opened = c->SyncOpen();
        if (client && opened)
            c->SyncMail();
        if (client)
            c->SyncQuit();
        // Posted events still due run now; they must not reach a destroyed client.
        core::waitFor([] { return false; }, std::chrono::milliseconds(20));
        finished = true;
    }

    // Open, Mail and Quit chained through OnRequestDone.
    void runAsync()
    {
        client->OnRequestDone = [this](TCustomSmtpClient& sender, TSmtpRequest request, int) {
            Run* self = this; // the handler goes with the client: read its captures first
            self->hit(Event::RequestDone);
            if (!self->client) {
                self->finished = true;
                return;
            }
            if (request == TSmtpRequest::smtpRqOpen)
                sender.Mail();
            else if (request == TSmtpRequest::smtpRqMail)
                sender.Quit();
            else
                self->finished = true;
        };
        client->Open();
        core::waitFor([this] { return finished || !client; }, std::chrono::seconds(20));
        core::waitFor([] { return false; }, std::chrono::milliseconds(20));
        finished = true;
    }
};

void runEveryKill(bool blocking)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    test::TempDir dir;
    test::writeFile(dir / "att.txt", "attached bytes");
    const std::string attachment = (dir / "att.txt").string();

    Run reference;
    reference.attach(server.port(), attachment);
    blocking ? reference.runBlocking() : reference.runAsync();
    ASSERT_TRUE(reference.client);
    ASSERT_FALSE(server.waitForMessage(1).empty());
    for (const auto& [event, name] : kEventNames)
        EXPECT_GT(reference.fired[event], 0) << name << " never fired";

    for (const auto& [event, count] : reference.fired) {
        for (int at = 1; at <= count; ++at) {
            SCOPED_TRACE(std::string(kEventNames.at(event)) + " #" + std::to_string(at));
            Run run;
            run.target = event;
            run.killAt = at;
            run.attach(server.port(), attachment);
            blocking ? run.runBlocking() : run.runAsync();
            EXPECT_FALSE(run.client) << "not destroyed";
        }
    }
}

} // namespace

TEST(SmtpDestroyInEvent, EveryEventDuringBlockingCalls)
{
    runEveryKill(true);
}

TEST(SmtpDestroyInEvent, EveryEventDuringAsynchronousRequests)
{
    runEveryKill(false);
}
