#include "SmtpCodecs.h"

#include "Md5.h"
#include "common/net/WSocketResolve.h"

#include <QByteArray>

#include <algorithm>
#include <cstdio>

namespace net {

int smtpReplyCode(const std::string& line, bool& continuation)
{
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
        ++i;
    int sign = 1;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        sign = line[i] == '-' ? -1 : 1;
        ++i;
    }
    int code = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        code = std::min(code * 10 + (line[i] - '0'), 99999); // saturates: no overflow on junk
    continuation = i < line.size() && line[i] == '-';
    return sign * code;
}

void smtpNoteEhloLine(const std::string& line, SmtpExtensions& extensions)
{
    // "250-KEYWORD params": the keyword and its parameters, split at blanks and "=".
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 4; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : ' ';
        if (c == ' ' || c == '\t' || c == '=') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    if (words.empty())
        return;
    if (words[0] == "STARTTLS")
        extensions.startTls = true;
    if (words[0] != "AUTH")
        return;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (std::find(extensions.auth.begin(), extensions.auth.end(), words[i]) == extensions.auth.end())
            extensions.auth.push_back(words[i]);
    }
}

std::string smtpDotStuff(const std::string& line)
{
    return !line.empty() && line[0] == '.' ? "." + line : line;
}

namespace {

std::string enclosed(const std::string& prefix, const std::string& address)
{
    const bool hasBrackets = address.find('<') != std::string::npos && address.find('>') != std::string::npos;
    const std::string trimmed = WSocketTrim(address);
    return hasBrackets ? prefix + trimmed : prefix + "<" + trimmed + ">";
}

QByteArray qbytes(const std::string& text)
{
    return { text.data(), static_cast<qsizetype>(text.size()) };
}

} // namespace

std::string smtpMailFromCommand(const std::string& fromName)
{
    return enclosed("MAIL FROM:", fromName);
}

std::string smtpRcptToCommand(const std::string& recipient)
{
    return enclosed("RCPT TO:", recipient);
}

std::string smtpDateText(const QDateTime& utc)
{
    static const char* const kDays[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
    static const char* const kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    const QDate date = utc.date();
    const QTime time = utc.time();
    char text[64];
    std::snprintf(text,
        sizeof text,
        "%s, %d %s %4d %02d:%02d:%02d GMT",
        kDays[date.dayOfWeek() - 1],
        date.day(),
        kMonths[date.month() - 1],
        date.year(),
        time.hour(),
        time.minute(),
        time.second());
    return text;
}

std::string smtpMultipartBoundary(const QDateTime& local)
{
    return "= Multipart Boundary " + local.toString(QStringLiteral("MMddyyhhmm")).toStdString();
}

std::string base64Encode(std::string_view bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.resize((bytes.size() + 2) / 3 * 4);
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8
            | static_cast<unsigned char>(bytes[i + 2]);
        *o++ = kAlphabet[v >> 18];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned v
            = static_cast<unsigned char>(bytes[i]) << 16 | (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u);
        *o++ = kAlphabet[v >> 18];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = two ? kAlphabet[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
    return out;
}

std::string base64Decode(const std::string& text)
{
    return QByteArray::fromBase64(qbytes(text)).toStdString();
}

std::string smtpAuthPlainArgument(const std::string& user, const std::string& password)
{
    std::string plain = user;
    plain += '\0';
    plain += user;
    plain += '\0';
    plain += password;
    return base64Encode(plain);
}

std::string smtpCramMd5Answer(const std::string& user, const std::string& password, const std::string& challenge)
{
    const std::string key = password.substr(0, 64);
    return base64Encode(user + " " + hmacMd5Hex(key, base64Decode(challenge)));
}

} // namespace net
