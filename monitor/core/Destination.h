#pragma once

// One row of the destination list: the caption (host name or any description) and up to five
// texts (IP address, service, port, status, last attempt). Nothing is parsed: a row holds
// what was typed or stored. Rows added by the user and rows read from a data file always have
// all five; the accessors give an empty text for a column a row lacks.

#include <array>
#include <string>
#include <vector>

namespace monitor {

// The small picture left of the caption. Never stored: every row starts without one.
enum class StateImage
{
    None = -1,
    UnderTest = 0, // cyan question mark
    OK = 1, // green check mark
    Fail = 2, // red cross
};

// Status and last attempt of a row that was never tested.
inline constexpr const char* NotTested = "na";

struct Destination
{
    std::string HostName;
    std::vector<std::string> SubItems; // IP, Service, Port, Status, Last Attempt, in this order
    StateImage State = StateImage::None;

    static constexpr int ColumnCount = 6;
    static const std::array<const char*, ColumnCount> ColumnCaptions;

    // A row as Add makes it: status and last attempt "na".
    static Destination added(std::string host, std::string ip, std::string service, std::string port);

    const std::string& subItem(size_t index) const;
    const std::string& IPAddress() const { return subItem(0); }
    const std::string& Service() const { return subItem(1); }
    const std::string& Port() const { return subItem(2); }
    const std::string& Status() const { return subItem(3); }
    const std::string& LastAttempt() const { return subItem(4); }

    // The text of column 0 (caption) to 5.
    const std::string& column(int index) const { return index == 0 ? HostName : subItem(size_t(index - 1)); }

    bool operator==(const Destination&) const = default;
};

// The order of "Sort by IP Address": IPv4 addresses by number, then IPv6 addresses by number,
// then any other text; rows of the same address (and rows of two other texts) by their
// sub-item texts, each followed by CR LF, compared byte by byte as unsigned values, a prefix
// before what it begins; -1, 0 or 1.
int DestListCompare(const Destination& row1, const Destination& row2);

} // namespace monitor
