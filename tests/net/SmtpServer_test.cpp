// TSyncSmtpCli against a real SMTP server (aiosmtpd on loopback): what arrives is read back by
// Python's email package, so headers, body lines and every attachment are checked the way a
// mail reader sees them.

#include "SmtpServerFixture.h"

#include "common/net/SyncSmtpCli.h"
#include "tests/support/TempDir.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

using namespace net;

namespace {

void configure(TSyncSmtpCli& client, const test::SmtpServerFixture& server)
{
    client.Host = "127.0.0.1";
    client.Port = std::to_string(server.port());
    client.Timeout = 30;
    client.FromName = "mirror@example.org";
    client.SetRcptNameText("ops@example.org\r\nboss@example.org");
    client.HdrFrom = "Mirror <mirror@example.org>";
    client.HdrTo = "ops@example.org";
    client.HdrSubject = "Mirror report";
}

bool sendOneMail(TSyncSmtpCli& client)
{
    if (!client.SyncOpen())
        return false;
    const bool mailed = client.SyncMail();
    return client.SyncQuit() && mailed;
}

std::string sha256(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

std::string text(const QJsonValue& value)
{
    return value.toString().toStdString();
}

std::vector<std::string> headerNames(const QJsonObject& parsed)
{
    std::vector<std::string> names;
    for (const auto& pair : parsed["headers"].toArray())
        names.push_back(text(pair.toArray()[0]));
    return names;
}

std::string header(const QJsonObject& parsed, const std::string& name)
{
    for (const auto& pair : parsed["headers"].toArray()) {
        if (text(pair.toArray()[0]) == name)
            return text(pair.toArray()[1]);
    }
    return {};
}

} // namespace

TEST(SmtpRealServer, PlainMessageHeadersAndBody)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    TSyncSmtpCli client;
    configure(client, server);
    client.SetMailMessageText("Run finished.\r.hidden by a dot\r\rLast line\r");
    ASSERT_TRUE(sendOneMail(client)) << client.LastResponse();

    const std::string path = server.waitForMessage(1);
    ASSERT_FALSE(path.empty());
    const QJsonObject envelope = test::SmtpServerFixture::envelope(path);
    EXPECT_EQ(text(envelope["mail_from"]), "mirror@example.org");
    EXPECT_EQ(envelope["rcpt_tos"].toArray().size(), 2);

    const QJsonObject parsed = test::SmtpServerFixture::parse(path);
    EXPECT_FALSE(parsed["multipart"].toBool());
    EXPECT_TRUE(parsed["defects"].toArray().isEmpty());
    EXPECT_EQ(headerNames(parsed),
        (std::vector<std::string> {
            "From", "To", "Subject", "Sender", "Mime-Version", "Content-Type", "Date", "X-Mailer" }));
    EXPECT_EQ(header(parsed, "Sender"), "Mirror <mirror@example.org>");
    EXPECT_EQ(header(parsed, "Content-Type"), "text/plain; charset=\"iso-8859-1\"");
    EXPECT_EQ(header(parsed, "X-Mailer"), "NetClients SMTP Component V2.32");
    EXPECT_TRUE(QRegularExpression("^[A-Z][a-z]{2}, [1-9][0-9]? [A-Z][a-z]{2} [0-9]{4} [0-9:]{8} GMT$")
                    .match(QString::fromStdString(header(parsed, "Date")))
                    .hasMatch());
    const QJsonObject body = parsed["parts"].toArray()[0].toObject();
    EXPECT_EQ(text(body["text"]), "Run finished.\r\n.hidden by a dot\r\n\r\nLast line\r\n");
}

