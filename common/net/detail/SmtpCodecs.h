#pragma once

// Pure text codecs of the SMTP client: reply codes (RFC 5321 section 4.2), dot-stuffing
// (RFC 5321 section 4.5.2), the command arguments, the AUTH answers (RFC 4954, RFC 2195),
// base64 (RFC 2045) and the Date and boundary texts of a message.

#include <QDateTime>

#include <string>
#include <string_view>
#include <vector>

namespace net {

// The numeric code at the start of a reply line: blanks (space, tab, CR, LF) skipped, an
// optional sign, decimal digits (0 when there are none). `continuation` is set when a "-"
// follows the digits, as on every line but the last of a multi-line reply.
int smtpReplyCode(const std::string& line, bool& continuation);

// What a server offers in its EHLO reply (RFC 5321 section 4.1.1.1): STARTTLS (RFC 3207) and
// the AUTH mechanisms (RFC 4954; also the old "AUTH=" form), upper-case.
struct SmtpExtensions
{
    bool startTls = false;
    std::vector<std::string> auth;
};
// Takes one line of an EHLO reply (code and separator included) into `extensions`.
void smtpNoteEhloLine(const std::string& line, SmtpExtensions& extensions);

// A body line starting with "." gets a second one in front.
std::string smtpDotStuff(const std::string& line);

// "MAIL FROM:<addr>" / "RCPT TO:<addr>": the trimmed text, enclosed in "<" ">" unless it
// already holds both.
std::string smtpMailFromCommand(const std::string& fromName);
std::string smtpRcptToCommand(const std::string& recipient);

// "Sun, 6 Dec 2026 14:13:05 GMT" for a UTC time, with English day and month names.
std::string smtpDateText(const QDateTime& utc);
// "= Multipart Boundary " + month, day, two-digit year, hour, minute of a local time.
std::string smtpMultipartBoundary(const QDateTime& local);

// Standard base64 (RFC 4648 section 4, the alphabet of RFC 2045) with "=" padding.
std::string base64Encode(std::string_view bytes);
std::string base64Decode(const std::string& text);

// AUTH PLAIN argument (RFC 4616): base64 of user NUL user NUL password, the user being both
// the identity to act as and the one whose password is checked.
std::string smtpAuthPlainArgument(const std::string& user, const std::string& password);
// CRAM-MD5 answer to a base64 challenge: base64 of user + " " + hex HMAC-MD5 keyed by the
// password cut to 64 bytes.
std::string smtpCramMd5Answer(const std::string& user, const std::string& password, const std::string& challenge);

} // namespace net
