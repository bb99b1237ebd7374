#pragma once

// The rules of the input row above the destination list (host, IP, service choice, port),
// kept apart from the widgets so that they hold for every front end and can be tested alone.
// The window calls these on every change and shows the result.

#include "monitor/core/Destination.h"

#include <optional>
#include <string>

namespace monitor {

struct InputRow
{
    std::string host;
    std::string ip;
    int service = 0; // index of the service choice, -1 for none
    std::string port;

    // "&Add" is enabled: host and IP not empty and a service chosen.
    bool addEnabled() const { return !host.empty() && !ip.empty() && service >= 0; }
    // The look-up button is enabled: a host text to look up.
    bool lookupEnabled() const { return !host.empty(); }
    // The List menu's "Add to list" (and the Enter keys) check only host and IP.
    bool canAdd() const { return !host.empty() && !ip.empty(); }

    // The row Add appends, or nothing when host or IP is empty. `serviceText` is the text the
    // choice shows; nothing is trimmed or checked.
    std::optional<Destination> destination(const std::string& serviceText) const;
    // After Add: host and IP emptied, service and port kept for the next host.
    void clearAfterAdd();

    // A new service choice: the port becomes the service's default. Returns whether the focus
    // moves on to the port (TCP or TLS, which have no port of their own, chosen while the
    // choice had the focus).
    bool chooseService(int index, bool choiceHasFocus);
    // The focus enters the port box: a "0" goes, so that a port can be typed at once.
    void portFocused();

    // ShowDestination: the row's values into the input row; the port from the row when it has
    // one, else the service's default.
    void show(const Destination& row);
    // A click on the list with nothing selected.
    void reset();
};

} // namespace monitor
