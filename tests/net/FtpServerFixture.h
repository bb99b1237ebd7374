#pragma once

// Debian's vsftpd, started in the foreground for one test on a loopback address and port (a
// free port unless one is given, such as 127.0.0.1:21 inside a private network namespace), with
// its configuration in a temporary folder, and stopped with the fixture (every session process
// too). It greets with "220 (vsFTPd 3.0.3)", or with the lines asked for, and answers QUIT with
// "221 Goodbye.".

#include "ServerProcess.h"

#include <string>
#include <vector>

namespace test {

class FtpServerFixture
{
public:
    struct Options
    {
        ListenAddress listen;
        // One line: the greeting "220 " + line. Several: a multi-line greeting "220-" + each
        // line, then "220 " alone.
        std::vector<std::string> banner;
        // With a certificate and its key (PEM files): over TLS from the first byte (implicit).
        std::string certificate;
        std::string key;
    };

    FtpServerFixture();
    explicit FtpServerFixture(const Options& options);

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

} // namespace test
