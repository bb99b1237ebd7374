#include "SmtpServerFixture.h"

#include "common/core/EventLoop.h"

#include <QFile>
#include <QJsonDocument>

#include <filesystem>

namespace test {

namespace {

constexpr const char* kPython = "/usr/bin/python3";

QStringList qlist(const std::vector<std::string>& items)
{
    QStringList list;
    for (const auto& item : items)
        list << QString::fromStdString(item);
    return list;
}

} // namespace

std::string fixturePath(const std::string& name)
{
    return std::string(NET_FIXTURES_DIR) + "/" + name;
}

SmtpServerFixture::SmtpServerFixture(const std::vector<std::string>& arguments)
{
    std::vector<std::string> all = { fixturePath("smtp_server.py"), m_dir.str() };
    all.insert(all.end(), arguments.begin(), arguments.end());
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(kPython, qlist(all));
    core::waitFor([this] { return m_server.canReadLine() || m_server.state() == QProcess::NotRunning; },
        std::chrono::seconds(20));
    if (m_server.canReadLine())
        m_port = m_server.readLine().trimmed().toInt();
}

SmtpServerFixture::~SmtpServerFixture()
{
    // Closing its standard input ends the server; kill it only if it does not go.
    m_server.closeWriteChannel();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

std::string SmtpServerFixture::waitForMessage(int n, int timeoutMs) const
{
    const auto path = m_dir / ("msg-" + std::to_string(n) + ".eml");
    // A new file wakes nobody: a ticking timer makes the wait look again now and then.
    core::Timer tick;
    tick.start(50);
    const bool found
        = core::waitFor([&] { return std::filesystem::exists(path); }, std::chrono::milliseconds(timeoutMs));
    return found ? path.string() : std::string();
}

QJsonObject SmtpServerFixture::parse(const std::string& path)
{
    QProcess parser;
    parser.start(kPython, qlist({ fixturePath("parse_mail.py"), path }));
    parser.waitForFinished(60000);
    return QJsonDocument::fromJson(parser.readAllStandardOutput()).object();
}

QJsonObject SmtpServerFixture::envelope(const std::string& messagePath)
{
    QFile file(QString::fromStdString(std::filesystem::path(messagePath).replace_extension(".json").string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace test
