// The mail settings as both programs type them: the server field with its port, the port that
// goes with the security, the security's names, and what an EHLO reply offers.

#include "common/net/MailSettings.h"
#include "common/net/detail/SmtpCodecs.h"

#include <gtest/gtest.h>

using namespace net;

TEST(MailSettings, ServerFieldPortAndSecurity)
{
    struct Case
    {
        std::string server;
        std::string port;
        std::string security;
        std::string host; // expected
        std::string portUsed;
        TlsMode mode;
    };
    const std::vector<Case> cases = {
        { "mail.example.org", "", "", "mail.example.org", "25", TlsMode::None },
        { "mail.example.org", "", "starttls", "mail.example.org", "587", TlsMode::StartTls },
        { "mail.example.org", " ", "TLS", "mail.example.org", "465", TlsMode::Implicit },
        { "mail.example.org", "2525", "Tls", "mail.example.org", "2525", TlsMode::Implicit },
        { " mail.example.org:2587 ", "25", "STARTTLS", "mail.example.org", "2587", TlsMode::StartTls },
        { "[2001:db8::25]:587", "", "None", "2001:db8::25", "587", TlsMode::None },
        { "[2001:db8::25]", "", "ssl", "2001:db8::25", "25", TlsMode::None },
        { "2001:db8::25", "", "", "2001:db8::25", "25", TlsMode::None },
        { "192.0.2.25:465", "", "tls", "192.0.2.25", "465", TlsMode::Implicit },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server + " / " + c.port + " / " + c.security);
        const MailSettings settings { c.server, c.port, c.security, {}, {}, {}, {} };
        EXPECT_EQ(splitServerField(c.server).host, c.host);
        EXPECT_EQ(portOf(settings), c.portUsed);
        EXPECT_EQ(securityOf(c.security), c.mode);
    }
    EXPECT_STREQ(securityName(TlsMode::StartTls), "STARTTLS");
    EXPECT_EQ(besideSettings("pw.txt", "/etc/sen/SEN.INI"), "/etc/sen/pw.txt");
    EXPECT_EQ(besideSettings("/run/pw", "/etc/sen/SEN.INI"), "/run/pw");
}

TEST(MailSettings, EhloOffers)
{
    SmtpExtensions offered;
    for (const char* line : { "250-mail.example.org greets you", "250-starttls", "250-AUTH=LOGIN", "250-auth plain  LOGIN",
             "250 SIZE 1000" })
        smtpNoteEhloLine(line, offered);
    EXPECT_TRUE(offered.startTls);
    EXPECT_EQ(offered.auth, (std::vector<std::string> { "LOGIN", "PLAIN" }));
    SmtpExtensions none;
    smtpNoteEhloLine("250 STARTTLSX", none);
    EXPECT_FALSE(none.startTls);
}
