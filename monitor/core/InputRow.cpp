#include "monitor/core/InputRow.h"

#include "monitor/core/Services.h"

namespace monitor {

std::optional<Destination> InputRow::destination(const std::string& serviceText) const
{
    if (!canAdd())
        return std::nullopt;
    return Destination::added(host, ip, serviceText, port);
}

void InputRow::clearAfterAdd()
{
    host.clear();
    ip.clear();
}

bool InputRow::chooseService(int index, bool choiceHasFocus)
{
    service = index;
    port = DefaultPortOf(index);
    return choiceHasFocus && index == static_cast<int>(indexOf(Service::Tcp));
}

void InputRow::portFocused()
{
    if (port == "0")
        port.clear();
}

void InputRow::show(const Destination& row)
{
    host = row.HostName;
    ip = row.IPAddress();
    service = static_cast<int>(indexOf(serviceOf(row.Service())));
    port = row.SubItems.size() >= 3 ? row.Port() : DefaultPortOf(service);
}

void InputRow::reset()
{
    host.clear();
    ip.clear();
    service = static_cast<int>(indexOf(Service::Ping));
    port.clear();
}

} // namespace monitor
