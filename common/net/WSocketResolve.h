#pragma once

// Conversions from the text a user types (address, port, protocol) to the numbers a socket
// needs. Failures raise ESocketException with the layer's fixed texts.

#include "SocketAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace net {

// Whether the text is a dotted IPv4 address: optional leading blanks, digits and exactly
// three dots, a digit after every dot, every part at most 255, only blanks after the last.
bool WSocketIsDottedIP(const std::string& text);

// The address in network byte order when the whole text is a numeric IPv4 address in any form
// the C library takes ("10.0.0.1", "127.1", "0x7f.1"); nullopt for a name, or for a text that
// only begins with an address ("127.0.0.1\r\nQUIT"), which the C library would take too.
std::optional<std::uint32_t> WSocketNumericIPv4(const std::string& text);

// IPv4 address in network byte order: the first IPv4 address of the text. Names are resolved
// with a blocking look-up.
std::uint32_t WSocketResolveHost(const std::string& text);

// Every address the text stands for, in the resolver's order: one for a numeric IPv4 or IPv6
// text, all of a name's (both families) after a blocking look-up. Raises with the texts of
// WSocketResolveHost.
std::vector<SocketAddress> WSocketResolveHostAddresses(const std::string& text);

// The numeric texts of a look-up's answer as addresses; texts that are no address are left out.
std::vector<SocketAddress> WSocketNumericAddresses(const std::vector<std::string>& texts);

// Port number in host byte order, from digits or a service name of the system's table; "ftp",
// "smtp", "http" and "pop3" over "tcp" also resolve without that table.
std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);

// Protocol number, from digits or a name of the system's protocol table; "icmp", "tcp" and
// "udp" also resolve without that table.
int WSocketResolveProto(const std::string& proto);

// Dotted text of an address in network byte order.
std::string WSocketAddressText(std::uint32_t address);

// The text without leading and trailing blanks (space, tab, CR, LF).
std::string WSocketTrim(const std::string& text);

} // namespace net
