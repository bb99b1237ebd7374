#pragma once

// Pure text codecs of the HTTP client (RFC 1945, HTTP/1.0): URL parsing, the request lines, the
// status line and header fields of a reply, and where a relocation leads.

#include <string>
#include <vector>

namespace net {

struct HttpUrl
{
    std::string proto = "http";
    std::string user;
    std::string password;
    std::string host;
    std::string port = "80";
    std::string path = "/";
};

// [scheme "://"] [user [":" password] "@"] host [":" port] [path]; the path starts at the first
// "/" or "?" after the host. An IPv6 host comes in brackets ("[::1]:8080", host "::1"); one
// without brackets is taken whole, without a port. A missing scheme is "http", a missing port
// "80" ("443" for "https"), an empty path "/"; a path that starts with "?" gets a "/" in front.
// The scheme is given in lower case.
HttpUrl httpParseUrl(const std::string& url);

// The value of the Host field: the host alone, or an IPv6 address in brackets followed by ":"
// and the port unless it is the scheme's own, 80 or 443 ("[2001:db8::10]:8080", "[::1]").
std::string httpHostField(const HttpUrl& url);

// Where a Location value leads from `current`: a value beginning with "/" is a path on the
// same host, one beginning with the current scheme ("http://" or "https://", any case) a new
// URL, one with another scheme is not followed (false: HTTP never turns into HTTPS, nor the
// reverse), anything else is relative to the folder of the current path.
bool httpRelocation(const HttpUrl& current, const std::string& location, HttpUrl& next);

// The values that make up a request, each line only when its value is not empty.
struct HttpRequestFields
{
    std::string method = "HEAD";
    std::string path = "/";
    std::string host;
    std::string sender;
    std::string accept;
    std::string reference;
    std::string acceptLanguage;
    std::string agent;
    bool noCache = false;
    std::string user;
    std::string password;
    std::string cookie;
    std::string rangeBegin;
    std::string rangeEnd;
};

// The request lines without their CR LF, the empty line that ends the request not included.
// Nothing a value holds can start a line of its own: CR and LF become blanks, and bytes that
// a request line cannot carry (controls, blanks) are percent-encoded in the path.
std::vector<std::string> httpRequestLines(const HttpRequestFields& fields);

// A status line: "HTTP/1.0" or "HTTP/1.1", the code in characters 10 to 12, the reason from
// character 14. False for any other line.
bool httpStatusLine(const std::string& line, int& code, std::string& reason);

// A header field "Name: value": the name in lower case, the value without the blanks around
// it. False for a line without a colon.
bool httpHeaderField(const std::string& line, std::string& name, std::string& value);

// The value of a Content-Length field; -1 when it is no number.
long long httpContentLength(const std::string& value);

} // namespace net
