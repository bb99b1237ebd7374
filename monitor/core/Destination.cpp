#include "monitor/core/Destination.h"

#include <algorithm>

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

int DestListCompare(const Destination& row1, const Destination& row2)
{
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
