#pragma once

// Debian's aiosmtpd, started on a free loopback port for one test and stopped with it.
// Delivered messages land as files in a temporary folder; parse() reads one back through
// Python's email package.

#include "tests/support/TempDir.h"

#include <QJsonObject>
#include <QProcess>

#include <string>
#include <vector>

namespace test {

class SmtpServerFixture
{
public:
    // Extra arguments go to the launcher (for example {"--auth", "user:password"}).
    explicit SmtpServerFixture(const std::vector<std::string>& arguments = {});
    ~SmtpServerFixture();

    bool started() const { return m_port > 0; }
    int port() const { return m_port; }
    // Where the server stores what it received.
    const std::filesystem::path& folder() const { return m_dir.path(); }
    // Waits until message number `n` (from 1) has been stored; its path, or empty.
    std::string waitForMessage(int n, int timeoutMs = 20000) const;
    // The parser's view of a stored message (headers, parts with sizes and hashes).
    static QJsonObject parse(const std::string& path);
    // The envelope of a stored message.
    static QJsonObject envelope(const std::string& messagePath);

private:
    TempDir m_dir;
    QProcess m_server;
    int m_port = 0;
};

std::string fixturePath(const std::string& name);

} // namespace test