TEST(SmtpRealServer, AttachmentsOfEverySizeDecodeByteIdentical)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    test::TempDir dir;
    std::mt19937 random(2026);
    std::string mebibyte(1 << 20, '\0');
    for (auto& c : mebibyte)
        c = static_cast<char>(random());
    const std::vector<std::pair<std::string, std::string>> files = {
        { "empty.bin", "" },
        { "one.bin", "\x01" },
        { "b44.bin", std::string(44, '\xfe') },
        { "b45.bin", std::string(45, 'A') },
        { "b46.bin", std::string(46, '\0') },
        { "random.bin", mebibyte },
        { "RPL ÄÖ notes.txt", "First line\r\nZweite Zeile mit \xc3\xa4\r\n.dot line\r\n" },
    };
    std::vector<std::string> paths;
    for (const auto& [name, bytes] : files) {
        test::writeFile(dir / name, bytes);
        paths.push_back((dir / name).string());
    }

    TSyncSmtpCli client;
    configure(client, server);
    client.MailMessage = { "See the attached files.", ".", "Bye" };
    client.SetEmailFiles(paths);
    ASSERT_TRUE(sendOneMail(client)) << client.LastResponse();

    const std::string path = server.waitForMessage(1);
    ASSERT_FALSE(path.empty());
    const QJsonObject parsed = test::SmtpServerFixture::parse(path);
    ASSERT_TRUE(parsed["multipart"].toBool()) << text(parsed["raw_header"]);
    EXPECT_TRUE(parsed["defects"].toArray().isEmpty());
    EXPECT_TRUE(QRegularExpression("^= Multipart Boundary [0-9]{10}$").match(parsed["boundary"].toString()).hasMatch());
    EXPECT_NE(text(parsed["raw_header"]).find("Content-Type: multipart/mixed;\r\n\tboundary=\"= Multipart Boundary "),
        std::string::npos);
    EXPECT_EQ(text(parsed["preamble"]).rfind("This is a multipart MIME message.", 0), 0u);

    const QJsonArray parts = parsed["parts"].toArray();
    ASSERT_EQ(parts.size(), static_cast<int>(files.size()) + 1);
    const QJsonObject body = parts[0].toObject();
    EXPECT_EQ(text(body["content_type"]), "text/plain");
    EXPECT_EQ(text(body["charset"]), "iso-8859-1");
    EXPECT_EQ(text(body["encoding"]), "7bit");
    EXPECT_EQ(text(body["text"]), "See the attached files.\r\n.\r\nBye\r\n");
    for (std::size_t i = 0; i < files.size(); ++i) {
        const QJsonObject part = parts[static_cast<int>(i) + 1].toObject();
        const auto& [name, bytes] = files[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(text(part["content_type"]), "application/octet-stream");
        EXPECT_EQ(text(part["filename"]), name);
        EXPECT_EQ(text(part["name"]), name);
        EXPECT_EQ(text(part["encoding"]), "base64");
        EXPECT_EQ(part["size"].toInt(), static_cast<int>(bytes.size()));
        EXPECT_EQ(text(part["sha256"]), sha256(bytes));
        const QJsonArray lengths = part["line_lengths"].toArray();
        ASSERT_FALSE(lengths.isEmpty());
        for (int k = 0; k + 1 < lengths.size(); ++k)
            EXPECT_EQ(lengths[k].toInt(), 60);
        EXPECT_LE(lengths.last().toInt(), 60);
        EXPECT_EQ(lengths.size(), std::max<int>(1, (static_cast<int>(bytes.size()) + 44) / 45));
    }
}

TEST(SmtpRealServer, AuthPlainAndLoginSignOn)
{
    test::SmtpServerFixture server({ "--auth", "reporter:s3cret pass" });
    ASSERT_TRUE(server.started());
    for (const auto type : { TSmtpAuthType::smtpAuthPlain, TSmtpAuthType::smtpAuthLogin }) {
        TSyncSmtpCli client;
        configure(client, server);
        client.AuthType = type;
        client.Username = "reporter";
        client.Password = "wrong";
        EXPECT_FALSE(client.SyncOpen());
        EXPECT_EQ(client.LastResponse().substr(0, 3), "535");
        EXPECT_EQ(client.ErrorMessage(), client.LastResponse());
        client.SyncQuit();
        client.Password = "s3cret pass";
        client.MailMessage = { "signed on" };
        EXPECT_TRUE(sendOneMail(client)) << client.LastResponse();
    }
    EXPECT_FALSE(server.waitForMessage(2).empty());
}
