#include "ReplyCodes.h"

#include "common/net/ESocketException.h"
#include "common/net/WinsockErrors.h"

namespace net {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool ftpFinalReply(const std::string& line, int& code)
{
    if (line.empty() || !isDigit(line[0]))
        return false;
    std::size_t end = 0;
    long value = 0;
    // A code is three digits; more are read but kept from overflowing.
    while (end < line.size() && isDigit(line[end])) {
        if (value < 100000)
            value = value * 10 + (line[end] - '0');
        ++end;
    }
    if (end < line.size() && line[end] == '-')
        return false;
    code = static_cast<int>(value);
    return true;
}

std::string winsockReplyLine(const std::string& prefix, int error)
{
    return prefix + winsockErrorText(error) + " (Winsock error #" + std::to_string(error) + ")";
}

std::string exceptionReplyLine(const std::string& prefix, const std::exception& e)
{
    const char* kind = dynamic_cast<const ESocketException*>(&e) ? "ESocketException" : "Exception";
    return prefix + kind + ": " + e.what();
}

std::string trimLineEnd(const std::string& line)
{
    const std::size_t last = line.find_last_not_of("\r\n");
    return last == std::string::npos ? std::string() : line.substr(0, last + 1);
}

bool pop3Positive(const std::string& line)
{
    return !line.empty() && line[0] == '+';
}

std::string pop3TimeStamp(const std::string& greeting)
{
    const std::size_t open = greeting.find('<');
    if (open == std::string::npos)
        return {};
    const std::size_t close = greeting.find('>', open);
    if (close == std::string::npos)
        return {};
    return greeting.substr(open, close - open + 1);
}

ImapResponse imapResponse(const std::string& line)
{
    ImapResponse response;
    const std::size_t blank = line.find(' ');
    response.tag = line.substr(0, blank);
    if (blank == std::string::npos)
        return response;
    const std::size_t end = line.find(' ', blank + 1);
    response.word = line.substr(blank + 1, end == std::string::npos ? std::string::npos : end - blank - 1);
    for (char& c : response.word)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return response;
}

} // namespace net
