#pragma once

// Pieces of SMTP server scripts shared by the scripted client tests, and a loopback listener
// whose accept queue is full, so that a connect to it stays pending.

#include "ScriptedServer.h"

#include "common/net/SyncSmtpCli.h"

#include <string>
#include <vector>

namespace test {

using Lines = std::vector<std::string>;

void configureClient(net::TSyncSmtpCli& client, int port, int timeout = 5);
void fillEnvelope(net::TSyncSmtpCli& client);

// Reads one command and answers it.
void answer(ScriptSession& peer, const std::string& reply);
void greetAndHelo(ScriptSession& peer);
void quitAndClose(ScriptSession& peer);
// A whole accepted session: greeting, HELO, MAIL, RCPT for `recipients`, DATA (its lines into
// `data`), QUIT.
void acceptOneMail(ScriptSession& peer, Lines& data, int recipients = 1);

// The socket's look-ups answer 127.0.0.1, after three seconds.
void slowLookup(net::TWSocket& socket);

// Lines after the first one equal to `marker`.
Lines linesAfter(const Lines& lines, const std::string& marker);

// A listener on 127.0.0.1 whose single accept slot is taken: further connects stay pending
// until it is destroyed.
class FullListener
{
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    int port() const { return m_port; }

private:
    int m_listenFd = -1;
    int m_fillerFd = -1;
    int m_port = 0;
};

} // namespace test
