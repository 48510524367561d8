#include "common/database/database.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <regex>
#include <utility>

namespace corvane {
namespace {

// Long enough that a console rewriting a table never makes a service read
// fail at once, short enough that a stuck writer shows as an error.
constexpr int kBusyTimeoutMs = 5000;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

[[noreturn]] void Fail(sqlite3* db, std::string_view what) {
  std::string text(what);
  if (db != nullptr) text += ": " + std::string(sqlite3_errmsg(db));
  throw DatabaseError(text);
}

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
      Fail(db, "Cannot prepare statement");
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, const FieldValue& value) {
    int rc = SQLITE_OK;
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            rc = sqlite3_bind_null(stmt_, index);
          } else if constexpr (std::is_same_v<T, int64_t>) {
            rc = sqlite3_bind_int64(stmt_, index, v);
          } else if constexpr (std::is_same_v<T, double>) {
            rc = sqlite3_bind_double(stmt_, index, v);
          } else {
            rc = sqlite3_bind_text(stmt_, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
          }
        },
        value.raw());
    if (rc != SQLITE_OK) Fail(db_, "Cannot bind value");
  }
  // True while a row is there.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(db_, "Statement failed");
  }
  FieldValue Column(int index) const {
    switch (sqlite3_column_type(stmt_, index)) {
      case SQLITE_INTEGER:
        return FieldValue(static_cast<int64_t>(sqlite3_column_int64(stmt_, index)));
      case SQLITE_FLOAT:
        return FieldValue(sqlite3_column_double(stmt_, index));
      case SQLITE_NULL:
        return FieldValue();
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        const int size = sqlite3_column_bytes(stmt_, index);
        return FieldValue(std::string(text == nullptr ? "" : text, static_cast<size_t>(size)));
      }
    }
  }
  int ColumnCount() const { return sqlite3_column_count(stmt_); }
  std::string ColumnName(int index) const { return sqlite3_column_name(stmt_, index); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

sqlite3* OpenFile(const std::filesystem::path& file, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const std::string message = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw DatabaseError("Cannot open database '" + file.string() + "': " + message);
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // Reading the schema proves the file is a database, not just any file.
  char* error = nullptr;
  if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error != nullptr ? error : "unknown error";
    sqlite3_free(error);
    sqlite3_close(db);
    throw DatabaseError("Cannot open database '" + file.string() + "': " + message);
  }
  return db;
}

std::string Describe(std::string_view table, std::string_view column) {
  return " (" + std::string(table) + "." + std::string(column) + ")";
}

[[noreturn]] void FailConversion(std::string_view what, const Recordset& rs, std::string_view column) {
  throw DatabaseError(std::string(what) + Describe(rs.table(), column));
}

// A column's value as a whole number, as the read conversions take it:
// whole numbers as they are, reals rounded half to even, numeric text
// parsed; Null and other text fail.
int64_t WholeNumber(const Recordset& rs, std::string_view column) {
  const FieldValue& value = rs.Field(column);
  if (value.IsNull()) FailConversion("Invalid use of Null", rs, column);
  if (const auto* i = std::get_if<int64_t>(&value.raw())) return *i;
  double real = 0;
  if (const auto* d = std::get_if<double>(&value.raw())) {
    real = *d;
  } else {
    const std::string_view text = Trim(std::get<std::string>(value.raw()));
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), real);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
      FailConversion("Type mismatch", rs, column);
    }
  }
  if (!std::isfinite(real) || std::fabs(real) > 9.0e18) FailConversion("Overflow", rs, column);
  return static_cast<int64_t>(std::nearbyint(real));
}

}  // namespace

std::string DbConnectString(const std::filesystem::path& app_folder) {
  std::string folder = app_folder.string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return "Data Source=" + folder + "/Corvane.mdb";
}

