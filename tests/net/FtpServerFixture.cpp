#include "FtpServerFixture.h"

#include <filesystem>

namespace test {

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";
constexpr int kPortTries = 3;

std::string bannerSetting(const TempDir& dir, const std::vector<std::string>& banner)
{
    if (banner.empty())
        return {};
    if (banner.size() == 1)
        return "ftpd_banner=" + banner.front();
    std::string text;
    for (const auto& line : banner)
        text += line + "\n";
    writeFile(dir / "banner.txt", text);
    return "banner_file=" + (dir / "banner.txt").string();
}

} // namespace

FtpServerFixture::FtpServerFixture()
    : FtpServerFixture(Options {})
{
}

FtpServerFixture::FtpServerFixture(const Options& options)
{
    // vsftpd wants its empty folder owned by root and not writable by others.
    std::filesystem::create_directories(m_server.dir() / "empty");
    std::filesystem::permissions(m_server.dir().path(),
        std::filesystem::perms::owner_all | std::filesystem::perms::group_read | std::filesystem::perms::group_exec
            | std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    for (int i = 0; i < kPortTries && !m_started; ++i)
        m_started = launch(options);
}

bool FtpServerFixture::launch(const Options& options)
{
    m_listen = options.listen;
    if (m_listen.port == 0)
        m_listen.port = freePort(m_listen.address);
    const std::string dir = m_server.dir().str();
    writeFile(m_server.dir() / "vsftpd.conf",
        renderFixture("vsftpd.conf.in",
            { { "DIR", dir },
                { "LISTEN",
                    m_listen.address.find(':') == std::string::npos
                        ? "listen=YES\nlisten_ipv6=NO\nlisten_address=" + m_listen.address
                        : "listen=NO\nlisten_ipv6=YES\nlisten_address6=" + m_listen.address },
                { "PORT", std::to_string(m_listen.port) },
                { "BANNER", bannerSetting(m_server.dir(), options.banner) },
                { "TLS",
                    options.certificate.empty() ? ""
                                                : "ssl_enable=YES\nimplicit_ssl=YES\nallow_anon_ssl=YES\nssl_ciphers=HIGH\n"
                                                  "rsa_cert_file="
                            + options.certificate + "\nrsa_private_key_file=" + options.key } }));
    const bool up = m_server.start(kVsftpd, { dir + "/vsftpd.conf" }, m_listen);
    if (!up)
        m_server.stop();
    return up;
}

} // namespace test
