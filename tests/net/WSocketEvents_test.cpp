// Any event of TWSocket may destroy the socket that fires it: at every firing of every event of
// a whole session (look-up, connect, an error report, sending, receiving, the peer's close).
// SocketRun under AddressSanitizer, a touch of the freed socket fails the test.

#include "ScriptedServer.h"

#include "common/net/WSocket.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace net;
using namespace std::chrono_literals;

namespace {

enum class Event
{
    DnsLookupDone,
    ChangeState,
    SessionConnected,
    Error,
    SendData,
    DataSent,
    DataAvailable,
    SessionClosed,
};

const std::map<Event, const char*> kNames = {
    { Event::DnsLookupDone, "OnDnsLookupDone" },
    { Event::ChangeState, "OnChangeState" },
    { Event::SessionConnected, "OnSessionConnected" },
    { Event::Error, "OnError" },
    { Event::SendData, "OnSendData" },
    { Event::DataSent, "OnDataSent" },
    { Event::DataAvailable, "OnDataAvailable" },
    { Event::SessionClosed, "OnSessionClosed" },
};

struct SocketRun
{
    std::unique_ptr<TWSocket> socket = std::make_unique<TWSocket>();
    std::map<Event, int> fired;
    Event target = Event::DnsLookupDone;
    int killAt = 0;
    bool closed = false;

    // True when the socket still exists after the event.
    bool hit(Event e)
    {
        if (++fired[e] == killAt && e == target)
            socket.reset();
        return socket != nullptr;
    }

    void start(int port)
    {
        TWSocket& s = *socket;
        s.OnChangeState = [this](TWSocket&, TSocketState, TSocketState) { hit(Event::ChangeState); };
        s.OnError = [this](TWSocket&) { hit(Event::Error); };
        s.OnSendData = [this](TWSocket&, int) { hit(Event::SendData); };
        s.OnDataSent = [this](TWSocket&, int) { hit(Event::DataSent); };
        // A handler reads its captures before the event that may destroy the socket, and with
        // it the handler itself.
        s.OnDnsLookupDone = [this, port](TWSocket& sock, int error) {
            const std::string portText = std::to_string(port);
            if (!hit(Event::DnsLookupDone) || error != 0)
                return;
            sock.SetAddr(sock.DnsResult());
            sock.SetPort(portText);
            sock.Connect();
        };
        s.OnSessionConnected = [this](TWSocket& sock, int error) {
            SocketRun* self = this;
            if (!hit(Event::SessionConnected) || error != 0)
                return;
            sock.SetPort("1"); // refused while connected: goes through OnError
            if (self->socket)
                sock.SendStr(std::string(20000, 'x') + "\r\n");
        };
        s.OnDataAvailable = [this](TWSocket& sock, int) {
            char buffer[8];
            sock.Receive(buffer, sizeof buffer);
            hit(Event::DataAvailable);
        };
        s.OnSessionClosed = [this](TWSocket&, int) {
            closed = true;
            hit(Event::SessionClosed);
        };
        s.DnsLookup("localhost");
        core::waitFor([this] { return closed || !socket; }, 10s);
        core::waitFor([] { return false; }, 10ms); // posted events due now must not reach it
    }
};

} // namespace

TEST(WSocketEvents, EveryEventMayDestroyTheSocket)
{
    const auto script = [](test::ScriptSession& peer) {
        std::string line;
        if (peer.readLine(line))
            peer.send("a reply of some length\r\n");
        peer.close();
    };
    SocketRun reference;
    {
        test::ScriptedServer server(script);
        reference.start(server.port());
    }
    ASSERT_TRUE(reference.closed);
    for (const auto& [event, name] : kNames)
        EXPECT_GT(reference.fired[event], 0) << name << " never fired";
    for (const auto& [event, count] : reference.fired) {
        for (int at = 1; at <= count; ++at) {
            SCOPED_TRACE(std::string(kNames.at(event)) + " #" + std::to_string(at));
            test::ScriptedServer server(script);
            SocketRun run;
            run.target = event;
            run.killAt = at;
            run.start(server.port());
            EXPECT_FALSE(run.socket);
        }
    }
}
