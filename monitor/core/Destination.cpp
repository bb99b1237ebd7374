#include "monitor/core/Destination.h"

#include "common/net/WSocketResolve.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace monitor {

const std::array<const char*, Destination::ColumnCount> Destination::ColumnCaptions
    = { "Host Name", "IP Address", "Service", "Port", "Status", "Last Attempt" };

Destination Destination::added(std::string host, std::string ip, std::string service, std::string port)
{
    return Destination {
        std::move(host), { std::move(ip), std::move(service), std::move(port), NotTested, NotTested }, StateImage::None
    };
}

const std::string& Destination::subItem(size_t index) const
{
    static const std::string none;
    return index < SubItems.size() ? SubItems[index] : none;
}

namespace {

// Where an IP text sorts: IPv4 addresses first, then IPv6 addresses (a zone or brackets
// aside), each by number; any other text after them.
struct AddressKey
{
    int rank = 2;
    std::array<unsigned char, 16> bytes {};
};

AddressKey addressKey(const std::string& typed)
{
    AddressKey key;
    std::string text = net::WSocketTrim(typed);
    if (const auto ipv4 = net::WSocketNumericIPv4(text)) {
        key.rank = 0;
        std::memcpy(key.bytes.data(), &*ipv4, sizeof *ipv4);
        return key;
    }
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    text = text.substr(0, text.find('%'));
    in6_addr ipv6 {};
    if (inet_pton(AF_INET6, text.c_str(), &ipv6) == 1) {
        key.rank = 1;
        std::memcpy(key.bytes.data(), &ipv6, sizeof ipv6);
    }
    return key;
}

} // namespace

int DestListCompare(const Destination& row1, const Destination& row2)
{
    const AddressKey address1 = addressKey(row1.IPAddress());
    const AddressKey address2 = addressKey(row2.IPAddress());
    if (address1.rank != address2.rank)
        return address1.rank < address2.rank ? -1 : 1;
    if (address1.rank < 2 && address1.bytes != address2.bytes)
        return address1.bytes < address2.bytes ? -1 : 1;

    auto key = [](const Destination& row) {
        std::string text;
        for (const std::string& item : row.SubItems)
            text += item + "\r\n";
        return text;
    };
    const std::string a = key(row1);
    const std::string b = key(row2);
    // std::string compares chars, which are signed here; the order wants unsigned bytes.
    const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
    if (less)
        return -1;
    return a == b ? 0 : 1;
}

} // namespace monitor
