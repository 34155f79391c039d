#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rtl/exception.h"

namespace quorvane {

// A failure of the history file. Code is SQLite's primary result code (SQLITE_BUSY,
// SQLITE_CORRUPT, ...), so that a caller can tell a file to move aside from one to retry.
class EHistoryError : public Exception {
public:
    EHistoryError(std::string message, int code) : Exception(std::move(message)), code_(code) {}
    int Code() const noexcept { return code_; }
    // The file itself is damaged or not a database at all.
    bool IsCorruption() const noexcept { return code_ == SQLITE_CORRUPT || code_ == SQLITE_NOTADB; }

private:
    int code_;
};

// One open connection; closed when the object goes away.
class TSqliteDatabase {
public:
    // Opens (creating when allowed) the file; throws EHistoryError.
    TSqliteDatabase(const std::string& path, bool create);
    ~TSqliteDatabase();
    TSqliteDatabase(const TSqliteDatabase&) = delete;
    TSqliteDatabase& operator=(const TSqliteDatabase&) = delete;

    sqlite3* Handle() const { return db_; }
    // Runs statements without results; throws EHistoryError.
    void Execute(const std::string& sql);
    // Throws EHistoryError for a result code other than OK, ROW and DONE.
    void Check(int result) const;

private:
    sqlite3* db_ = nullptr;
};

// One prepared statement, reset after each use so that its read snapshot never outlives it.
class TSqliteStatement {
public:
    TSqliteStatement(TSqliteDatabase& database, const std::string& sql);
    ~TSqliteStatement();
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    // Parameters are 1-based, as in SQL.
    void Bind(int index, int64_t value);
    void Bind(int index, double value);
    void Bind(int index, std::string_view text);
    void Bind(int index, const std::optional<double>& value);
    void BindNull(int index);

    // True while rows come; false once the statement is done. Throws EHistoryError.
    bool Step();
    // Steps to the end of a statement that returns no rows.
    void Run();
    void Reset();

    int64_t Integer(int column) const;
    std::optional<double> Number(int column) const;
    std::optional<std::string> Text(int column) const;

private:
    TSqliteDatabase& database_;
    sqlite3_stmt* statement_ = nullptr;
};

// A transaction that rolls back unless committed.
class TSqliteTransaction {
public:
    explicit TSqliteTransaction(TSqliteDatabase& database);
    ~TSqliteTransaction();
    TSqliteTransaction(const TSqliteTransaction&) = delete;
    TSqliteTransaction& operator=(const TSqliteTransaction&) = delete;
    void Commit();

private:
    TSqliteDatabase& database_;
    bool open_ = true;
};

}  // namespace quorvane
