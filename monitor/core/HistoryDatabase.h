#pragma once

// One connection to a history file through SQLite's C interface, and its prepared statements.
// A connection belongs to one thread at a time: the GUI thread's writer, or one background job.
//
// The file is one SQLite database in WAL mode with synchronous=NORMAL (a crash loses at most
// the last pass, never the file), and a busy time-out of one second, so a file held by another
// writer delays a pass by at most that long. Tables:
//   destination(id, address, service, port, ok, changed_ms, last_ms)  one per history key
//   result(destination, at_ms, ok, probe_ms)                          every test, kept 48 hours,
//                                                                     in the order written
//   hourly(destination, hour, tests, failures, total_ms, worst_ms)    per UTC hour, 400 days
//   daily(destination, day, tests, failures, total_ms, worst_ms)      per local day, 400 days
// The daily sums are the hourly ones again by the local calendar, so that a month of all rows
// is read from thirty thousand rows. Everything is kept in time order, so that a pass writes a
// few pages at the end of each table, a window is one range and pruning cuts from the front;
// a row's chart reads the 48 hours of all rows, in the background.

#include <cstdint>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace monitor {

// A failure of the history file, with SQLite's text for it ("database is locked", "file is
// not a database", "database or disk is full", ...) or the system's.
class HistoryError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class HistoryStatement final
{
public:
    HistoryStatement(sqlite3* db, const char* sql);
    ~HistoryStatement();
    HistoryStatement(const HistoryStatement&) = delete;
    HistoryStatement& operator=(const HistoryStatement&) = delete;

    HistoryStatement& bind(int index, int64_t value);
    HistoryStatement& bind(int index, const std::string& value);
    // Steps once: true while a row is there.
    bool step();
    // Steps to the end and resets, for statements that return no rows.
    void run();
    void reset();
    int64_t integer(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

class HistoryDatabase final
{
public:
    enum class Mode
    {
        Write, // created when missing, with its tables
        Read, // must exist; never written
        Checkpoint, // must exist and be a history file; for checkpoint() alone
    };

    // Throws HistoryError when the file cannot be opened in that mode, exists and is not a
    // regular file (it would block or never end), or is not a history file.
    HistoryDatabase(const std::string& path, Mode mode);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    sqlite3* handle() const { return m_db; }
    void execute(const char* sql);
    // BEGIN IMMEDIATE: waits for another writer at most the busy time-out.
    void begin();
    void commit();
    void rollback() noexcept;
    // Copies what the log holds back into the file as far as no reader needs it; never waits.
    void checkpoint();

    static constexpr int BusyTimeoutMs = 1000;

private:
    sqlite3* m_db = nullptr;
};

// Throws HistoryError with the connection's message for a result code that is an error.
void checkHistory(sqlite3* db, int code);

} // namespace monitor
