#pragma once

// The services a destination can be tested with, and what the data file sets for each. Their
// facts are rows of the table in Services.h.

#include <array>
#include <chrono>
#include <cstddef>

namespace monitor {

// In the order of the service choice.
enum class Service
{
    Ping,
    Tcp,
    Http,
    Ftp,
    Smtp,
    Pop3,
};
inline constexpr std::size_t ServiceCount = 6;

// A service's values from the data file.
struct ServiceOptions
{
    // A first failure after "OK" is tried once more.
    bool retryOnFirstFail = false;
    // Each attempt's limit (each request's, for FTP, SMTP and POP3); 0 or less: see the probe.
    std::chrono::milliseconds timeOut { 0 };
};
using ServiceOptionsTable = std::array<ServiceOptions, ServiceCount>;

// The values in force before any data file is read.
ServiceOptionsTable initialServiceOptions();

} // namespace monitor
