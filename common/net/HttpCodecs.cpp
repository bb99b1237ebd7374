#include "HttpCodecs.h"

#include "detail/SmtpCodecs.h"

#include <algorithm>
#include <cctype>

namespace net {

namespace {

constexpr const char* kBlanks = " \t\r\n";

std::string trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && lower(text.substr(0, prefix.size())) == prefix;
}

// The length of a "scheme://" prefix, 0 when the text has none.
std::size_t schemeLength(const std::string& text)
{
    const std::size_t mark = text.find("://");
    if (mark == std::string::npos || mark == 0)
        return 0;
    for (std::size_t i = 0; i < mark; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return mark + 3;
}

std::string oneLine(std::string value)
{
    std::replace(value.begin(), value.end(), '\r', ' ');
    std::replace(value.begin(), value.end(), '\n', ' ');
    return value;
}

std::string encodePath(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

HttpUrl httpParseUrl(const std::string& url)
{
    HttpUrl parsed;
    std::string rest = trim(url);
    if (const std::size_t scheme = schemeLength(rest)) {
        parsed.proto = lower(rest.substr(0, scheme - 3));
        rest.erase(0, scheme);
    }
    const std::size_t pathStart = rest.find_first_of("/?");
    std::string authority = rest.substr(0, pathStart);
    if (pathStart != std::string::npos) {
        parsed.path = rest.substr(pathStart);
        if (parsed.path[0] == '?')
            parsed.path.insert(0, "/");
    }
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = authority.substr(0, at);
        authority.erase(0, at + 1);
        const std::size_t colon = userInfo.find(':');
        parsed.user = userInfo.substr(0, colon);
        if (colon != std::string::npos)
            parsed.password = userInfo.substr(colon + 1);
    }
    std::size_t colon = authority.find(':');
    if (!authority.empty() && authority.front() == '[' && authority.find(']') != std::string::npos) {
        // An IPv6 address in brackets (RFC 3986), a port after them.
        const std::size_t close = authority.find(']');
        parsed.host = authority.substr(1, close - 1);
        colon = authority.find(':', close);
    } else if (colon != authority.rfind(':')) {
        // Several colons and no brackets: an IPv6 address alone, with no port.
        parsed.host = authority;
        colon = std::string::npos;
    } else {
        parsed.host = authority.substr(0, colon);
    }
    if (colon != std::string::npos && colon + 1 < authority.size())
        parsed.port = authority.substr(colon + 1);
    else if (parsed.proto == "https")
        parsed.port = "443";
    return parsed;
}

std::string httpHostField(const HttpUrl& url)
{
    if (url.host.find(':') == std::string::npos)
        return url.host;
    const bool defaultPort = url.port == (url.proto == "https" ? "443" : "80");
    return "[" + url.host + "]" + (defaultPort ? std::string() : ":" + url.port);
}

bool httpRelocation(const HttpUrl& current, const std::string& location, HttpUrl& next)
{
    const std::string target = trim(location);
    if (target.empty())
        return false;
    if (target[0] == '/') {
        next = current;
        next.path = target;
        return true;
    }
    if (startsWithNoCase(target, current.proto == "https" ? "https://" : "http://")) {
        next = httpParseUrl(target);
        return true;
    }
    // Another scheme cannot be spoken here; taking it for a relative path would be wrong.
    if (schemeLength(target) != 0)
        return false;
    const std::string folder = current.path.substr(0, current.path.find('?'));
    next = current;
    next.path = folder.substr(0, folder.rfind('/') + 1) + target;
    return true;
}

std::vector<std::string> httpRequestLines(const HttpRequestFields& f)
{
    std::vector<std::string> lines;
    lines.push_back(f.method + " " + encodePath(oneLine(f.path)) + " HTTP/1.0");
    const auto add = [&](const char* name, const std::string& value) {
        if (!value.empty())
            lines.push_back(std::string(name) + oneLine(value));
    };
    add("From: ", f.sender);
    add("Accept: ", f.accept);
    add("Referer: ", f.reference);
    add("Accept-Language: ", f.acceptLanguage);
    add("User-Agent: ", f.agent);
    lines.push_back("Host: " + oneLine(f.host));
    if (f.noCache)
        lines.push_back("Pragma: no-cache");
    if (!f.user.empty())
        lines.push_back("Authorization: Basic " + base64Encode(f.user + ":" + f.password));
    add("Cookie: ", f.cookie);
    if (!f.rangeBegin.empty() || !f.rangeEnd.empty())
        lines.push_back("Range: bytes=" + oneLine(f.rangeBegin) + "-" + oneLine(f.rangeEnd));
    return lines;
}

bool httpStatusLine(const std::string& line, int& code, std::string& reason)
{
    if (line.compare(0, 8, "HTTP/1.0") != 0 && line.compare(0, 8, "HTTP/1.1") != 0)
        return false;
    code = 0;
    for (std::size_t i = 9; i < 12 && i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i)
        code = code * 10 + (line[i] - '0');
    reason = line.size() > 13 ? line.substr(13) : std::string();
    return true;
}

bool httpHeaderField(const std::string& line, std::string& name, std::string& value)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;
    name = lower(trim(line.substr(0, colon)));
    value = trim(line.substr(colon + 1));
    return true;
}

long long httpContentLength(const std::string& value)
{
    if (value.empty() || value.size() > 18)
        return -1;
    long long length = 0;
    for (const char c : value) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

} // namespace net
