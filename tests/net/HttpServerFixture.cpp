#include "HttpServerFixture.h"

#include <filesystem>

namespace test {

namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr int kPortTries = 3;

// An IPv6 address in brackets, as nginx and a URL take it.
std::string bracketed(const std::string& address)
{
    return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

} // namespace

HttpServerFixture::HttpServerFixture()
    : HttpServerFixture(Options {})
{
}

HttpServerFixture::HttpServerFixture(const Options& options)
{
    const std::string dir = m_server.dir().str();
    std::filesystem::permissions(dir,
        std::filesystem::perms::all & ~std::filesystem::perms::group_write & ~std::filesystem::perms::others_write);
    writeFile(m_server.dir() / "html" / "index.html", "<html><body>fixture</body></html>\n");
    writeFile(m_server.dir() / "html" / "empty.html", "");
    // A free port can be taken by someone else before nginx binds it: then try another.
    for (int i = 0; i < kPortTries && !m_started; ++i)
        m_started = launch(options);
}

bool HttpServerFixture::launch(const Options& options)
{
    m_listen = options.listen;
    if (m_listen.port == 0)
        m_listen.port = freePort(m_listen.address);
    std::string listen;
    std::vector<std::string> addresses = { m_listen.address };
    addresses.insert(addresses.end(), options.moreAddresses.begin(), options.moreAddresses.end());
    const bool tls = !options.certificate.empty();
    for (const auto& address : addresses)
        listen += "        listen " + bracketed(address) + ":" + std::to_string(m_listen.port) + (tls ? " ssl" : "") + ";\n";
    if (tls)
        listen += "        ssl_certificate " + options.certificate + ";\n        ssl_certificate_key " + options.key + ";\n";
    const std::string dir = m_server.dir().str();
    writeFile(m_server.dir() / "nginx.conf", renderFixture("nginx.conf.in", { { "DIR", dir }, { "LISTEN", listen } }));
    const bool up = m_server.start(kNginx, { "-p", dir, "-c", dir + "/nginx.conf" }, m_listen);
    if (!up)
        m_server.stop();
    return up;
}

std::string HttpServerFixture::url(const std::string& path) const
{
    return bracketed(m_listen.address) + ":" + std::to_string(m_listen.port) + (path == "/" ? std::string() : path);
}

} // namespace test
