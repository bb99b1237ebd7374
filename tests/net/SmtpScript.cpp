#include "SmtpScript.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace test {

void configureClient(net::TSyncSmtpCli& client, int port, int timeout)
{
    client.Host = "127.0.0.1";
    client.Port = std::to_string(port);
    client.SignOn = "SEN";
    client.Timeout = timeout;
}

void fillEnvelope(net::TSyncSmtpCli& client)
{
    client.FromName = "admin@example.org";
    client.RcptName = { "ops@example.org" };
    client.HdrFrom = "admin@example.org";
    client.HdrTo = "ops@example.org";
    client.HdrSubject = "Report";
}

void slowLookup(net::TWSocket& socket)
{
    socket.Resolver().setBlockingLookup([](const std::string&, std::vector<std::string>& addresses) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        addresses = { "127.0.0.1" };
        return 0;
    });
}

void answer(ScriptSession& peer, const std::string& reply)
{
    std::string line;
    if (peer.readLine(line))
        peer.send(reply + "\r\n");
}

void greetAndHelo(ScriptSession& peer)
{
    peer.send("220 scripted ESMTP\r\n");
    answer(peer, "250 hello");
}

void quitAndClose(ScriptSession& peer)
{
    answer(peer, "221 bye");
    peer.close();
}

void acceptOneMail(ScriptSession& peer, Lines& data, int recipients)
{
    greetAndHelo(peer);
    answer(peer, "250 sender ok");
    for (int i = 0; i < recipients; ++i)
        answer(peer, "250 recipient ok");
    answer(peer, "354 go ahead");
    if (peer.readData(data))
        peer.send("250 queued\r\n");
    quitAndClose(peer);
}

Lines linesAfter(const Lines& lines, const std::string& marker)
{
    const auto it = std::find(lines.begin(), lines.end(), marker);
    return it == lines.end() ? Lines {} : Lines(it + 1, lines.end());
}

FullListener::FullListener()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0
        || ::listen(m_listenFd, 0) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&sin), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    m_port = ntohs(sin.sin_port);
    // A backlog of 0 still takes one connection; this one fills it.
    m_fillerFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(m_fillerFd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0)
        throw std::runtime_error("cannot fill the accept queue");
}

FullListener::~FullListener()
{
    ::close(m_fillerFd);
    ::close(m_listenFd);
}

} // namespace test
