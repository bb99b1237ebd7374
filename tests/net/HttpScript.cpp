#include "HttpScript.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace test {

ScriptedHttpServer::ScriptedHttpServer(Script script, int sessions)
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0
        || ::listen(m_listenFd, 16) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&sin), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    m_port = ntohs(sin.sin_port);
    m_thread = std::thread([this, script = std::move(script), sessions] { run(script, sessions); });
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
}

void ScriptedHttpServer::run(Script script, int sessions)
{
    for (int session = 0; session < sessions && !m_stop; ++session) {
        int fd = -1;
        while (!m_stop && fd < 0) {
            pollfd p { m_listenFd, POLLIN, 0 };
            if (::poll(&p, 1, 100) > 0)
                fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (fd < 0)
            break;
        ScriptSession peer(fd);
        std::vector<std::string> request;
        std::string line;
        while (peer.readLine(line) && !line.empty())
            request.push_back(line);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        script(peer, request, session);
    }
    m_done = true;
    m_wake.post([] {});
}

std::string ScriptedHttpServer::url(const std::string& path) const
{
    return "127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::vector<std::string>> ScriptedHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> ScriptedHttpServer::requestLines() const
{
    std::vector<std::string> lines;
    for (const auto& request : requests())
        lines.push_back(request.empty() ? std::string() : request.front());
    return lines;
}

bool ScriptedHttpServer::waitDone(int timeoutMs) const
{
    return core::waitFor([this] { return m_done.load(); }, std::chrono::milliseconds(timeoutMs));
}

std::string httpReply(const std::string& statusLine, const std::vector<std::string>& fields)
{
    std::string reply = statusLine + "\r\n";
    for (const auto& field : fields)
        reply += field + "\r\n";
    return reply + "\r\n";
}

} // namespace test
