#include "monitor/core/PassVerdict.h"

#include <set>

namespace monitor {

namespace {

constexpr const char* Prefix = "SEN ";

// A name as the text part may hold it.
std::string shownName(std::string name)
{
    for (char& c : name) {
        if (c == '|')
            c = '/';
        else if (c == '\r' || c == '\n')
            c = ' ';
    }
    return name;
}

} // namespace

bool allTestedOk(const std::vector<RowOutcome>& rows)
{
    if (rows.empty())
        return false;
    for (const RowOutcome& row : rows)
        if (!row.tested || !row.ok)
            return false;
    return true;
}

std::string secondsText(int64_t milliseconds)
{
    if (milliseconds < 0)
        milliseconds = 0;
    const std::string fraction = std::to_string(milliseconds % 1000);
    return std::to_string(milliseconds / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction + "s";
}

std::string perfLabel(const std::string& name)
{
    std::string label = "'";
    for (const char c : shownName(name)) {
        if (c == '\'')
            label += "''";
        else if (c == '=')
            label += '_';
        else
            label += c;
    }
    return label + "'";
}

CheckResult unknownResult(const std::string& reason)
{
    return { CheckStatus::Unknown, std::string(Prefix) + "UNKNOWN - " + shownName(reason) };
}

CheckResult timedOutResult(int seconds, const std::vector<RowOutcome>& rows)
{
    size_t tested = 0;
    for (const RowOutcome& row : rows)
        tested += row.tested ? 1 : 0;
    return unknownResult("timed out after " + std::to_string(seconds) + " s, " + std::to_string(tested) + " of "
        + std::to_string(rows.size()) + " destinations tested");
}

CheckResult checkResult(const std::vector<RowOutcome>& rows)
{
    if (rows.empty())
        return unknownResult("no destination in the data file");
    int good = 0;
    std::string failing;
    std::string performance;
    std::set<std::string> labels;
    for (size_t i = 0; i < rows.size(); ++i) {
        const RowOutcome& row = rows[i];
        if (row.tested && row.ok) {
            ++good;
        } else {
            failing += failing.empty() ? "" : ", ";
            const std::string why = row.tested ? row.reason : "not tested";
            failing += shownName(row.name) + (why.empty() ? "" : " (" + shownName(why) + ")");
        }
        if (!row.tested)
            continue;
        std::string label = perfLabel(row.name);
        if (!labels.insert(label).second) {
            label = perfLabel(row.name + "#" + std::to_string(i + 1));
            labels.insert(label);
        }
        performance += " " + label + "=" + secondsText(row.elapsedMs) + ";;;0";
    }
    const std::string counts = std::to_string(good) + " of " + std::to_string(rows.size()) + " destinations OK";
    const bool ok = good == static_cast<int>(rows.size());
    std::string line = std::string(Prefix) + (ok ? "OK - " : "CRITICAL - ") + counts;
    if (!ok)
        line += ", failing: " + failing;
    if (!performance.empty())
        line += " |" + performance;
    return { ok ? CheckStatus::Ok : CheckStatus::Critical, line };
}

} // namespace monitor
