#pragma once

// The metrics file ("MetricsFile" in section "SEN"): after every test pass the monitor rewrites
// it in the Prometheus text exposition format, for the node exporter's textfile collector or
// any scraper that reads such a file. Nothing is written while the key is empty.
//
// Per destination, labelled destination (the row's caption), address, service and port:
//   sen_destination_up                               1 after "OK", 0 after "Fail"; rows never
//                                                    tested ("na") have no sample
//   sen_destination_probe_duration_seconds           the last test, retry included; rows not
//                                                    tested since the monitor started have none
//   sen_destination_last_change_timestamp_seconds    Unix time of the end of the test that found
//                                                    the present state; when the state has not
//                                                    changed since the monitor started, the end
//                                                    of its first test
// Per pass: sen_pass_duration_seconds, sen_pass_end_timestamp_seconds,
// sen_pass_destinations{result="ok"|"fail"|"untested"} (rows of the list at the pass's end that
// it did not test: an aborted pass), sen_destinations (rows in the list) and the counter
// sen_passes_total (passes since the monitor started).
//
// Rows alike in all four labels are one series to a scraper; the first of them in list order
// is written, the others left out, so the file never holds a duplicate sample. Label values
// are escaped as the format asks, and bytes that are not UTF-8 become U+FFFD.
//
// The file is replaced whole (core::writeWholeFile): the text goes to a hidden scratch file in
// the same folder (not ending in ".prom", so the collector skips it), then is renamed over the
// file, so a reader sees the old file or the new one, never a part. A FIFO or a device at the
// path is refused, never replaced.

#include "monitor/core/DestinationList.h"

#include <QDateTime>

#include <map>
#include <optional>
#include <string>

namespace monitor {

class MetricsFile
{
public:
    void passStarted(const QDateTime& now);
    // Every test's result as the engine records it, single tests included.
    void testRecorded(DestinationList::RowKey row,
        bool ok,
        const std::string& previousStatus,
        const QDateTime& start,
        const QDateTime& end,
        bool inPass);
    // Ends the pass and rewrites `path` unless it is empty; the activity line to show when the
    // file could not be written.
    std::optional<std::string> passEnded(const std::string& path, const DestinationList& list, const QDateTime& now);

    // The file's text for the list as it stands.
    std::string text(const DestinationList& list) const;

private:
    struct Seen
    {
        bool ok = false;
        double durationSeconds = 0;
        QDateTime lastChange;
        int pass = -1; // the pass that tested it last
    };

    std::map<DestinationList::RowKey, Seen> m_seen;
    int m_passes = 0; // passes ended
    int m_pass = 0; // number of the pass running or last run
    QDateTime m_passStart;
    QDateTime m_passEnd;
    int m_passOk = 0;
    int m_passFail = 0;
};

} // namespace monitor
