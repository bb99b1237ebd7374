#include "monitor/core/TestContext.h"

namespace monitor {

int32_t decimalOrZero(const std::string& text)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        i = 1;
    if (i == text.size())
        return 0;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            return 0;
    }
    value = negative ? -value : value;
    return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<int32_t>(value);
}

TestContext TestContext::of(const Destination& row, DestinationList::RowKey key, const QDateTime& now)
{
    TestContext context;
    context.row = key;
    context.host = row.HostName;
    context.IP = row.IPAddress();
    context.serviceText = row.Service();
    context.portText = row.Port();
    context.portNumber = decimalOrZero(context.portText);
    context.previousStatus = row.Status();
    context.startTime = now;
    context.endTime = now;
    return context;
}

} // namespace monitor
