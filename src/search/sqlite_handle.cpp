// The connection and statement wrappers: every failure becomes one SqlError.
#include "search/sqlite_handle.hpp"

#include <sqlite3.h>

#include "search/match_ranker.hpp"
#include "search/word_tokenizer.hpp"

namespace qs::Search {
namespace {

[[noreturn]] void fail(sqlite3* db, int code) { throw SqlError{code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code)}; }

}  // namespace

bool SqlError::corrupt() const {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::unique_ptr<Connection> Connection::open(const std::string& path, SqlError& error) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    std::unique_ptr<Connection> connection(new Connection(db));
    if (rc != SQLITE_OK) {
        error = {rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)};
        return nullptr;
    }
    if (!registerTokenizer(db) || !registerRanker(db)) {
        error = {SQLITE_ERROR, "FTS5 is missing"};
        return nullptr;
    }
    try {
        // Readers and the one writer go side by side; a crash loses at most
        // the last transaction of a cache that can be built again.
        // The cache holds the index's recent pages (a build merges them, a
        // search reads the same term lists again); a checkpoint cuts the
        // log back, which a build would otherwise leave at its largest.
        connection->exec(
            "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16384; "
            "PRAGMA journal_size_limit=16777216;");
    } catch (const SqlError& e) {
        error = e;
        return nullptr;
    }
    return connection;
}

Connection::~Connection() { sqlite3_close_v2(db_); }

void Connection::exec(std::string_view sql) {
    std::string text(sql);
    if (int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK) fail(db_, rc);
}

Statement Connection::prepare(std::string_view sql) { return Statement(db_, sql); }

void Connection::waitForLocks(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }

int64_t Connection::lastRowId() const { return sqlite3_last_insert_rowid(db_); }

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db), stmt_(nullptr) {
    if (int rc = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &stmt_, nullptr); rc != SQLITE_OK) fail(db, rc);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    return *this;
}
Statement& Statement::bind(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}
Statement& Statement::bind(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}
Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}
Statement& Statement::bind(int index, void* pointer, const char* type) {
    sqlite3_bind_pointer(stmt_, index, pointer, type, nullptr);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    fail(db_, rc);
}

void Statement::run() {
    while (step()) {
    }
    reset();
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string_view Statement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return data ? std::string_view(data, size_t(sqlite3_column_bytes(stmt_, column))) : std::string_view();
}
int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }
double Statement::real(int column) const { return sqlite3_column_double(stmt_, column); }
bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

fts5_api* fts5Of(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK) return nullptr;
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return api;
}

}  // namespace qs::Search
