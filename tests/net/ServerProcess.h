#pragma once

// A real server from a Debian package, run in the foreground for one test: started in a
// process group of its own with a configuration written into a temporary folder, ready once
// its port is listening, stopped (the whole group) with the object. The fixtures for nginx,
// vsftpd and dovecot build on it.

#include "tests/support/TempDir.h"

#include <QProcess>

#include <map>
#include <string>
#include <vector>

namespace test {

// Where a fixture listens: a loopback address (IPv4 or IPv6) and a port; port 0 picks a free one.
struct ListenAddress
{
    std::string address = "127.0.0.1";
    int port = 0;
};

class ServerProcess
{
public:
    ServerProcess();
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // The folder that holds the configuration, the log and the server's state.
    const TempDir& dir() const { return m_dir; }
    // Runs `program` with `arguments` (output into log()) and waits until `address`:`port` is
    // listening; false when the program ended first or did not listen within 20 seconds.
    bool start(const std::string& program, const std::vector<std::string>& arguments, const ListenAddress& where);
    // Ends the server and every process it started.
    void stop();
    bool running() const;
    // What the server wrote to its standard output and error (and its own log file, when the
    // configuration sends it to log()'s path).
    std::string log() const;
    std::string logPath() const { return (m_dir / "server.log").string(); }

private:
    TempDir m_dir;
    QProcess m_process;
    qint64 m_group = 0;
};

// A free port on a loopback address, IPv4 or IPv6 (bound once, then released).
int freePort(const std::string& address);
// Whether a TCP socket of this network namespace listens on address:port (or on any address).
bool listening(const std::string& address, int port);
// A template from tests/fixtures with every "@NAME@" replaced by its value.
std::string renderFixture(const std::string& templateName, const std::map<std::string, std::string>& values);
// The path of a file in tests/fixtures.
std::string fixtureFile(const std::string& name);

} // namespace test
