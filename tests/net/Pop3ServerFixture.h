#pragma once

// Debian's dovecot speaking POP3 (or IMAP: ImapServerFixture), started in the foreground for
// one test on a loopback address and port (a free port unless one is given, such as
// 127.0.0.1:110 inside a private network namespace), with its configuration and state in a
// temporary folder, and stopped with the fixture. It greets with "+OK " + the greeting,
// followed by an APOP time stamp "<...>" when APOP is offered, and answers QUIT with
// "+OK Logging out" before closing.

#include "ServerProcess.h"

#include <string>

namespace test {

class Pop3ServerFixture
{
public:
    struct Options
    {
        ListenAddress listen;
        std::string greeting = "Dovecot ready.";
        bool apop = true;
        std::string protocol = "pop3";
    };

    Pop3ServerFixture();
    explicit Pop3ServerFixture(const Options& options);

    bool started() const { return m_started; }
    const std::string& address() const { return m_listen.address; }
    int port() const { return m_listen.port; }
    std::string log() const { return m_server.log(); }

private:
    bool launch(const Options& options);

    ServerProcess m_server;
    ListenAddress m_listen;
    bool m_started = false;
};

// The same dovecot speaking IMAP: it greets with "* OK [CAPABILITY ...] Dovecot ready." and
// answers LOGOUT with "* BYE Logging out" and the tagged OK before closing.
class ImapServerFixture : public Pop3ServerFixture
{
public:
    explicit ImapServerFixture(const ListenAddress& listen = {})
        : Pop3ServerFixture(Options { listen, "Dovecot ready.", false, "imap" })
    {
    }
};

} // namespace test
