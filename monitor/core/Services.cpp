#include "monitor/core/Services.h"

namespace monitor {

int ServiceIndexOf(const std::string& text)
{
    if (text.empty())
        return Ping;
    switch (text.front()) {
    case 'F':
    case 'f':
        return Ftp;
    case 'H':
    case 'h':
        return Http;
    case 'S':
    case 's':
        return Smtp;
    case 'T':
    case 't':
        return Tcp;
    case 'P':
    case 'p':
        return text == "POP3" ? Pop3 : Ping;
    default:
        return Ping;
    }
}

std::string DefaultPortOf(int serviceIndex)
{
    static constexpr std::array<const char*, 6> Ports = { "", "0", "80", "21", "25", "110" };
    if (serviceIndex < 0 || serviceIndex >= static_cast<int>(Ports.size()))
        return {};
    return Ports[static_cast<size_t>(serviceIndex)];
}

} // namespace monitor
