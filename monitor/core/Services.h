#pragma once

// The six services a destination can be tested with, by index: the order of the service
// choice, of the default ports and of the probes.

#include <array>
#include <string>

namespace monitor {

enum ServiceIndex
{
    Ping = 0,
    Tcp = 1,
    Http = 2,
    Ftp = 3,
    Smtp = 4,
    Pop3 = 5,
};

inline constexpr std::array<const char*, 6> ServiceNames = { "PING", "TCP", "HTTP", "FTP", "SMTP", "POP3" };

// The service of a stored text, by its first letter only (upper-cased): F FTP, H HTTP, S SMTP,
// T TCP, "POP3" exactly POP3; anything else, the empty text included, is PING.
int ServiceIndexOf(const std::string& text);

// The port text a service choice puts into the port box; empty for PING and for no choice.
std::string DefaultPortOf(int serviceIndex);

} // namespace monitor
