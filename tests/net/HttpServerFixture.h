#pragma once

// Debian's nginx, started in the foreground for one test on a loopback address and port (a free
// port unless one is given, such as 127.0.0.1:80 inside a private network namespace), with its
// configuration in a temporary folder, and stopped with the fixture. The paths it serves are
// listed in tests/fixtures/nginx.conf.in: "/" (200), "/empty" (200, Content-Length 0),
// "/missing" (404), "/error" (500), "/moved" (301 to "/"), "/chain1" (two relocations, then
// 200), "/loop" (relocates to itself), "/secure" (301 to an https URL).

#include "ServerProcess.h"

#include <string>
#include <vector>

namespace test {

class HttpServerFixture
{
public:
    struct Options
    {
        ListenAddress listen;
        // More addresses served on the same port (127.0.0.2, ...), for many destinations.
        std::vector<std::string> moreAddresses;
        // With a certificate and its key (PEM files): HTTPS only.
        std::string certificate;
        std::string key;
    };

    HttpServerFixture();
    explicit HttpServerFixture(const Options& options);

    bool started() const { return m_started; }
    const std::string& address() const { return m_listen.address; }
    int port() const { return m_listen.port; }
    // The URL the monitor's probe would use: address, ":" and port, and the path when not "/".
    std::string url(const std::string& path = "/") const;
    std::string log() const { return m_server.log(); }

private:
    bool launch(const Options& options);

    ServerProcess m_server;
    ListenAddress m_listen;
    bool m_started = false;
};

} // namespace test
