#include "Pop3ServerFixture.h"

#include <filesystem>

namespace test {

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr int kPortTries = 3;

} // namespace

Pop3ServerFixture::Pop3ServerFixture()
    : Pop3ServerFixture(Options {})
{
}

Pop3ServerFixture::Pop3ServerFixture(const Options& options)
{
    // dovecot's unprivileged processes (dovenull, dovecot) reach their sockets under this folder.
    std::filesystem::permissions(m_server.dir().path(),
        std::filesystem::perms::owner_all | std::filesystem::perms::group_read | std::filesystem::perms::group_exec
            | std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    for (int i = 0; i < kPortTries && !m_started; ++i)
        m_started = launch(options);
}

bool Pop3ServerFixture::launch(const Options& options)
{
    m_listen = options.listen;
    if (m_listen.port == 0)
        m_listen.port = freePort(m_listen.address);
    const std::string dir = m_server.dir().str();
    writeFile(m_server.dir() / "dovecot.conf",
        renderFixture("dovecot.conf.in",
            { { "DIR", dir },
                { "ADDRESS", m_listen.address },
                { "PORT", std::to_string(m_listen.port) },
                { "PROTOCOL", options.protocol },
                { "GREETING", options.greeting },
                { "MECHANISMS", options.apop ? "plain apop" : "plain" } }));
    const bool up = m_server.start(kDovecot, { "-F", "-c", dir + "/dovecot.conf" }, m_listen);
    if (!up)
        m_server.stop();
    return up;
}

} // namespace test
