// The reply and request codecs of the HTTP, FTP and POP3 clients: what the clients decide from
// one line, and what they put on the wire from one value.

#include "common/net/HttpCodecs.h"
#include "common/net/detail/ReplyCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace net;

TEST(FtpReplyCodec, TellsFinalLinesFromTheRestOfAReply)
{
    struct Case
    {
        const char* line;
        bool final;
        int code;
    };
    const Case cases[] = {
        { "220 ready", true, 220 },
        { "220", true, 220 },
        { "220-first line of several", false, 0 },
        { "   text line inside a multi-line reply", false, 0 },
        { "text", false, 0 },
        { "", false, 0 },
        { "421 Service not available", true, 421 },
        { "2200 odd", true, 2200 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        int code = 0;
        EXPECT_EQ(ftpFinalReply(c.line, code), c.final);
        if (c.final) {
            EXPECT_EQ(code, c.code);
        }
    }
    int code = 0;
    EXPECT_TRUE(ftpFinalReply(std::string(40, '9') + " digits without end", code));
    EXPECT_GT(code, 0); // read without overflowing
}

TEST(Pop3ReplyCodec, PositiveRepliesAndTheApopTimeStamp)
{
    EXPECT_TRUE(pop3Positive("+OK ready"));
    EXPECT_TRUE(pop3Positive("+"));
    EXPECT_FALSE(pop3Positive("-ERR busy"));
    EXPECT_FALSE(pop3Positive(" +OK"));
    EXPECT_FALSE(pop3Positive(""));
    EXPECT_EQ(
        pop3TimeStamp("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>"), "<1896.697170952@dbc.mtview.ca.us>");
    EXPECT_EQ(pop3TimeStamp("+OK <a> and <b>"), "<a>");
    EXPECT_EQ(pop3TimeStamp("+OK no stamp"), "");
    EXPECT_EQ(pop3TimeStamp("+OK unclosed <stamp"), "");
    EXPECT_EQ(pop3TimeStamp("+OK > before <x>"), "<x>");
}

TEST(ReplyLines, LocallyMadeLinesAndLineEnds)
{
    EXPECT_EQ(winsockReplyLine("500 ", 10061), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(winsockReplyLine("-ERR ", 11001), "-ERR Host not found (Winsock error #11001)");
    EXPECT_EQ(trimLineEnd("220 ok\r\r\n"), "220 ok");
    EXPECT_EQ(trimLineEnd("\r\n"), "");
    EXPECT_EQ(trimLineEnd("a\rb"), "a\rb");
}

TEST(HttpUrlCodec, ParsesTheFormsACallerWrites)
{
    struct Case
    {
        const char* url;
        const char* host;
        const char* port;
        const char* path;
        const char* user;
    };
    const Case cases[] = {
        { "127.0.0.1", "127.0.0.1", "80", "/", "" },
        { "127.0.0.1:8080", "127.0.0.1", "8080", "/", "" },
        { "  127.0.0.1:8080  ", "127.0.0.1", "8080", "/", "" },
        { "http://127.0.0.1/a/b?c=d", "127.0.0.1", "80", "/a/b?c=d", "" },
        { "HTTP://127.0.0.1:81", "127.0.0.1", "81", "/", "" },
        { "127.0.0.1?x=1", "127.0.0.1", "80", "/?x=1", "" },
        { "http://user:pw@127.0.0.1:82/p", "127.0.0.1", "82", "/p", "user" },
        { "127.0.0.1:", "127.0.0.1", "80", "/", "" },
        { "", "", "80", "/", "" },
        // IPv6 in brackets (RFC 3986); a bare one has no port in it.
        { "[2001:db8::10]:8080/x", "2001:db8::10", "8080", "/x", "" },
        { "http://[::1]/", "::1", "80", "/", "" },
        { "[fe80::1%lo]:81", "fe80::1%lo", "81", "/", "" },
        { "::1", "::1", "80", "/", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const HttpUrl url = httpParseUrl(c.url);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.path, c.path);
        EXPECT_EQ(url.user, c.user);
    }
    // The Host field: an IPv6 address in brackets, with the port unless it is 80.
    for (const auto& [typed, field] : std::vector<std::pair<std::string, std::string>> {
             { "[2001:db8::10]:8080/x", "[2001:db8::10]:8080" },
             { "http://[::1]/", "[::1]" },
             { "127.0.0.1:8080", "127.0.0.1" },
             { "web.test:81/a", "web.test" } })
        EXPECT_EQ(httpHostField(httpParseUrl(typed)), field) << typed;
    EXPECT_EQ(httpParseUrl("http://user:pw@h").password, "pw");
    EXPECT_EQ(httpParseUrl("https://h/").proto, "https");
}

TEST(HttpUrlCodec, RelocationTargets)
{
    const HttpUrl current = httpParseUrl("127.0.0.1:8080/dir/page?q=/x");
    struct Case
    {
        const char* location;
        bool followed;
        const char* host;
        const char* port;
        const char* path;
    };
    const Case cases[] = {
        { "/other", true, "127.0.0.1", "8080", "/other" },
        { "next.html", true, "127.0.0.1", "8080", "/dir/next.html" },
        { "http://127.0.0.2/x", true, "127.0.0.2", "80", "/x" },
        { "Http://127.0.0.3:90", true, "127.0.0.3", "90", "/" },
        { "https://127.0.0.1/", false, "", "", "" },
        { "ftp://127.0.0.1/", false, "", "", "" },
        { "  ", false, "", "", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        HttpUrl next;
        ASSERT_EQ(httpRelocation(current, c.location, next), c.followed);
        if (!c.followed)
            continue;
        EXPECT_EQ(next.host, c.host);
        EXPECT_EQ(next.port, c.port);
        EXPECT_EQ(next.path, c.path);
    }
}

TEST(HttpRequestCodec, TheMonitorsRequestInItsOrder)
{
    HttpRequestFields fields;
    fields.host = "127.0.0.1";
    fields.accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    fields.agent = "Mozilla/3.0 (compatible)";
    EXPECT_EQ(httpRequestLines(fields),
        (std::vector<std::string> { "HEAD / HTTP/1.0",
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
            "User-Agent: Mozilla/3.0 (compatible)",
            "Host: 127.0.0.1" }));

    fields.sender = "ops@example.org";
    fields.reference = "http://127.0.0.1/";
    fields.acceptLanguage = "en";
    fields.noCache = true;
    fields.user = "u";
    fields.password = "p";
    fields.cookie = "a=b";
    fields.rangeBegin = "0";
    fields.rangeEnd = "9";
    const auto lines = httpRequestLines(fields);
    const std::vector<std::string> names = { "HEAD",
        "From:",
        "Accept:",
        "Referer:",
        "Accept-Language:",
        "User-Agent:",
        "Host:",
        "Pragma:",
        "Authorization:",
        "Cookie:",
        "Range:" };
    ASSERT_EQ(lines.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, names[i].size()), names[i]);
    EXPECT_EQ(lines[8], "Authorization: Basic dTpw");
    EXPECT_EQ(lines[10], "Range: bytes=0-9");
}

TEST(HttpRequestCodec, NoValueStartsALineOfItsOwn)
{
    HttpRequestFields fields;
    fields.path = "/a b\r\nX-Evil: 1";
    fields.host = "127.0.0.1\r\nX-Host: 1";
    fields.agent = "agent\r\nX-Agent: 1";
    fields.cookie = "c\nX-Cookie: 1";
    const auto lines = httpRequestLines(fields);
    EXPECT_EQ(lines[0], "HEAD /a%20b%20%20X-Evil:%201 HTTP/1.0");
    for (const auto& line : lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_NE(line.substr(0, 2), "X-") << line;
    }
}

TEST(HttpReplyCodec, StatusLinesAndFields)
{
    int code = -1;
    std::string reason;
    EXPECT_TRUE(httpStatusLine("HTTP/1.1 404 Not Found", code, reason));
    EXPECT_EQ(code, 404);
    EXPECT_EQ(reason, "Not Found");
    EXPECT_TRUE(httpStatusLine("HTTP/1.0 200", code, reason));
    EXPECT_EQ(code, 200);
    EXPECT_EQ(reason, "");
    EXPECT_TRUE(httpStatusLine("HTTP/1.0 abc def", code, reason));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(httpStatusLine("HTTP/2 200", code, reason));
    EXPECT_FALSE(httpStatusLine("http/1.1 200 OK", code, reason));
    EXPECT_FALSE(httpStatusLine("HTTP/1", code, reason));

    std::string name;
    std::string value;
    EXPECT_TRUE(httpHeaderField("Content-LENGTH:   42  ", name, value));
    EXPECT_EQ(name, "content-length");
    EXPECT_EQ(value, "42");
    EXPECT_TRUE(httpHeaderField("Location: http://h:1/a", name, value));
    EXPECT_EQ(value, "http://h:1/a");
    EXPECT_FALSE(httpHeaderField("no colon here", name, value));
    EXPECT_EQ(httpContentLength("0"), 0);
    EXPECT_EQ(httpContentLength("1234"), 1234);
    EXPECT_EQ(httpContentLength("-5"), -1);
    EXPECT_EQ(httpContentLength("12a"), -1);
    EXPECT_EQ(httpContentLength(""), -1);
    EXPECT_EQ(httpContentLength("99999999999999999999999"), -1);
}
