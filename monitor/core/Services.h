#pragma once

// The services a destination can be tested with, one row each: its name, the port the input
// row offers for it (the standard port the session probes fall back to), whether it speaks TLS
// from the first byte, the data-file keys of its retry flag and time-out, its texts and how its
// probe is made. The engine, the probes, the input row and the data file all read a service's
// facts from its row; a new service is a new row. A service that speaks another's protocol
// over TLS (HTTPS, SMTPS, POP3S, FTPS, IMAPS) names that plain sibling: it uses the sibling's
// retry flag and time-out, has no keys of its own, and takes the sibling's texts with its own
// word (ProbeTexts::as).

#include "monitor/core/ProbeTexts.h"
#include "monitor/core/Service.h"

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace monitor {

class Probe;
struct MonitorSettings;

// A time-out as the data file holds it: a whole number of `unit` under `key`.
struct TimeOutKey
{
    const char* key; // null: the time-out is fixed, the data file has no key for it
    std::chrono::milliseconds unit;
    std::chrono::milliseconds initial; // in force before any data file is read
    // What a data file without the key gives; nothing: the value in force stays.
    std::optional<std::chrono::milliseconds> absent;
};

struct ServiceRow
{
    Service service;
    const char* name; // "PING", ...: the service choice, and the service column after a test
    const char* standardPort; // "" for PING, "0" for TCP (no port of its own)
    bool tls; // the connection speaks TLS from its first byte
    std::optional<Service> plainSibling; // whose options a service over TLS uses
    const char* retryKey; // "PingRetryOnFirstFail", ...; null: the sibling's flag
    TimeOutKey timeOut;
    ProbeTexts texts;
    std::unique_ptr<Probe> (*makeProbe)(const MonitorSettings& settings);
};

const std::array<ServiceRow, ServiceCount>& services();
const ServiceRow& rowOf(Service service);
std::size_t indexOf(Service service);

// The service of a stored text: a service's name exactly (case-sensitive) is that service;
// any other text goes by its first letter only (upper-cased): F FTP, H HTTP, S SMTP, T TCP;
// anything else, the empty text included, is PING.
Service serviceOf(const std::string& text);

// The port text a service choice (its index, -1 for none) puts into the port box; empty for
// PING and for no choice.
std::string DefaultPortOf(int serviceIndex);

} // namespace monitor
