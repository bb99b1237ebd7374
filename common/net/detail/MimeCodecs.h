#pragma once

// Text codecs of the mail message that keep it 7-bit and its lines where they belong: line
// breaks inside values (RFC 5322 section 2.2), quoted-printable (RFC 2045 section 6.7), encoded
// words in header values (RFC 2047) and parameter values (RFC 2231), and the UTF-8 checks that
// choose between them.

#include <string>
#include <string_view>
#include <vector>

namespace net {

// Whether any byte is above 127.
bool hasEightBit(std::string_view text);
// Whether the bytes are well-formed UTF-8 (RFC 3629).
bool isUtf8(std::string_view text);
// The length of the longest prefix of at most `limit` bytes that does not end inside a UTF-8
// sequence (for text that is not UTF-8: `limit` or the whole length).
std::size_t utf8Cut(std::string_view text, std::size_t limit);

// One text line as quoted-printable lines of at most 76 characters: "=", control characters
// other than TAB and bytes above 126 as "=XX", a blank or TAB at the end as "=20"/"=09",
// every line but the last ending in a soft break "=".
std::vector<std::string> quotedPrintableLines(std::string_view line);

enum class HeaderKind
{
    Text, // unstructured, such as Subject
    Addresses, // From, To, ...: words holding '@', '<', '>', ',' or ';' stay as they are
};

// A header value whose words with bytes above 127 become RFC 2047 encoded words ("B" encoding,
// `charset`), folded so that no line of the header exceeds 76 characters; `column` is where
// the value starts on its first line (the length of "Name: "). Plain ASCII comes back as it is.
std::string encodeHeaderValue(std::string_view value, HeaderKind kind, const std::string& charset, std::size_t column);

// A MIME parameter: name="value" when the value is printable ASCII without '"' and '\',
// else name*=charset''percent-encoded (RFC 2231).
std::string mimeParameter(const std::string& name, const std::string& value, const std::string& charset);

} // namespace net
