#pragma once

// The published face shared by the line-protocol clients (FTP, POP3, SMTP): the events every
// one of them fires, with the client itself as sender and its own request type, and the values
// every one of them reads back. Client is the client class that derives from this one.

#include "ControlConnection.h"

#include <functional>
#include <string>

namespace net {

template <class Client, class Request> class ClientEvents : public ControlConnection
{
public:
    using TextEvent = std::function<void(Client& sender, const std::string& text)>;
    using RequestDoneEvent = std::function<void(Client& sender, Request request, int error)>;
    using ErrorEvent = std::function<void(Client& sender, int error)>;
    using NotifyEvent = std::function<void(Client& sender)>;

    using ControlConnection::Connected;
    using ControlConnection::ErrorMessage;
    using ControlConnection::LastResponse;
    using ControlConnection::RequestResult;
    using ControlConnection::SecurityText;
    using ControlConnection::Socket;
    using ControlConnection::TlsActive;
    using ControlConnection::TlsPeer;
    // The last reply's code (POP3: 0 after a "+" reply, else 500); 426 after a time-out.
    using ControlConnection::StatusCode;
    Request RequestType() const { return static_cast<Request>(engine().request()); }

    // Each line shown: "> " + command, "< " + reply.
    TextEvent OnDisplay;
    // Each reply line as it came.
    TextEvent OnResponse;
    RequestDoneEvent OnRequestDone;
    ErrorEvent OnSessionConnected;
    ErrorEvent OnSessionClosed;
    NotifyEvent OnStateChange;

protected:
    using ControlConnection::ControlConnection;

    void fireStateChange() override { engine().fire(OnStateChange, self()); }
    void fireDisplay(const std::string& text) override { engine().fire(OnDisplay, self(), text); }
    void fireResponse(const std::string& line) override { engine().fire(OnResponse, self(), line); }
    void fireSessionConnected(int error) override { engine().fire(OnSessionConnected, self(), error); }
    void fireSessionClosed(int error) override { engine().fire(OnSessionClosed, self(), error); }
    // The last thing done for a request: the handler may destroy the client.
    void fireRequestDone(int request, int error) override
    {
        if (OnRequestDone)
            OnRequestDone(self(), static_cast<Request>(request), error);
    }

private:
    Client& self() { return static_cast<Client&>(*this); }
};

} // namespace net