std::filesystem::path DataSourceOf(std::string_view connect_string) {
  size_t start = 0;
  while (start <= connect_string.size()) {
    size_t end = connect_string.find(';', start);
    if (end == std::string_view::npos) end = connect_string.size();
    const std::string_view part = connect_string.substr(start, end - start);
    const size_t equals = part.find('=');
    if (equals != std::string_view::npos && EqualsNoCase(Trim(part.substr(0, equals)), "Data Source")) {
      return std::filesystem::path(std::string(Trim(part.substr(equals + 1))));
    }
    start = end + 1;
  }
  throw DatabaseError("The connection string names no Data Source");
}

Connection Connection::Open(std::string_view connect_string) {
  const auto file = DataSourceOf(connect_string);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw DatabaseError("Could not find file '" + file.string() + "'");
  }
  return Connection(OpenFile(file, SQLITE_OPEN_READWRITE));
}

Connection Connection::Create(const std::filesystem::path& file) {
  Connection connection(OpenFile(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
  connection.Execute("PRAGMA journal_mode=DELETE");
  return connection;
}

Connection::Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Connection::~Connection() { Close(); }

void Connection::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool Connection::HasColumn(std::string_view table, std::string_view column) {
  if (db_ == nullptr) throw DatabaseError("The connection is closed");
  Statement info(db_, "SELECT name FROM pragma_table_info(?)");
  info.Bind(1, FieldValue(std::string(table)));
  while (info.Step()) {
    const FieldValue name = info.Column(0);
    if (const auto* text = std::get_if<std::string>(&name.raw()); text && EqualsNoCase(*text, column)) {
      return true;
    }
  }
  return false;
}

void Connection::Execute(std::string_view sql) {
  if (db_ == nullptr) throw DatabaseError("The connection is closed");
  static const std::regex kAlterColumn(R"(^\s*ALTER\s+TABLE\s+(\S+)\s+ALTER\s+COLUMN\s+(\S+)\s+\S.*$)",
                                       std::regex::icase);
  std::match_results<std::string_view::const_iterator> match;
  if (std::regex_match(sql.begin(), sql.end(), match, kAlterColumn)) {
    if (!HasColumn(match[1].str(), match[2].str())) {
      throw DatabaseError("Cannot alter column '" + match[2].str() + "' of table '" + match[1].str() +
                          "': no such column");
    }
    return;
  }
  Statement statement(db_, sql);
  while (statement.Step()) {
  }
}

Recordset Recordset::Open(Connection& connection, std::string_view table) {
  if (connection.handle() == nullptr) throw DatabaseError("The connection is closed");
  Recordset rs(connection, std::string(table));
  {
    Statement exists(connection.handle(),
                     "SELECT count(*) FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE");
    exists.Bind(1, FieldValue(std::string(table)));
    exists.Step();
    if (exists.Column(0) == FieldValue(int64_t{0})) {
      throw DatabaseError("The table '" + std::string(table) + "' does not exist");
    }
  }
  Statement select(connection.handle(), "SELECT rowid, * FROM " + QuoteIdentifier(table) + " ORDER BY rowid");
  for (int i = 1; i < select.ColumnCount(); ++i) rs.columns_.push_back(select.ColumnName(i));
  while (select.Step()) {
    Row row;
    row.rowid = std::get<int64_t>(select.Column(0).raw());
    for (int i = 1; i < select.ColumnCount(); ++i) row.values.push_back(select.Column(i));
    row.changed.assign(row.values.size(), false);
    rs.rows_.push_back(std::move(row));
  }
  return rs;
}

size_t Recordset::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (EqualsNoCase(columns_[i], column)) return i;
  }
  throw DatabaseError("Item cannot be found in the collection" + Describe(table_, column));
}

Recordset::Row& Recordset::Current() {
  if (Eof()) throw DatabaseError("No current record in table '" + table_ + "'");
  return rows_[position_];
}

const Recordset::Row& Recordset::Current() const {
  if (Eof()) throw DatabaseError("No current record in table '" + table_ + "'");
  return rows_[position_];
}

const FieldValue& Recordset::Field(std::string_view column) const {
  const size_t index = ColumnIndex(column);
  return Current().values[index];
}

