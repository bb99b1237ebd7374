// Texts are UTF-8 here: a mail whose text or header values hold bytes above 127 must say so,
// and arrive at a real server (aiosmtpd) so that Python's email package decodes exactly what
// was sent. Plain ASCII mail keeps the declared character set and 7bit.

#include "SmtpServerFixture.h"

#include "common/net/SyncSmtpCli.h"
#include "tests/support/TempDir.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace net;

namespace {

std::string text(const QJsonValue& value)
{
    return value.toString().toStdString();
}

// A header as a mail reader shows it (RFC 2047 words decoded).
std::string decoded(const QJsonObject& parsed, const std::string& name)
{
    for (const auto& pair : parsed["decoded_headers"].toArray()) {
        if (text(pair.toArray()[0]) == name)
            return text(pair.toArray()[1]);
    }
    return "(missing)";
}

bool sevenBit(const std::string& bytes)
{
    for (const unsigned char c : bytes) {
        if (c > 127)
            return false;
    }
    return true;
}

struct CharsetCase
{
    const char* name;
    std::vector<std::string> body;
    std::string subject;
    std::string from;
    bool attach;
    // Expected for the text part.
    const char* charset;
    const char* encoding; // "" when the header carries no Content-Transfer-Encoding
};

} // namespace

TEST(SmtpCharset, TextAndHeadersArriveAsSent)
{
    const std::string longLine = std::string(100, 'a') + " Grüße " + std::string(80, '=') + "  ";
    const std::vector<CharsetCase> cases = {
        { "ASCII only stays as it was",
            { "plain text", ".dot" },
            "Plain",
            "Admin <a@example.org>",
            false,
            "iso-8859-1",
            "" },
        { "UTF-8 body and headers",
            { "Copied Résumé.txt", "Grüße aus Köln", ".näive dot", "tab\tand trailing blank " },
            "Report for Résumé.txt",
            "Zoë Admin <zoe@example.org>",
            false,
            "utf-8",
            "quoted-printable" },
        { "UTF-8 text part of a multipart mail",
            { "Datei: Résumé.txt", longLine },
            "Ärger im Büro",
            "\"Zoë Admin\" <zoe@example.org>",
            true,
            "utf-8",
            "quoted-printable" },
        { "ASCII text part of a multipart mail", { "plain" }, "Plain", "a@example.org", true, "iso-8859-1", "7bit" },
    };
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    test::TempDir dir;
    test::writeFile(dir / "Résumé.txt", "Lebenslauf\r\n");
    int sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSyncSmtpCli client;
        client.Host = "127.0.0.1";
        client.Port = std::to_string(server.port());
        client.FromName = "zoe@example.org";
        client.RcptName = { "ops@example.org" };
        client.HdrFrom = c.from;
        client.HdrTo = "Jürgen <ops@example.org>";
        client.HdrSubject = c.subject;
        client.MailMessage = c.body;
        if (c.attach)
            client.EmailFiles = { (dir / "Résumé.txt").string() };
        ASSERT_TRUE(client.SyncOpen() && client.SyncMail() && client.SyncQuit()) << client.LastResponse();

        const std::string path = server.waitForMessage(++sent);
        ASSERT_FALSE(path.empty());
        const QJsonObject parsed = test::SmtpServerFixture::parse(path);
        EXPECT_TRUE(parsed["defects"].toArray().isEmpty());
        EXPECT_TRUE(sevenBit(test::readFile(path))) << "8-bit bytes on the wire";
        EXPECT_EQ(decoded(parsed, "Subject"), c.subject);
        std::string from = c.from;
        std::erase(from, '"');
        EXPECT_EQ(decoded(parsed, "From"), from);
        EXPECT_EQ(decoded(parsed, "To"), "Jürgen <ops@example.org>");

        const QJsonArray parts = parsed["parts"].toArray();
        ASSERT_EQ(parts.size(), c.attach ? 2 : 1);
        const QJsonObject body = parts[0].toObject();
        EXPECT_EQ(text(body["charset"]), c.charset);
        EXPECT_EQ(text(body["encoding"]), c.encoding);
        std::string expected;
        for (const auto& line : c.body)
            expected += line + "\r\n";
        EXPECT_EQ(text(body["text"]), expected);
        if (c.attach) {
            const QJsonObject file = parts[1].toObject();
            EXPECT_EQ(text(file["filename"]), "Résumé.txt");
            EXPECT_EQ(text(file["name"]), "Résumé.txt");
            EXPECT_EQ(file["size"].toInt(), 12);
        }
    }
}
