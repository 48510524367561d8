#pragma once
// The configuration database as both programs reach it: a connection opened
// and closed for every use, table record sets read in row order, columns read
// and written by name. The file is SQLite 3 (rollback journal, so it stays one
// file); the connection string names it. Failures throw DatabaseError with a
// description for the callers' error entries.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace corvane {

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "Data Source=<AppFolder>/Corvane.mdb"
std::string DbConnectString(const std::filesystem::path& app_folder);
// The file a connection string names (its "Data Source" key).
std::filesystem::path DataSourceOf(std::string_view connect_string);

// One column value as stored: Null, a whole number, a real, or text.
class FieldValue {
 public:
  FieldValue() = default;
  FieldValue(std::nullptr_t) {}
  FieldValue(int64_t v) : value_(v) {}
  FieldValue(int v) : value_(int64_t{v}) {}
  FieldValue(bool v) : value_(int64_t{v ? 1 : 0}) {}
  FieldValue(double v) : value_(v) {}
  FieldValue(std::string v) : value_(std::move(v)) {}
  FieldValue(const char* v) : value_(std::string(v)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  const std::variant<std::monostate, int64_t, double, std::string>& raw() const { return value_; }
  bool operator==(const FieldValue&) const = default;

 private:
  std::variant<std::monostate, int64_t, double, std::string> value_;
};

class Connection {
 public:
  // Opens an existing database file; a missing file is a failure, never a
  // new empty database. A busy timeout lets a read wait for a writer.
  static Connection Open(std::string_view connect_string);
  // Creates the file when missing (the tools that make databases use this).
  static Connection Create(const std::filesystem::path& file);

  Connection(Connection&&) noexcept;
  Connection& operator=(Connection&&) noexcept;
  ~Connection();

  // Runs one schema or data statement. "ALTER TABLE t ALTER COLUMN c type"
  // only checks that the column exists: SQLite keeps no column widths.
  void Execute(std::string_view sql);
  bool HasColumn(std::string_view table, std::string_view column);
  void Close();
  sqlite3* handle() const { return db_; }

 private:
  explicit Connection(sqlite3* db) : db_(db) {}
  sqlite3* db_ = nullptr;
};

// A static, optimistic record set over one whole table: every row is read at
// open, in row order; edits are written when Update or Delete is called.
class Recordset {
 public:
  static Recordset Open(Connection& connection, std::string_view table);

  bool Eof() const { return position_ >= rows_.size(); }
  void MoveFirst() { position_ = 0; }
  void MoveNext() {
    if (!Eof()) ++position_;
  }
  size_t RecordCount() const { return rows_.size(); }

  // The current record's column; an unknown column or no current record
  // is a failure.
  const FieldValue& Field(std::string_view column) const;
  void SetField(std::string_view column, FieldValue value);

  // Starts a new record (all Null) that Update inserts at the end.
  void AddNew();
  // Writes the current record's changed columns (or inserts a new one).
  void Update();
  // Deletes the current record; the position moves to the next one.
  void Delete();
  void Close() { rows_.clear(); }

  const std::string& table() const { return table_; }

 private:
  struct Row {
    int64_t rowid = 0;  // 0 for a record added and not yet updated
    std::vector<FieldValue> values;
    std::vector<bool> changed;
  };
  Recordset(Connection& connection, std::string table) : connection_(&connection), table_(std::move(table)) {}
  size_t ColumnIndex(std::string_view column) const;
  Row& Current();
  const Row& Current() const;

  Connection* connection_;
  std::string table_;
  std::vector<std::string> columns_;
  std::vector<Row> rows_;
  size_t position_ = 0;
};

// The conversions the service applies when it reads a column. Each names
// the table and column in its failure.
std::string AsText(const Recordset& rs, std::string_view column);
int16_t AsInt16(const Recordset& rs, std::string_view column);
int32_t AsInt32(const Recordset& rs, std::string_view column);
bool AsBool(const Recordset& rs, std::string_view column);
// Enabled-style flags: Null counts as false.
bool AsBoolNullFalse(const Recordset& rs, std::string_view column);

}  // namespace corvane
