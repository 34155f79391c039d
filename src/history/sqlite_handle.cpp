#include "history/sqlite_handle.h"

namespace quorvane {

namespace {

// SQLite's own words ("database is locked", "database or disk is full") say enough to a user.
EHistoryError Error(sqlite3* db, int result) {
    std::string message = db != nullptr && sqlite3_extended_errcode(db) == result ? sqlite3_errmsg(db) : sqlite3_errstr(result);
    EHistoryError error(message, result & 0xFF);
    // Closing the last connection would copy the log into the damaged file and delete it; both
    // are to be set aside as they were found.
    if (db != nullptr && error.IsCorruption()) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    return error;
}

}  // namespace

TSqliteDatabase::TSqliteDatabase(const std::string& path, bool create) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int result = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        // The handle exists even when the open failed and carries the message.
        std::string message = "Cannot open " + path + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(result));
        sqlite3_close(db_);
        db_ = nullptr;
        throw EHistoryError(message, result & 0xFF);
    }
    sqlite3_extended_result_codes(db_, 1);
}

TSqliteDatabase::~TSqliteDatabase() { sqlite3_close_v2(db_); }

void TSqliteDatabase::Execute(const std::string& sql) {
    Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr));
}

void TSqliteDatabase::Check(int result) const {
    if (result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE) throw Error(db_, result);
}

TSqliteStatement::TSqliteStatement(TSqliteDatabase& database, const std::string& sql) : database_(database) {
    database_.Check(sqlite3_prepare_v3(database_.Handle(), sql.c_str(), static_cast<int>(sql.size()),
                                       SQLITE_PREPARE_PERSISTENT, &statement_, nullptr));
}

TSqliteStatement::~TSqliteStatement() { sqlite3_finalize(statement_); }

void TSqliteStatement::Bind(int index, int64_t value) {
    database_.Check(sqlite3_bind_int64(statement_, index, value));
}

void TSqliteStatement::Bind(int index, double value) {
    database_.Check(sqlite3_bind_double(statement_, index, value));
}

void TSqliteStatement::Bind(int index, std::string_view text) {
    database_.Check(sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void TSqliteStatement::Bind(int index, const std::optional<double>& value) {
    if (value) Bind(index, *value);
    else BindNull(index);
}

void TSqliteStatement::BindNull(int index) { database_.Check(sqlite3_bind_null(statement_, index)); }

bool TSqliteStatement::Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    EHistoryError error = Error(database_.Handle(), result);
    Reset();
    throw error;
}

void TSqliteStatement::Run() {
    while (Step()) {
    }
    Reset();
}

void TSqliteStatement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int64_t TSqliteStatement::Integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::optional<double> TSqliteStatement::Number(int column) const {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_double(statement_, column);
}

std::optional<std::string> TSqliteStatement::Text(int column) const {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

TSqliteTransaction::TSqliteTransaction(TSqliteDatabase& database) : database_(database) {
    database_.Execute("BEGIN IMMEDIATE");
}

TSqliteTransaction::~TSqliteTransaction() {
    if (open_) sqlite3_exec(database_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TSqliteTransaction::Commit() {
    database_.Execute("COMMIT");
    open_ = false;
}

}  // namespace quorvane
