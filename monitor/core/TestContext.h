#pragma once

// The values of one destination test, read from the row when the test starts; the engine and
// the probe both read them. The row itself is named by its key, since rows may move or go
// while the test runs.

#include "monitor/core/DestinationList.h"

#include <QDateTime>

#include <cstdint>
#include <string>

namespace monitor {

struct TestContext
{
    DestinationList::RowKey row = 0;
    std::string host; // the row's caption
    std::string IP;
    std::string serviceText;
    std::string portText; // empty when the row has no port column
    int32_t portNumber = 0; // the port text as a decimal number, 0 when it is none
    std::string previousStatus; // empty when the row has no status column
    QDateTime startTime; // millisecond resolution
    QDateTime endTime; // when the probe's attempts were over

    static TestContext of(const Destination& row, DestinationList::RowKey key, const QDateTime& now);
};

// The text as a 32-bit decimal number (an optional sign, then digits); 0 for anything else.
int32_t decimalOrZero(const std::string& text);

} // namespace monitor
