#include "monitor/core/HistoryReport.h"

#include "monitor/core/ConsoleFrontEnd.h"
#include "monitor/core/ConsoleMonitor.h"
#include "monitor/core/HistoryTables.h"
#include "monitor/core/MonitorController.h"

#include <QDateTime>

#include <algorithm>
#include <array>

namespace monitor {

namespace {

constexpr size_t Columns = 9;
constexpr std::array<const char*, Columns> Header
    = { "Destination", "Address", "Service", "Port", "24 h", "7 d", "30 d", "Failures", "Mean probe" };
constexpr size_t FirstNumber = 4; // columns from here on are aligned right

// Characters, not bytes, so that a caption in UTF-8 keeps its columns.
size_t widthOf(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string padded(const std::string& text, size_t width, bool right)
{
    const std::string fill(width - std::min(width, widthOf(text)), ' ');
    return right ? fill + text : text + fill;
}

} // namespace

std::string historyTable(const std::vector<Destination>& rows, const std::map<HistoryKey, HistorySummary>& summaries)
{
    std::vector<std::array<std::string, Columns>> lines;
    lines.push_back({});
    std::copy(Header.begin(), Header.end(), lines.back().begin());
    for (const Destination& row : rows) {
        const auto found = summaries.find(historyKeyOf(row));
        const Tally none;
        const Tally& day = found == summaries.end() ? none : found->second.day;
        const Tally& week = found == summaries.end() ? none : found->second.week;
        const Tally& month = found == summaries.end() ? none : found->second.month;
        // Control characters of a caption would break the table (or the terminal).
        std::string caption = row.HostName;
        std::replace_if(caption.begin(), caption.end(), [](char c) { return c >= 0 && c < ' '; }, ' ');
        lines.push_back({ caption,
            row.IPAddress(),
            row.Service(),
            row.Port(),
            uptimeText(day),
            uptimeText(week),
            uptimeText(month),
            month.tests ? std::to_string(month.failures) : "-",
            meanProbeText(month) });
    }
    std::array<size_t, Columns> widths {};
    for (const auto& line : lines) {
        for (size_t c = 0; c < Columns; ++c)
            widths[c] = std::max(widths[c], widthOf(line[c]));
    }
    std::string out;
    for (const auto& line : lines) {
        std::string text;
        for (size_t c = 0; c < Columns; ++c)
            text += (c ? "  " : "") + padded(line[c], widths[c], c >= FirstNumber);
        text.erase(text.find_last_not_of(' ') + 1);
        out += text + "\n";
    }
    return out;
}

int runHistoryReport(
    const std::string& programPath, const CommandLine& commandLine, std::ostream& out, std::ostream& err)
{
    constexpr int Failed = 1;
    ConsoleFrontEnd console(out, err, true);
    MonitorController controller(programPath, FrontEnd::of(console));
    const std::string dataFile = controller.startDataFile(commandLine);
    if (const auto why = unreadableDataFile(dataFile)) {
        err << "SEN: cannot read the data file " << dataFile << ": " << *why << std::endl;
        return Failed;
    }
    controller.start(commandLine);
    const std::string path = controller.historyFile();
    if (path.empty()) {
        err << "SEN: the data file " << dataFile << " keeps no history (HistoryFile is empty)." << std::endl;
        return Failed;
    }
    std::map<HistoryKey, HistorySummary> summaries;
    try {
        HistoryDatabase db(path, HistoryDatabase::Mode::Read);
        summaries = readSummaries(db, QDateTime::currentMSecsSinceEpoch());
    } catch (const HistoryError& e) {
        err << "SEN: cannot read the history file " << path << ": " << e.what() << std::endl;
        return Failed;
    }
    out << historyTable(controller.list().rows(), summaries) << std::flush;
    return out ? 0 : Failed;
}

} // namespace monitor
