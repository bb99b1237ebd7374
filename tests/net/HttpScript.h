#pragma once

// A loopback HTTP server that plays a script against each of several connections in turn (the
// relocations of one request arrive as new connections), for the replies a real server will
// not give. Each request is read up to its blank line before the script sees it.

#include "ScriptedServer.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

class ScriptedHttpServer
{
public:
    // `request` holds the request's lines, the request line first, the blank line left out;
    // `session` counts from 0.
    using Script = std::function<void(ScriptSession& peer, const std::vector<std::string>& request, int session)>;

    explicit ScriptedHttpServer(Script script, int sessions = 1);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    int port() const { return m_port; }
    // The URL a caller gives: "127.0.0.1:port" + path.
    std::string url(const std::string& path = "") const;
    // The request of every session so far.
    std::vector<std::vector<std::string>> requests() const;
    // The request line of every session so far.
    std::vector<std::string> requestLines() const;
    // Waits (sleeping in the event loop) until every session has been played.
    bool waitDone(int timeoutMs = 20000) const;

private:
    void run(Script script, int sessions);

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_done { false };
    std::atomic<bool> m_stop { false };
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::string>> m_requests;
    core::Poster m_wake;
    std::thread m_thread;
};

// A reply: the status line, the fields, the blank line, each ended by CR LF.
std::string httpReply(const std::string& statusLine, const std::vector<std::string>& fields = {});

} // namespace test
