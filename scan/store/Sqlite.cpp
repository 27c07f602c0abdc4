#include "scan/store/Sqlite.h"

#include <sqlite3.h>

namespace vexmoor {

namespace {

std::string Describe(sqlite3* db, int code) {
  const char* text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  return text != nullptr ? text : sqlite3_errstr(code);
}

}  // namespace

bool SqliteError::Damaged() const {
  const int primary = code_ & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
}

bool SqliteError::Busy() const {
  const int primary = code_ & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

TSqliteDb::TSqliteDb(const std::string& path) {
  const int code = sqlite3_open_v2(path.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code != SQLITE_OK) {
    const std::string message = Describe(db_, code);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw SqliteError(message, code);
  }
  sqlite3_extended_result_codes(db_, 1);
}

TSqliteDb::~TSqliteDb() { sqlite3_close_v2(db_); }

void TSqliteDb::Check(int code) const {
  if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE)
    throw SqliteError(Describe(db_, code), code);
}

void TSqliteDb::Exec(const char* sql) { Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)); }

void TSqliteDb::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }

TSqliteStatement::TSqliteStatement(const TSqliteDb& db, const char* sql) : db_(db) {
  db_.Check(sqlite3_prepare_v2(db_.Handle(), sql, -1, &statement_, nullptr));
}

TSqliteStatement::~TSqliteStatement() { sqlite3_finalize(statement_); }

void TSqliteStatement::Bind(int parameter, int64_t value) {
  db_.Check(sqlite3_bind_int64(statement_, parameter, value));
}

void TSqliteStatement::BindBlob(int parameter, std::string_view value) {
  // A zero-length blob with a null pointer would be bound as NULL.
  static const char kEmpty = 0;
  db_.Check(sqlite3_bind_blob64(statement_, parameter, value.empty() ? &kEmpty : value.data(),
                                value.size(), SQLITE_TRANSIENT));
}

void TSqliteStatement::BindText(int parameter, std::string_view value) {
  db_.Check(sqlite3_bind_text64(statement_, parameter, value.data(), value.size(), SQLITE_TRANSIENT,
                                SQLITE_UTF8));
}

void TSqliteStatement::BindNull(int parameter) {
  db_.Check(sqlite3_bind_null(statement_, parameter));
}

bool TSqliteStatement::Step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  sqlite3_reset(statement_);
  db_.Check(code);
  return false;
}

void TSqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

bool TSqliteStatement::IsInteger(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_INTEGER;
}

bool TSqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

bool TSqliteStatement::IsBlob(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_BLOB;
}

int64_t TSqliteStatement::Integer(int column) const {
  return sqlite3_column_int64(statement_, column);
}

std::string_view TSqliteStatement::Blob(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (data == nullptr || size <= 0) return {};
  return {static_cast<const char*>(data), static_cast<size_t>(size)};
}

std::string_view TSqliteStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (text == nullptr || size <= 0) return {};
  return {reinterpret_cast<const char*>(text), static_cast<size_t>(size)};
}

}  // namespace vexmoor
