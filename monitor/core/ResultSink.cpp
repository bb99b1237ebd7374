#include "monitor/core/ResultSink.h"

#include "monitor/core/Destination.h"
#include "monitor/core/Services.h"

namespace monitor {

HistoryKey historyKeyOf(const std::string& address, const std::string& serviceText, const std::string& portText)
{
    // As a test rewrites the row: a row read from a file as "Tcp" is the same as one shown as "TCP".
    const ServiceRow& service = rowOf(serviceOf(serviceText));
    return { address, service.name, service.texts.keepsPort ? portText : std::string() };
}

HistoryKey historyKeyOf(const Destination& row)
{
    return historyKeyOf(row.IPAddress(), row.Service(), row.Port());
}

} // namespace monitor
