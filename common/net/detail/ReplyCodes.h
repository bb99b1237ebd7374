#pragma once

// Reply-line codecs of the FTP, POP3 and IMAP clients.

#include <exception>
#include <string>

namespace net {

// An FTP reply line (RFC 959 section 4.2): true when it is the final line of a reply, that is
// it starts with a digit and its code is not followed by "-"; `code` is then its leading
// number. Text lines inside a multi-line reply and its "NNN-" lines give false.
bool ftpFinalReply(const std::string& line, int& code);

// A reply made up by a client for a socket error: prefix + its text + " (Winsock error #N)",
// such as "500 Connection refused (Winsock error #10061)".
std::string winsockReplyLine(const std::string& prefix, int error);

// A reply made up by a client for an exception raised by the socket layer: prefix + its class
// name + ": " + its message.
std::string exceptionReplyLine(const std::string& prefix, const std::exception& e);

// The line without the CR and LF characters at its end.
std::string trimLineEnd(const std::string& line);

// POP3 (RFC 1939 section 3): a positive reply begins with "+".
bool pop3Positive(const std::string& line);

// The APOP time stamp of a POP3 greeting (RFC 1939 section 7): the text from the first "<" to
// the next ">", both included; empty when there is none.
std::string pop3TimeStamp(const std::string& greeting);

// An IMAP response line (RFC 3501 section 7): its tag ("*" for untagged data, "+" for a
// continuation request, else the tag of the command it completes) and the word after it in
// upper case (status words are case-insensitive): "OK", "NO", "BAD", "PREAUTH", "BYE", or the
// name or number of untagged data. A line without a blank has an empty word.
struct ImapResponse
{
    std::string tag;
    std::string word;
};
ImapResponse imapResponse(const std::string& line);

} // namespace net
