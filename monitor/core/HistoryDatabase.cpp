#include "monitor/core/HistoryDatabase.h"

#include "common/core/ProgramPaths.h"
#include "common/core/RegularFile.h"

#include <sqlite3.h>


namespace monitor {

namespace {

// Version 1 of the tables; a file of a newer version is refused rather than misread.
constexpr int64_t SchemaVersion = 1;

constexpr const char* Schema = R"(
CREATE TABLE IF NOT EXISTS destination(
    id INTEGER PRIMARY KEY,
    address TEXT NOT NULL, service TEXT NOT NULL, port TEXT NOT NULL,
    ok INTEGER, changed_ms INTEGER, last_ms INTEGER,
    UNIQUE(address, service, port));
CREATE TABLE IF NOT EXISTS result(
    destination INTEGER NOT NULL, at_ms INTEGER NOT NULL, ok INTEGER NOT NULL, probe_ms INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS hourly(
    destination INTEGER NOT NULL, hour INTEGER NOT NULL,
    tests INTEGER NOT NULL, failures INTEGER NOT NULL, total_ms INTEGER NOT NULL, worst_ms INTEGER NOT NULL,
    PRIMARY KEY(hour, destination)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS daily(
    destination INTEGER NOT NULL, day INTEGER NOT NULL,
    tests INTEGER NOT NULL, failures INTEGER NOT NULL, total_ms INTEGER NOT NULL, worst_ms INTEGER NOT NULL,
    PRIMARY KEY(day, destination)) WITHOUT ROWID;
)";

std::string messageOf(sqlite3* db, int code)
{
    return db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

} // namespace

void checkHistory(sqlite3* db, int code)
{
    if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE)
        throw HistoryError(messageOf(db, code));
}

// ---- statements ---------------------------------------------------------------------------

HistoryStatement::HistoryStatement(sqlite3* db, const char* sql)
    : m_db(db)
{
    checkHistory(m_db, sqlite3_prepare_v2(m_db, sql, -1, &m_statement, nullptr));
}

HistoryStatement::~HistoryStatement()
{
    sqlite3_finalize(m_statement);
}

HistoryStatement& HistoryStatement::bind(int index, int64_t value)
{
    checkHistory(m_db, sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

HistoryStatement& HistoryStatement::bind(int index, const std::string& value)
{
    checkHistory(m_db,
        sqlite3_bind_text(m_statement, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
    return *this;
}

bool HistoryStatement::step()
{
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code != SQLITE_DONE) {
        const std::string message = messageOf(m_db, code);
        sqlite3_reset(m_statement);
        throw HistoryError(message);
    }
    return false;
}

void HistoryStatement::run()
{
    while (step()) {
    }
    reset();
}

void HistoryStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

int64_t HistoryStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::string HistoryStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(m_statement, column))) : std::string();
}

bool HistoryStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

// ---- connection ---------------------------------------------------------------------------

HistoryDatabase::HistoryDatabase(const std::string& path, Mode mode)
{
    if (const int error = core::regularFileError(path))
        throw HistoryError(core::fileErrorText(error));
    // The default file lies in the user's state folder, made at the first write.
    if (mode == Mode::Write)
        core::makeUserFolderFor(path);
    // A reader must not make a file that is not there.
    const int flags = mode == Mode::Write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
        : mode == Mode::Checkpoint        ? SQLITE_OPEN_READWRITE
                                          : SQLITE_OPEN_READONLY;
    const int code = sqlite3_open_v2(path.c_str(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    try {
        checkHistory(m_db, code);
        sqlite3_extended_result_codes(m_db, 0);
        sqlite3_busy_timeout(m_db, BusyTimeoutMs);
        if (mode == Mode::Write) {
            // The first read of the file: one that is not SQLite fails here, before anything
            // is written, and a database of another program is left as it is.
            int64_t version = 0;
            {
                HistoryStatement read(m_db, "PRAGMA user_version");
                if (read.step())
                    version = read.integer(0);
            }
            if (version > SchemaVersion)
                throw HistoryError("written by a newer version of SEN");
            if (version < SchemaVersion) {
                HistoryStatement tables(m_db, "SELECT count(*) FROM sqlite_schema");
                if (tables.step() && tables.integer(0) > 0)
                    throw HistoryError("not a history file of SEN");
            }
            execute("PRAGMA journal_mode=WAL");
            execute("PRAGMA synchronous=NORMAL");
            // Background jobs copy the log back into the file after each pass (checkpoint());
            // the writer does so itself only when they fall far behind.
            execute("PRAGMA wal_autocheckpoint=10000");
            if (version < SchemaVersion) {
                begin();
                execute(Schema);
                execute(("PRAGMA user_version=" + std::to_string(SchemaVersion)).c_str());
                commit();
            }
        } else {
            HistoryStatement read(m_db, "PRAGMA user_version");
            if (!read.step() || read.integer(0) != SchemaVersion)
                throw HistoryError("not a history file of this version of SEN");
        }
    } catch (...) {
        sqlite3_close_v2(m_db);
        throw;
    }
}

HistoryDatabase::~HistoryDatabase()
{
    sqlite3_close_v2(m_db);
}

void HistoryDatabase::checkpoint()
{
    checkHistory(m_db, sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr));
}

void HistoryDatabase::execute(const char* sql)
{
    checkHistory(m_db, sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

void HistoryDatabase::begin()
{
    execute("BEGIN IMMEDIATE");
}

void HistoryDatabase::commit()
{
    execute("COMMIT");
}

void HistoryDatabase::rollback() noexcept
{
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace monitor
