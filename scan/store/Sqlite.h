// A thin layer over SQLite's C API for the checksum store: a connection and
// statements that close themselves, and failures as exceptions that keep
// SQLite's result code so a caller can tell a damaged file from a busy one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Errors.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vexmoor {

class SqliteError : public Error {
 public:
  SqliteError(const std::string& message, int code) : Error(message), code_(code) {}
  int Code() const { return code_; }
  // The file is not a database or its pages do not hold together.
  bool Damaged() const;
  // Another connection holds a lock that did not go in time.
  bool Busy() const;

 private:
  int code_;
};

// One open database file. Throws SqliteError when it cannot be opened.
class TSqliteDb {
 public:
  explicit TSqliteDb(const std::string& path);
  ~TSqliteDb();
  TSqliteDb(const TSqliteDb&) = delete;
  TSqliteDb& operator=(const TSqliteDb&) = delete;

  sqlite3* Handle() const { return db_; }
  // Runs `sql` (any number of statements), throwing SqliteError.
  void Exec(const char* sql);
  // How long a statement waits for another connection's lock.
  void SetBusyTimeout(int milliseconds);
  // Throws SqliteError for `code` unless it is a success code.
  void Check(int code) const;

 private:
  sqlite3* db_ = nullptr;
};

// A prepared statement. Column and parameter numbers are SQLite's: columns
// from 0, parameters from 1.
class TSqliteStatement {
 public:
  TSqliteStatement(const TSqliteDb& db, const char* sql);
  ~TSqliteStatement();
  TSqliteStatement(const TSqliteStatement&) = delete;
  TSqliteStatement& operator=(const TSqliteStatement&) = delete;

  void Bind(int parameter, int64_t value);
  void BindBlob(int parameter, std::string_view value);
  void BindText(int parameter, std::string_view value);
  void BindNull(int parameter);
  // Runs to the next row: true with a row to read, false when done.
  bool Step();
  // Ready to run again with new parameters.
  void Reset();

  bool IsInteger(int column) const;
  bool IsNull(int column) const;
  bool IsBlob(int column) const;
  int64_t Integer(int column) const;
  // Valid until the next Step or Reset.
  std::string_view Blob(int column) const;
  std::string_view Text(int column) const;

 private:
  const TSqliteDb& db_;
  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace vexmoor
