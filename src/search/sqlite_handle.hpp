// A thin owner of one SQLite connection and its prepared statements.
#pragma once

#include <cstdint>      // int64_t
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

struct sqlite3;
struct sqlite3_stmt;
struct fts5_api;

namespace qs::Search {

// What went wrong in SQLite: its result code and message.
struct SqlError {
    int code = 0;
    std::string message;
    // The database file is damaged or no database at all.
    [[nodiscard]] bool corrupt() const;
};

class Statement;

class Connection {
public:
    // Opens (creating) the database at `path`, FTS5 tokenizer registered,
    // write-ahead log on; nothing with `error` set when it cannot be opened.
    static std::unique_ptr<Connection> open(const std::string& path, SqlError& error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] sqlite3* handle() const { return db_; }
    // Runs statements without results; throws SqlError.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    // How long a statement waits for another connection's write lock.
    void waitForLocks(int milliseconds);
    [[nodiscard]] int64_t lastRowId() const;

private:
    explicit Connection(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);  // throws SqlError
    ~Statement();
    Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, int64_t value);
    Statement& bind(int index, double value);
    Statement& bindNull(int index);
    // A pointer only a function that knows `type` reads back; it must
    // outlive the statement's next step.
    Statement& bind(int index, void* pointer, const char* type);
    // A row was produced; false at the end. Throws SqlError.
    bool step();
    // step() until done, then reset for the next bindings.
    void run();
    void reset();

    [[nodiscard]] std::string_view text(int column) const;
    [[nodiscard]] int64_t integer(int column) const;
    [[nodiscard]] double real(int column) const;
    [[nodiscard]] bool isNull(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

// The connection's FTS5, for registering a tokenizer or a function;
// nothing when the library has none.
fts5_api* fts5Of(sqlite3* db);

}  // namespace qs::Search
