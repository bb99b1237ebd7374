#include "monitor/core/MetricsFile.h"

#include "common/core/LockedFile.h"

#include <QString>

#include <array>
#include <charconv>
#include <set>
#include <tuple>

namespace monitor {

namespace {

constexpr const char* Prefix = "sen_";

// Seconds with millisecond precision, whatever the locale's decimal separator.
std::string seconds(double value)
{
    std::array<char, 64> buffer {};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 3);
    return std::string(buffer.data(), result.ptr);
}

std::string unixSeconds(const QDateTime& time)
{
    return seconds(static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0);
}

// A label value: valid UTF-8 (anything else becomes U+FFFD), with backslash, double quote and
// line feed escaped; the format knows no other escape.
std::string labelValue(const std::string& text)
{
    const std::string utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString();
    std::string escaped;
    for (const char c : utf8) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

void family(std::string& out, const char* name, const char* type, const char* help)
{
    out += std::string("# HELP ") + Prefix + name + " " + help + "\n";
    out += std::string("# TYPE ") + Prefix + name + " " + type + "\n";
}

void sample(std::string& out, const char* name, const std::string& labels, const std::string& value)
{
    out += std::string(Prefix) + name + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
}

} // namespace

void MetricsFile::passStarted(const QDateTime& now)
{
    ++m_pass;
    m_passStart = now;
    m_passOk = 0;
    m_passFail = 0;
}

void MetricsFile::testRecorded(DestinationList::RowKey row,
    bool ok,
    const std::string& previousStatus,
    const QDateTime& start,
    const QDateTime& end,
    bool inPass)
{
    const bool firstSeen = m_seen.find(row) == m_seen.end();
    Seen& seen = m_seen[row];
    seen.ok = ok;
    seen.durationSeconds = static_cast<double>(start.msecsTo(end)) / 1000.0;
    if (firstSeen || previousStatus != (ok ? "OK" : "Fail"))
        seen.lastChange = end;
    if (inPass) {
        seen.pass = m_pass;
        ++(ok ? m_passOk : m_passFail);
    }
}

std::optional<std::string> MetricsFile::passEnded(
    const std::string& path, const DestinationList& list, const QDateTime& now)
{
    ++m_passes;
    m_passEnd = now;
    // Rows that left the list are forgotten; a key is never given to another row.
    std::set<DestinationList::RowKey> present;
    for (int row = 0; row < list.count(); ++row)
        present.insert(list.keyOf(row));
    std::erase_if(m_seen, [&](const auto& entry) { return !present.contains(entry.first); });
    if (path.empty())
        return std::nullopt;
    if (const int error = core::writeWholeFile(path, text(list)); error != 0)
        return "*** ERROR: Cannot write metrics file " + path + ": " + core::fileErrorText(error);
    return std::nullopt;
}

std::string MetricsFile::text(const DestinationList& list) const
{
    struct Row
    {
        std::string labels;
        const Destination* destination;
        const Seen* seen;
    };
    std::vector<Row> rows;
    std::set<std::string> labelSets;
    int untested = 0;
    for (int index = 0; index < list.count(); ++index) {
        const Destination& d = list.at(index);
        const auto found = m_seen.find(list.keyOf(index));
        const Seen* seen = found == m_seen.end() ? nullptr : &found->second;
        if (!seen || seen->pass != m_pass)
            ++untested;
        std::string labels = "destination=\"" + labelValue(d.HostName) + "\",address=\"" + labelValue(d.IPAddress())
            + "\",service=\"" + labelValue(d.Service()) + "\",port=\"" + labelValue(d.Port()) + "\"";
        if (labelSets.insert(labels).second)
            rows.push_back({ std::move(labels), &d, seen });
    }

    std::string out;
    family(out, "destination_up", "gauge", "Whether the destination's last test succeeded (1) or failed (0).");
    for (const Row& row : rows) {
        const std::string& status = row.destination->Status();
        if (status == "OK" || status == "Fail")
            sample(out, "destination_up", row.labels, status == "OK" ? "1" : "0");
    }
    family(out, "destination_probe_duration_seconds", "gauge", "How long the destination's last test took.");
    for (const Row& row : rows) {
        if (row.seen)
            sample(out, "destination_probe_duration_seconds", row.labels, seconds(row.seen->durationSeconds));
    }
    family(out,
        "destination_last_change_timestamp_seconds",
        "gauge",
        "When a test found the destination's present state (Unix time).");
    for (const Row& row : rows) {
        if (row.seen)
            sample(out, "destination_last_change_timestamp_seconds", row.labels, unixSeconds(row.seen->lastChange));
    }
    family(out, "pass_duration_seconds", "gauge", "How long the last test pass took.");
    sample(out, "pass_duration_seconds", "", seconds(static_cast<double>(m_passStart.msecsTo(m_passEnd)) / 1000.0));
    family(out, "pass_end_timestamp_seconds", "gauge", "When the last test pass ended (Unix time).");
    sample(out, "pass_end_timestamp_seconds", "", unixSeconds(m_passEnd));
    family(out, "pass_destinations", "gauge", "Destinations of the last test pass by result.");
    sample(out, "pass_destinations", "result=\"ok\"", std::to_string(m_passOk));
    sample(out, "pass_destinations", "result=\"fail\"", std::to_string(m_passFail));
    sample(out, "pass_destinations", "result=\"untested\"", std::to_string(untested));
    family(out, "destinations", "gauge", "Destinations in the list.");
    sample(out, "destinations", "", std::to_string(list.count()));
    family(out, "passes_total", "counter", "Test passes since the monitor started.");
    sample(out, "passes_total", "", std::to_string(m_passes));
    return out;
}

} // namespace monitor
