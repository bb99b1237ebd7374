#include "monitor/core/HistoryStore.h"

#include "common/core/DateTimeText.h"
#include "common/core/LockedFile.h"
#include "monitor/core/StatusPage.h"

#include <QDateTime>

#include <sys/stat.h>

namespace monitor {

namespace {

void addPending(std::map<HistoryKey, HistorySummary>& summaries, const std::vector<TestResult>& pending)
{
    for (const TestResult& r : pending)
        addRecent(summaries[r.key], r.ok, r.probeMs, r.endMs);
}

// What a background read hands back.
struct ReadReply
{
    std::map<HistoryKey, HistorySummary> summaries;
    std::string pageError;
};

} // namespace

HistoryStore::HistoryStore(const DestinationList& list, Reporter report)
    : m_list(list)
    , m_report(std::move(report))
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

HistoryStore::~HistoryStore()
{
    m_pruneJob.cancel();
    m_readJob.cancel();
    m_chartJob.cancel();
}

void HistoryStore::setFiles(const std::string& historyPath, const std::string& statusPagePath)
{
    m_pagePath = statusPagePath;
    if (historyPath == m_path)
        return;
    m_path = historyPath;
    m_db.reset();
    m_ids.clear();
    m_summaries.clear();
    m_lastPruneMs = 0;
    if (m_path.empty())
        m_pending.clear();
    ++m_writes; // what is on its way was read from the other file
    changed(nullptr);
    if (!m_path.empty())
        afterWrite(false);
    requestChartAgain();
}

void HistoryStore::changed(const HistoryKey* key)
{
    if (m_onChanged)
        m_onChanged(key);
}

const HistorySummary* HistoryStore::summaryOf(const HistoryKey& key) const
{
    const auto found = m_summaries.find(key);
    return found == m_summaries.end() ? nullptr : &found->second;
}

// ---- writing ------------------------------------------------------------------------------

void HistoryStore::passStarted()
{
    m_passing = true;
    m_reported = false;
    if (!m_path.empty() && m_clock() - m_lastPruneMs >= PruneEveryMs && !m_pruneJob.pending())
        prune();
}

void HistoryStore::resultRecorded(const TestResult& result)
{
    if (m_path.empty())
        return;
    if (m_pending.size() >= MaxPending)
        m_pending.erase(m_pending.begin());
    m_pending.push_back(result);
    addRecent(m_summaries[result.key], result.ok, result.probeMs, result.endMs);
    changed(&result.key);
    if (m_chartKey == result.key)
        requestChartAgain();
    if (!m_passing && write())
        afterWrite(false);
}

void HistoryStore::passEnded()
{
    m_passing = false;
    write();
    afterWrite(true);
}

bool HistoryStore::write()
{
    if (m_path.empty() || m_pending.empty())
        return true;
    try {
        // A file that was moved away or replaced since is opened anew, never written blind.
        struct stat now
        {
        };
        const bool same = m_db && ::stat(m_path.c_str(), &now) == 0 && now.st_ino == m_dbInode && now.st_dev == m_dbDevice;
        if (!same) {
            m_db.reset();
            m_ids.clear();
            m_db = std::make_unique<HistoryDatabase>(m_path, HistoryDatabase::Mode::Write);
            if (::stat(m_path.c_str(), &now) == 0) {
                m_dbInode = now.st_ino;
                m_dbDevice = now.st_dev;
            }
        }
        writeResults(*m_db, m_pending, m_ids);
    } catch (const HistoryError& e) {
        m_db.reset();
        m_ids.clear();
        report(e.what());
        return false;
    }
    m_pending.clear();
    ++m_writes;
    return true;
}

void HistoryStore::report(const std::string& cause)
{
    if (m_reported)
        return;
    m_reported = true;
    m_report("*** ERROR: Cannot write history file " + m_path + ": " + cause);
}

// ---- background work ----------------------------------------------------------------------

void HistoryStore::prune()
{
    struct stat st
    {
    };
    if (::stat(m_path.c_str(), &st) != 0)
        return; // nothing written yet
    const int64_t now = m_clock();
    m_lastPruneMs = now;
    auto error = std::make_shared<std::string>();
    m_pruneJob = core::runInBackground(
        [path = m_path, now, error] {
            try {
                HistoryDatabase db(path, HistoryDatabase::Mode::Write);
                pruneHistory(db, now);
            } catch (const HistoryError& e) {
                *error = e.what();
            }
        },
        [this, error] {
            if (!error->empty()) {
                m_lastPruneMs = 0; // again at the next pass
                report(*error);
            }
        });
}

void HistoryStore::afterWrite(bool withPage)
{
    m_pageWanted = m_pageWanted || (withPage && !m_pagePath.empty());
    if (m_readJob.pending()) {
        m_readAgain = true;
        return;
    }
    m_readAgain = false;
    const bool page = m_pageWanted;
    m_pageWanted = false;
    if (m_path.empty() && !page)
        return;
    const int64_t now = m_clock();
    std::vector<StatusRow> rows;
    std::vector<HistoryKey> keys;
    if (page) {
        rows.reserve(static_cast<size_t>(m_list.count()));
        for (const Destination& d : m_list.rows()) {
            rows.push_back({ d.HostName, d.IPAddress(), d.Service(), d.Port(), d.Status(), std::nullopt });
            keys.push_back(historyKeyOf(d));
        }
    }
    auto reply = std::make_shared<ReadReply>();
    const uint64_t writes = m_writes;
    m_readJob = core::runInBackground(
        [path = m_path, pagePath = page ? m_pagePath : std::string(), rows = std::move(rows), keys = std::move(keys),
            pending = m_pending, now, passTime = core::dateTimeText(QDateTime::fromMSecsSinceEpoch(now)),
            reply]() mutable {
            if (!path.empty()) {
                try {
                    HistoryDatabase db(path, HistoryDatabase::Mode::Read);
                    reply->summaries = readSummaries(db, now);
                    // Here rather than in the writer's commit, which the GUI thread waits for.
                    HistoryDatabase(path, HistoryDatabase::Mode::Checkpoint).checkpoint();
                } catch (const HistoryError&) {
                    // The writer tells what is wrong with the file; the page goes without it.
                }
            }
            if (pagePath.empty())
                return;
            auto summaries = reply->summaries;
            addPending(summaries, pending);
            for (size_t i = 0; i < rows.size(); ++i) {
                if (const auto found = summaries.find(keys[i]); found != summaries.end())
                    rows[i].history = found->second;
            }
            if (const int error = core::writeWholeFile(pagePath, statusPageHtml(rows, passTime, localDayOf(now))))
                reply->pageError = "*** ERROR: Cannot write status page " + pagePath + ": " + core::fileErrorText(error);
        },
        [this, reply, writes] {
            if (!reply->pageError.empty())
                m_report(reply->pageError);
            if (writes == m_writes) {
                m_summaries = std::move(reply->summaries);
                addPending(m_summaries, m_pending);
                changed(nullptr);
            } else {
                m_readAgain = true;
            }
            if (m_readAgain)
                afterWrite(false);
        });
}

void HistoryStore::requestChart(const HistoryKey& key, std::function<void(const Chart&)> deliver)
{
    m_chartKey = key;
    m_chartDeliver = std::move(deliver);
    requestChartAgain();
}

void HistoryStore::dropChart()
{
    m_chartJob.cancel();
    m_chartKey.reset();
    m_chartDeliver = nullptr;
}

void HistoryStore::requestChartAgain()
{
    if (!m_chartKey || !m_chartDeliver)
        return;
    m_chartJob.cancel();
    const int64_t now = m_clock();
    auto chart = std::make_shared<Chart>();
    chart->key = *m_chartKey;
    const uint64_t writes = m_writes;
    m_chartJob = core::runInBackground(
        [path = m_path, now, chart] {
            if (path.empty())
                return;
            try {
                HistoryDatabase db(path, HistoryDatabase::Mode::Read);
                chart->points = readResults(db, chart->key, now - ResultsKeptMs);
                auto summaries = readSummaries(db, now, chart->key);
                if (!summaries.empty())
                    chart->summary = summaries.begin()->second;
            } catch (const HistoryError&) {
                chart->points.clear(); // a file not written yet, or one the writer complains of
            }
        },
        [this, chart, writes] {
            if (writes != m_writes) {
                requestChartAgain();
                return;
            }
            for (const TestResult& r : m_pending) {
                if (r.key != chart->key)
                    continue;
                chart->points.push_back({ r.endMs, r.ok, r.probeMs });
                addRecent(chart->summary, r.ok, r.probeMs, r.endMs);
            }
            m_chartDeliver(*chart);
        });
}

void HistoryStore::finish(std::chrono::milliseconds timeout)
{
    m_pruneJob.cancel();
    dropChart();
    write();
    core::waitFor([this] { return !m_readJob.pending() && !m_readAgain; }, timeout);
}

} // namespace monitor
