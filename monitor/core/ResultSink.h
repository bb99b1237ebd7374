#pragma once

// What the test engine tells about results, and nothing more: the start and end of a pass and
// one result per test, passes and single tests alike. The history store listens here.

#include <compare>
#include <cstdint>
#include <string>

namespace monitor {

struct Destination;

// What a row's history is kept under: its address, service and port as a test writes them into
// the row (the probe's service word; PING without a port). Rows alike in all three share one
// history, and a new caption keeps it.
struct HistoryKey
{
    std::string address;
    std::string service;
    std::string port;

    auto operator<=>(const HistoryKey&) const = default;
};

HistoryKey historyKeyOf(const std::string& address, const std::string& serviceText, const std::string& portText);
HistoryKey historyKeyOf(const Destination& row);

struct TestResult
{
    HistoryKey key;
    int64_t endMs = 0; // Unix time of the test's end, in milliseconds
    bool ok = false;
    int64_t probeMs = 0; // the test's length, retry included
    bool inPass = false; // false: a single test
};

class ResultSink
{
public:
    virtual ~ResultSink() = default;
    virtual void passStarted() = 0;
    virtual void resultRecorded(const TestResult& result) = 0;
    // Also after a pass that a close cut short.
    virtual void passEnded() = 0;
};

} // namespace monitor
