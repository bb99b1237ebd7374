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
    Imap,
};
inline constexpr std::size_t ServiceCount = 7;

// A service's values from the data file.
struct ServiceOptions
{
    // A first failure after "OK" is tried once more.
    bool retryOnFirstFail = false;
    // Each attempt's limit (each request's, for FTP, SMTP, POP3 and IMAP); 0 or less: see the
    // probe.
    std::chrono::milliseconds timeOut { 0 };
};
using ServiceOptionsTable = std::array<ServiceOptions, ServiceCount>;

// The values in force before any data file is read.
ServiceOptionsTable initialServiceOptions();

// The service whose retry flag and time-out `service` uses: a service that speaks another's
// protocol over TLS uses its plain sibling's; every other service its own.
Service optionsServiceOf(Service service);

} // namespace monitor
