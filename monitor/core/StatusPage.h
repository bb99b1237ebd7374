#pragma once

// The status page ("StatusPageFile" in section "SEN"): one self-contained HTML file that any web
// server can serve, rewritten after every pass. No script and no external file: inline CSS and
// SVG. Per destination, in list order: its state, last change, uptime over 24 h / 7 d / 30 d and
// a bar of its 30 days' daily uptime; on top, the time of the pass. Readable on a phone: a
// viewport tag and a layout that wraps (no horizontal scrolling at 360 pixels). Every text of
// a row is HTML-escaped, and bytes that are not UTF-8 become U+FFFD.

#include "monitor/core/Uptime.h"

#include <optional>
#include <string>
#include <vector>

namespace monitor {

struct StatusRow
{
    std::string caption;
    std::string address;
    std::string service;
    std::string port;
    std::string status; // "OK", "Fail", "na" or what the data file held
    std::optional<HistorySummary> history; // nothing without results
};

// `passTime` is the pass's date-time text; `today` the local day of the pass (localDayOf).
std::string statusPageHtml(const std::vector<StatusRow>& rows, const std::string& passTime, int64_t today);

// Text as HTML text or attribute value: valid UTF-8 with & < > " ' escaped.
std::string htmlEscaped(const std::string& text);

} // namespace monitor
