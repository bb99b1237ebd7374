#include "MailSequence.h"

#include "WSocketResolve.h"

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

void applyMailSettings(
    TSyncSmtpCli& client, const MailSettings& settings, const std::string& settingsFile, const std::string& password)
{
    client.Host = splitServerField(settings.server).host;
    client.Port = portOf(settings);
    client.Security = securityOf(settings.security);
    client.TrustFile = besideSettings(WSocketTrim(settings.trustFile), settingsFile);
    client.Username = WSocketTrim(settings.user);
    client.Password = client.Username.empty() ? std::string() : password;
    client.AuthType = client.Username.empty() ? TSmtpAuthType::smtpAuthNone : TSmtpAuthType::smtpAuthAutoSelect;
}

bool sendMailSequence(
    TSyncSmtpCli& client, const MailServer& server, MailPasswords& passwords, MailSequenceEvents& events)
{
    bool mailed = false;
    try {
        const MailPasswords::Result password = passwords.read(server.settings, server.settingsFile);
        if (!password.warning.empty())
            events.warning(password.warning);
        if (!password.ok) {
            events.failed(password.error);
            return false;
        }
        DisplayChain chain(client, events);
        applyMailSettings(client, server.settings, server.settingsFile, password.password);
        if (server.signOn)
            client.SignOn = *server.signOn;
        events.connecting(server.settings.server);
        if (!client.SyncOpen()) {
            // A session that failed halfway (STARTTLS missing, a log-in refused) is dropped, so
            // that the next mail can open one.
            if (client.Connected())
                client.Abort();
            events.openFailed(client);
            return false;
        }
        events.connected();
        events.secured(client.SecurityText());
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
