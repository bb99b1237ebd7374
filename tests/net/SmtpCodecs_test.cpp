// The SMTP client's pure parts: MD5 and HMAC-MD5 test vectors, reply codes, dot-stuffing,
// command texts, Date and boundary texts, line splitting, base64, AUTH answers and the
// bounded reply buffer.

#include "common/net/CustomSmtpClient.h"
#include "common/net/detail/LineReader.h"
#include "common/net/detail/Md5.h"
#include "common/net/detail/SmtpCodecs.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace net;

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(
        md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"), "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, HmacRfc2104TestVectors)
{
    EXPECT_EQ(hmacMd5Hex(std::string(16, '\x0b'), "Hi There"), "9294727a3638bb1c13f48ef8158bfc9d");
    EXPECT_EQ(hmacMd5Hex("Jefe", "what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738");
    EXPECT_EQ(hmacMd5Hex(std::string(16, '\xAA'), std::string(50, '\xDD')), "56be34521d144c88dbb8c733f0e8b3f6");
}

TEST(SmtpCodecs, ReplyCodeAndContinuation)
{
    bool more = false;
    EXPECT_EQ(smtpReplyCode("250 OK", more), 250);
    EXPECT_FALSE(more);
    EXPECT_EQ(smtpReplyCode("220-first line", more), 220);
    EXPECT_TRUE(more);
    EXPECT_EQ(smtpReplyCode(" \t+354 go", more), 354);
    EXPECT_EQ(smtpReplyCode("", more), 0);
    EXPECT_FALSE(more);
    EXPECT_EQ(smtpReplyCode("garbage", more), 0);
    EXPECT_EQ(smtpReplyCode(std::string(500, '9'), more), 99999); // no overflow on junk
}

TEST(SmtpCodecs, DotStuffingAndCommands)
{
    EXPECT_EQ(smtpDotStuff("."), "..");
    EXPECT_EQ(smtpDotStuff(".hidden"), "..hidden");
    EXPECT_EQ(smtpDotStuff("a.b"), "a.b");
    EXPECT_EQ(smtpDotStuff(""), "");
    EXPECT_EQ(smtpMailFromCommand(" admin@example.org "), "MAIL FROM:<admin@example.org>");
    EXPECT_EQ(smtpMailFromCommand(" Admin <admin@example.org> "), "MAIL FROM:Admin <admin@example.org>");
    EXPECT_EQ(smtpRcptToCommand("ops@example.org"), "RCPT TO:<ops@example.org>");
    EXPECT_EQ(smtpRcptToCommand("<ops@example.org>"), "RCPT TO:<ops@example.org>");
}

TEST(SmtpCodecs, DateAndBoundaryTexts)
{
    const QDateTime utc(QDate(2026, 12, 6), QTime(14, 13, 5), Qt::UTC);
    EXPECT_EQ(smtpDateText(utc), "Sun, 6 Dec 2026 14:13:05 GMT");
    EXPECT_EQ(smtpDateText(QDateTime(QDate(2027, 1, 18), QTime(0, 0, 9), Qt::UTC)), "Mon, 18 Jan 2027 00:00:09 GMT");
    const QDateTime local(QDate(2026, 12, 6), QTime(14, 13, 59), Qt::LocalTime);
    EXPECT_EQ(smtpMultipartBoundary(local), "= Multipart Boundary 1206261413");
}

TEST(SmtpCodecs, Base64AndAuthAnswers)
{
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(base64Decode(smtpAuthPlainArgument("bob", "secret")), std::string("bob\0bob\0secret", 14));
    // RFC 2195's example exchange.
    EXPECT_EQ(smtpCramMd5Answer("tim", "tanstaaftanstaaf", base64Encode("<1896.697170952@postoffice.reston.mci.net>")),
        "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw");
    // Passwords beyond 64 bytes are cut to 64 before keying.
    const std::string longPassword = std::string(64, 'p') + "tail";
    EXPECT_EQ(
        smtpCramMd5Answer("u", longPassword, "Y2hhbA=="), smtpCramMd5Answer("u", std::string(64, 'p'), "Y2hhbA=="));
}

namespace {

// The SMTP client reads its replies with the line reader set up like this.
LineReader smtpReplyReader()
{
    return LineReader(TCustomSmtpClient::kReplyBufferSize, LineEnd::CrLf, LineOverflow::Cut);
}

void feed(LineReader& buffer, const std::string& bytes)
{
    ASSERT_LE(bytes.size(), buffer.space());
    std::memcpy(buffer.writePtr(), bytes.data(), bytes.size());
    buffer.commit(bytes.size());
}

std::vector<std::string> drain(LineReader& buffer)
{
    std::vector<std::string> lines;
    std::string line;
    while (buffer.takeLine(line))
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(SmtpReplyBuffer, OnlyCrLfEndsALine)
{
    LineReader buffer = smtpReplyReader();
    feed(buffer, "250-a\r\n250 b\nstill b\r");
    EXPECT_EQ(drain(buffer), std::vector<std::string> { "250-a" });
    feed(buffer, "\n220 c\r\n");
    EXPECT_EQ(drain(buffer), (std::vector<std::string> { "250 b\nstill b", "220 c" }));
    EXPECT_EQ(buffer.buffered(), 0u);
}

TEST(SmtpReplyBuffer, OverlongLineIsCutAndItsRestDropped)
{
    LineReader buffer = smtpReplyReader();
    // 100 KB without a line end, fed as the socket would: as much as fits each time.
    std::string stream(100 * 1024, 'x');
    stream += "\r\n250 next\r\n";
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < stream.size()) {
        const std::size_t n = std::min(buffer.space(), stream.size() - at);
        ASSERT_GT(n, 0u);
        feed(buffer, stream.substr(at, n));
        at += n;
        for (auto& line : drain(buffer))
            lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(TCustomSmtpClient::kReplyBufferSize, 'x'));
    EXPECT_EQ(lines[1], "250 next");
}

TEST(SmtpReplyBuffer, CrLfSplitAcrossTheCutIsFound)
{
    LineReader buffer = smtpReplyReader();
    const std::string longest(TCustomSmtpClient::kReplyBufferSize - 1, 'y');
    feed(buffer, longest + "\r");
    EXPECT_TRUE(drain(buffer).empty()); // the CR may begin the line end: wait for more
    feed(buffer, "\n");
    EXPECT_TRUE(drain(buffer) == std::vector<std::string> { longest });
    feed(buffer, "221 bye\r\n");
    EXPECT_EQ(drain(buffer), std::vector<std::string> { "221 bye" });
}
