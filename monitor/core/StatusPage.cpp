#include "monitor/core/StatusPage.h"

#include "common/core/DateTimeText.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>

namespace monitor {

namespace {

constexpr const char* Style = R"(
*{box-sizing:border-box}
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;margin:0 auto;padding:12px;max-width:960px;color:#222;background:#f6f7f8}
h1{font-size:1.3rem;margin:0 0 4px}
header p{margin:0 0 12px;color:#555}
section{background:#fff;border:1px solid #ddd;border-radius:6px;padding:8px 12px;margin:0 0 8px}
h2{font-size:1rem;margin:0;overflow-wrap:anywhere}
.target{margin:2px 0 6px;color:#555;font-size:.85rem;overflow-wrap:anywhere}
.state{display:inline-block;min-width:3em;padding:1px 6px;margin-right:6px;border-radius:4px;color:#fff;font-size:.8rem;text-align:center;background:#888}
.ok .state{background:#2e8b3d}
.fail .state{background:#c62828}
dl{display:flex;flex-wrap:wrap;gap:2px 18px;margin:0 0 6px}
dl div{min-width:4.5em}
dt{font-size:.75rem;color:#666}
dd{margin:0;font-variant-numeric:tabular-nums}
svg{display:block;width:100%;height:18px}
.axis{display:flex;justify-content:space-between;font-size:.7rem;color:#777}
)";

std::string utf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

std::string isoDate(int64_t day)
{
    return QDate(1970, 1, 1).addDays(day).toString(Qt::ISODate).toStdString();
}

const char* barColour(const Tally& tally)
{
    const auto tenths = tally.uptimeTenths();
    if (!tenths)
        return "#d5d8dc"; // no tests that day
    if (*tenths >= 1000)
        return "#2e8b3d";
    if (*tenths >= 990)
        return "#8bc34a";
    if (*tenths >= 950)
        return "#f0a030";
    return "#c62828";
}

void figure(std::string& out, const char* label, const std::string& value)
{
    out += std::string("<div><dt>") + label + "</dt><dd>" + value + "</dd></div>";
}

using DayNames = std::array<std::string, DaysShown>;

void dailyBar(std::string& out, const HistorySummary* history, const DayNames& days)
{
    out += "<svg viewBox=\"0 0 " + std::to_string(DaysShown * 10) + " 18\" preserveAspectRatio=\"none\" role=\"img\" "
           "aria-label=\"Daily uptime of the last 30 days\">";
    for (int i = 0; i < DaysShown; ++i) {
        const Tally none;
        const Tally& tally = history ? history->days[static_cast<size_t>(i)] : none;
        out += "<rect x=\"" + std::to_string(i * 10) + "\" width=\"8\" height=\"18\" fill=\"" + barColour(tally)
            + "\"><title>" + days[static_cast<size_t>(i)] + ": " + uptimeText(tally) + "</title></rect>";
    }
    out += "</svg><div class=\"axis\"><span>" + days.front() + "</span><span>today</span></div>";
}

void section(std::string& out, const StatusRow& row, const DayNames& days)
{
    const char* kind = row.status == "OK" ? "ok" : row.status == "Fail" ? "fail" : "other";
    out += std::string("<section class=\"") + kind + "\"><h2><span class=\"state\">" + htmlEscaped(row.status)
        + "</span>" + htmlEscaped(row.caption) + "</h2>";
    std::string target = htmlEscaped(row.address) + " &middot; " + htmlEscaped(row.service);
    if (!row.port.empty())
        target += " " + htmlEscaped(row.port);
    out += "<p class=\"target\">" + target + "</p><dl>";
    const HistorySummary* history = row.history ? &*row.history : nullptr;
    const Tally none;
    figure(out, "Last change",
        history && history->changedMs ? htmlEscaped(core::dateTimeText(QDateTime::fromMSecsSinceEpoch(history->changedMs)))
                                       : "-");
    figure(out, "24 h", uptimeText(history ? history->day : none));
    figure(out, "7 d", uptimeText(history ? history->week : none));
    figure(out, "30 d", uptimeText(history ? history->month : none));
    out += "</dl>";
    dailyBar(out, history, days);
    out += "</section>\n";
}

} // namespace

std::string htmlEscaped(const std::string& text)
{
    std::string out;
    for (const char c : utf8(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string statusPageHtml(const std::vector<StatusRow>& rows, const std::string& passTime, int64_t today)
{
    int ok = 0;
    for (const StatusRow& row : rows)
        ok += row.status == "OK" ? 1 : 0;
    std::string out;
    out.reserve(2048 + rows.size() * 3200);
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>SEN status</title><style>";
    out += Style;
    out += "</style></head><body>\n<header><h1>SEN status</h1><p>" + std::to_string(ok) + " of "
        + std::to_string(rows.size()) + " destinations OK &middot; test pass at " + htmlEscaped(passTime)
        + "</p></header>\n<main>\n";
    DayNames days;
    for (int i = 0; i < DaysShown; ++i)
        days[static_cast<size_t>(i)] = isoDate(today - (DaysShown - 1) + i);
    for (const StatusRow& row : rows)
        section(out, row, days);
    out += "</main></body></html>\n";
    return out;
}

} // namespace monitor
