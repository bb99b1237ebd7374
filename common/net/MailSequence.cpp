#include "MailSequence.h"

#include <exception>

namespace net {

namespace {

// Chains the sequence's display to the client's own OnDisplay for the length of one run.
class DisplayChain
{
public:
    DisplayChain(TSyncSmtpCli& client, MailSequenceEvents& events)
        : m_client(client)
        , m_saved(client.OnDisplay)
    {
        client.OnDisplay = [own = m_saved, &events](TCustomSmtpClient& sender, const std::string& text) {
            if (own)
                own(sender, text);
            events.display(text);
        };
    }
    ~DisplayChain() { m_client.OnDisplay = m_saved; }
    DisplayChain(const DisplayChain&) = delete;
    DisplayChain& operator=(const DisplayChain&) = delete;

private:
    TSyncSmtpCli& m_client;
    TCustomSmtpClient::TSmtpDisplay m_saved;
};

} // namespace

bool sendMailSequence(TSyncSmtpCli& client, const MailServer& server, MailSequenceEvents& events)
{
    bool mailed = false;
    try {
        DisplayChain chain(client, events);
        client.Host = server.host;
        if (server.signOn)
            client.SignOn = *server.signOn;
        events.connecting(server.host);
        if (!client.SyncOpen()) {
            events.openFailed(client);
            return false;
        }
        events.connected();
        events.compose(client);
        events.sending();
        mailed = client.SyncMail();
        if (mailed)
            events.sent();
        else
            events.sendFailed(client);
        events.closing();
        if (client.SyncQuit())
            events.closed();
        else
            events.closeFailed(client);
        events.finished();
    } catch (const std::exception& e) {
        // The session is dropped without QUIT, so that the next mail can open one.
        if (client.Connected())
            client.Abort();
        events.failed(e.what());
    }
    return mailed;
}

} // namespace net
