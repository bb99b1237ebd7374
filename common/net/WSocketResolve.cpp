#include "WSocketResolve.h"

#include "ESocketException.h"
#include "HostResolver.h"
#include "WinsockErrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <array>
#include <cctype>

namespace net {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The leading decimal digits as a number, saturating so that long digit runs cannot overflow.
long leadingNumber(const std::string& text)
{
    long value = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    for (; i < text.size() && isDigit(text[i]); ++i)
        value = std::min(value * 10 + (text[i] - '0'), 1000000L);
    return value;
}

// The names the programs use, for a system without /etc/services or /etc/protocols (a minimal
// container without netbase). The system's tables are asked first.
struct KnownName
{
    const char* name;
    int number;
};
constexpr KnownName kKnownServices[] = { { "ftp", 21 }, { "smtp", 25 }, { "http", 80 }, { "pop3", 110 } };
constexpr KnownName kKnownProtocols[] = { { "icmp", 1 }, { "tcp", 6 }, { "udp", 17 } };

template <std::size_t N> int knownNumber(const KnownName (&table)[N], const std::string& name)
{
    for (const auto& entry : table) {
        if (name == entry.name)
            return entry.number;
    }
    return -1;
}

} // namespace

std::string WSocketTrim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool WSocketIsDottedIP(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i == text.size() || text[i] == '.')
        return false;
    int dots = 0;
    int part = 0;
    bool digitSeen = false;
    for (; i < text.size() && text[i] != ' '; ++i) {
        const char c = text[i];
        if (c == '.') {
            if (!digitSeen || ++dots > 3)
                return false;
            part = 0;
            digitSeen = false;
        } else if (isDigit(c)) {
            part = part * 10 + (c - '0');
            if (part > 255)
                return false;
            digitSeen = true;
        } else {
            return false;
        }
    }
    for (; i < text.size(); ++i) {
        if (text[i] != ' ')
            return false;
    }
    return dots == 3 && digitSeen;
}

std::optional<std::uint32_t> WSocketNumericIPv4(const std::string& text)
{
    // inet_aton stops at the first blank and takes what came before it.
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return std::nullopt;
    in_addr numeric {};
    if (text.empty() || inet_aton(text.c_str(), &numeric) == 0)
        return std::nullopt;
    return numeric.s_addr;
}

std::string WSocketAddressText(std::uint32_t address)
{
    in_addr in {};
    in.s_addr = address;
    std::array<char, INET_ADDRSTRLEN> text {};
    inet_ntop(AF_INET, &in, text.data(), text.size());
    return text.data();
}

std::uint32_t WSocketResolveHost(const std::string& text)
{
    for (const SocketAddress& address : WSocketResolveHostAddresses(text)) {
        if (address.family() == AF_INET)
            return address.ipv4();
    }
    throw ESocketException(
        "WSocketResolveHost: Cannot convert host address '" + text + "', Error #" + std::to_string(WSANO_DATA));
}

std::vector<SocketAddress> WSocketResolveHostAddresses(const std::string& text)
{
    if (text.empty() || text.size() > 256)
        throw ESocketException("WSocketResolveHost: '" + text + "' Invalid Hostname.");
    const std::string host = WSocketTrim(text);
    if (WSocketIsDottedIP(host)) {
        const in_addr_t address = inet_addr(host.c_str());
        if (address == INADDR_NONE && host != "255.255.255.255")
            throw ESocketException("WSocketResolveHost: '" + text + "' Invalid IP address.");
        return { SocketAddress::ipv4(address) };
    }
    if (const auto numeric = SocketAddress::fromNumeric(host))
        return { *numeric };
    std::vector<std::string> addresses;
    const int error = HostResolver::resolveNow(host, addresses);
    if (error != 0)
        throw ESocketException(
            "WSocketResolveHost: Cannot convert host address '" + text + "', Error #" + std::to_string(error));
    return WSocketNumericAddresses(addresses);
}

std::vector<SocketAddress> WSocketNumericAddresses(const std::vector<std::string>& texts)
{
    std::vector<SocketAddress> addresses;
    for (const std::string& text : texts) {
        if (const auto numeric = SocketAddress::fromNumeric(text))
            addresses.push_back(*numeric);
    }
    return addresses;
}

std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto)
{
    if (port.empty() || port.size() >= 32)
        throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (proto.empty() || proto.size() >= 32)
        throw ESocketException("WSocketResolvePort: Invalid Proto.");
    if (isDigit(port[0])) {
        // A number beyond the port range would silently wrap to another port: refuse it.
        const long value = leadingNumber(port);
        if (value > 65535)
            throw ESocketException("WSocketResolvePort: Invalid Port.");
        return static_cast<std::uint16_t>(value);
    }
    const std::string name = WSocketTrim(port);
    const std::string protoName = WSocketTrim(proto);
    servent entry {};
    servent* found = nullptr;
    std::array<char, 1024> scratch {};
    getservbyname_r(
        name.c_str(), protoName.empty() ? nullptr : protoName.c_str(), &entry, scratch.data(), scratch.size(), &found);
    if (found)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    const int known = protoName == "tcp" ? knownNumber(kKnownServices, name) : -1;
    if (known < 0)
        throw ESocketException(
            "WSocketResolvePort: Cannot convert port '" + port + "', Error #" + std::to_string(WSANO_DATA));
    return static_cast<std::uint16_t>(known);
}

int WSocketResolveProto(const std::string& proto)
{
    if (proto.empty() || proto.size() >= 32)
        throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    const std::string name = WSocketTrim(proto);
    if (!name.empty() && isDigit(name[0]))
        return static_cast<int>(leadingNumber(name));
    protoent entry {};
    protoent* found = nullptr;
    std::array<char, 1024> scratch {};
    getprotobyname_r(name.c_str(), &entry, scratch.data(), scratch.size(), &found);
    if (found)
        return found->p_proto;
    const int known = knownNumber(kKnownProtocols, name);
    if (known < 0)
        throw ESocketException(
            "WSocketResolveProto: Cannot convert protocol '" + proto + "', Error #" + std::to_string(WSANO_DATA));
    return known;
}

} // namespace net