void Recordset::SetField(std::string_view column, FieldValue value) {
  const size_t index = ColumnIndex(column);
  Row& row = Current();
  row.values[index] = std::move(value);
  row.changed[index] = true;
}

void Recordset::AddNew() {
  Row row;
  row.values.resize(columns_.size());
  row.changed.assign(columns_.size(), false);
  rows_.push_back(std::move(row));
  position_ = rows_.size() - 1;
}

void Recordset::Update() {
  Row& row = Current();
  sqlite3* db = connection_->handle();
  if (db == nullptr) throw DatabaseError("The connection is closed");
  std::vector<size_t> changed;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (row.changed[i]) changed.push_back(i);
  }
  if (row.rowid == 0) {
    std::string sql = "INSERT INTO " + QuoteIdentifier(table_);
    if (changed.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, marks;
      for (size_t i : changed) {
        names += (names.empty() ? "" : ", ") + QuoteIdentifier(columns_[i]);
        marks += marks.empty() ? "?" : ", ?";
      }
      sql += " (" + names + ") VALUES (" + marks + ")";
    }
    Statement insert(db, sql);
    int index = 1;
    for (size_t i : changed) insert.Bind(index++, row.values[i]);
    insert.Step();
    row.rowid = sqlite3_last_insert_rowid(db);
  } else if (!changed.empty()) {
    std::string sets;
    for (size_t i : changed) sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(columns_[i]) + " = ?";
    Statement update(db, "UPDATE " + QuoteIdentifier(table_) + " SET " + sets + " WHERE rowid = ?");
    int index = 1;
    for (size_t i : changed) update.Bind(index++, row.values[i]);
    update.Bind(index, FieldValue(row.rowid));
    update.Step();
    if (sqlite3_changes(db) == 0) {
      throw DatabaseError("Row cannot be located for updating in table '" + table_ + "'");
    }
  }
  row.changed.assign(columns_.size(), false);
}

void Recordset::Delete() {
  Row& row = Current();
  if (row.rowid != 0) {
    sqlite3* db = connection_->handle();
    if (db == nullptr) throw DatabaseError("The connection is closed");
    Statement remove(db, "DELETE FROM " + QuoteIdentifier(table_) + " WHERE rowid = ?");
    remove.Bind(1, FieldValue(row.rowid));
    remove.Step();
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(position_));
}

std::string AsText(const Recordset& rs, std::string_view column) {
  const FieldValue& value = rs.Field(column);
  if (value.IsNull()) FailConversion("Invalid use of Null", rs, column);
  if (const auto* text = std::get_if<std::string>(&value.raw())) return *text;
  if (const auto* i = std::get_if<int64_t>(&value.raw())) return std::to_string(*i);
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value.raw()));
  return std::string(buffer, ec == std::errc() ? end : buffer);
}

int16_t AsInt16(const Recordset& rs, std::string_view column) {
  const int64_t n = WholeNumber(rs, column);
  if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max()) {
    FailConversion("Overflow", rs, column);
  }
  return static_cast<int16_t>(n);
}

int32_t AsInt32(const Recordset& rs, std::string_view column) {
  const int64_t n = WholeNumber(rs, column);
  if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max()) {
    FailConversion("Overflow", rs, column);
  }
  return static_cast<int32_t>(n);
}

bool AsBool(const Recordset& rs, std::string_view column) {
  const FieldValue& value = rs.Field(column);
  if (value.IsNull()) FailConversion("Invalid use of Null", rs, column);
  if (const auto* text = std::get_if<std::string>(&value.raw())) {
    const std::string_view t = Trim(*text);
    if (EqualsNoCase(t, "True") || EqualsNoCase(t, "Yes")) return true;
    if (EqualsNoCase(t, "False") || EqualsNoCase(t, "No")) return false;
  }
  return WholeNumber(rs, column) != 0;
}

bool AsBoolNullFalse(const Recordset& rs, std::string_view column) {
  return rs.Field(column).IsNull() ? false : AsBool(rs, column);
}

}  // namespace corvane
