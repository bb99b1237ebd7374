#pragma once

// A loopback TCP server that plays one script against one client, for the odd server
// behaviour a real server will not show (silence, cut replies, resets, garbage). The script
// runs on its own thread with blocking calls, each bounded by a deadline, while the client
// under test runs in the test's event loop.

#include "common/core/EventLoop.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

class ScriptSession
{
public:
    explicit ScriptSession(int fd);
    ~ScriptSession();

    void send(const std::string& bytes);
    // Reads one line ended by CR LF (returned without it); false on close, error or time-out.
    bool readLine(std::string& line, int timeoutMs = 10000);
    // Reads lines until the "." that ends DATA; false when the client went away first.
    bool readData(std::vector<std::string>& lines, int timeoutMs = 10000);
    // Waits until the client closes or resets the connection.
    bool waitForClose(int timeoutMs = 10000);
    // Reads whatever arrives until the time passes or the peer closes, then reports the count.
    std::size_t drain(int timeoutMs);
    // Reads until the peer ends the connection: the byte count, and whether it ended with a
    // reset rather than an orderly end of data (or did not end within the time).
    std::size_t drainToEnd(int timeoutMs, bool& reset);
    void close();
    // Closes with a reset (SO_LINGER 0) instead of an orderly close.
    void reset();

    // Every line read so far, in order, including the lines of DATA.
    std::vector<std::string> received() const;

private:
    bool fill(int timeoutMs);

    int m_fd;
    std::string m_pending;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_received;
};

class ScriptedServer
{
public:
    using Script = std::function<void(ScriptSession&)>;

    // Listens on 127.0.0.1 at a free port and plays `script` with the first client.
    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return m_port; }
    std::string portText() const { return std::to_string(m_port); }
    bool done() const { return m_done; }
    // Lines the script read from the client; safe while the script runs.
    std::vector<std::string> received() const;
    // Waits (sleeping in the event loop) until the script has ended.
    bool waitDone(int timeoutMs = 20000) const;

private:
    void run(Script script);

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_done { false };
    std::atomic<bool> m_stop { false };
    mutable std::mutex m_mutex;
    ScriptSession* m_session = nullptr;
    std::vector<std::string> m_finalLines;
    // Wakes the test's event loop when the script ends.
    core::Poster m_wake;
    std::thread m_thread;
};

// A loopback port on which nothing listens (bound once, then released).
int closedLoopbackPort();

} // namespace test
