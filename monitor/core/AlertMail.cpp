#include "monitor/core/AlertMail.h"

namespace monitor {

namespace {

constexpr char CR = '\r';

bool wantsStatus(int32_t choice, bool keepAlive)
{
    return choice == static_cast<int32_t>(CurrentStatusChoice::Always)
        || (choice == static_cast<int32_t>(CurrentStatusChoice::KeepAliveOnly) && keepAlive);
}

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string trimmed(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isBlankOrControl(text[first]))
        ++first;
    while (last > first && isBlankOrControl(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string StatusLine(const Destination& row)
{
    std::string line;
    switch (row.State) {
    case StateImage::OK:
        line = "+";
        break;
    case StateImage::Fail:
        line = "X";
        break;
    default:
        line = "?";
        break;
    }
    line += ' ' + row.HostName;
    for (const std::string& text : row.SubItems)
        line += ' ' + text;
    return line;
}

std::string alertBody(const std::string& subject, const AlertBodyParts& parts, const std::vector<Destination>& rows)
{
    if (parts.emptyMessageText)
        return {};
    std::string body = subject + CR + CR;
    if (wantsStatus(parts.sendCurrentStatus, parts.keepAlive)) {
        for (const Destination& row : rows)
            body += StatusLine(row) + CR;
    }
    if (parts.keepAlive)
        body += std::string(1, CR) + "Next scheduled keep alive message expected at: " + parts.nextKeepAlive + CR + CR;
    return body;
}

std::vector<std::string> recipientsOf(const std::string& emailAddress)
{
    std::vector<std::string> recipients;
    size_t start = 0;
    for (;;) {
        const size_t end = emailAddress.find(';', start);
        std::string piece = trimmed(emailAddress.substr(start, end == std::string::npos ? end : end - start));
        if (!piece.empty())
            recipients.push_back(std::move(piece));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (recipients.empty())
        recipients.emplace_back();
    return recipients;
}

std::string testMailBody(
    const std::string& stamp, const std::string& server, const std::string& emailAddress, const std::string& from)
{
    return std::string("SEN - TEST MESSAGE") + CR + "Time = " + stamp + CR + "SMTP Host = " + server + CR
        + "Destination address = " + emailAddress + CR + "From address = " + from;
}

} // namespace monitor
