#include "monitor/core/FailureReason.h"

#include "common/net/WinsockErrors.h"

namespace monitor {

namespace {

constexpr size_t MaxReasonLength = 60;

} // namespace

std::string socketFailureReason(int winsockError)
{
    return shortReason(net::winsockErrorText(winsockError));
}

std::string shortReason(const std::string& text)
{
    std::string reason = text.substr(0, text.find_first_of("\r\n"));
    if (const size_t error = reason.rfind(" (Error #"); error != std::string::npos && reason.back() == ')')
        reason.erase(error);
    if (reason.size() > MaxReasonLength)
        reason.resize(MaxReasonLength);
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z'
        && !(reason.size() > 1 && reason[1] >= 'A' && reason[1] <= 'Z'))
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    return reason;
}

} // namespace monitor
