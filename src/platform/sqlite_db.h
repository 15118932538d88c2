#pragma once
// A thin RAII layer over SQLite for the run journal: one connection, prepared
// statements, transactions that roll back unless committed, WAL mode. Every
// failure is a SqliteError carrying SQLite's own message and result code, so
// the caller can tell a damaged file (Damaged()) from a busy or full disk.
//
// A connection belongs to the thread that uses it; none of this is locked.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace adw::platform {

class SqliteError : public std::runtime_error {
 public:
  SqliteError(const std::string& message, int code) : std::runtime_error(message), m_code(code) {}
  int Code() const { return m_code; }  // the primary result code
  // The file is no database or its pages do not hold together.
  bool Damaged() const;

 private:
  int m_code;
};

class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt) {}
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters are numbered from 1, as in SQL's "?".
  SqliteStatement& Bind(int index, std::int64_t value);
  SqliteStatement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
  SqliteStatement& Bind(int index, std::string_view text);
  SqliteStatement& Bind(int index, const char* text) { return Bind(index, std::string_view(text)); }
  SqliteStatement& Bind(int index, const std::string& text) { return Bind(index, std::string_view(text)); }
  SqliteStatement& BindBlob(int index, std::string_view bytes);
  SqliteStatement& BindNull(int index);
  SqliteStatement& Bind(int index, const std::optional<std::int64_t>& value) {
    return value ? Bind(index, *value) : BindNull(index);
  }

  // True while a row is there to read; false once the statement is done.
  bool Step();
  // Steps to the end, for statements that return no rows.
  void Run();
  // Ready to run again with new parameters (old bindings are cleared).
  void Reset();

  // Columns are numbered from 0.
  std::int64_t Int(int column) const;
  std::string Text(int column) const;  // blobs come back as their bytes
  // The same without a copy; valid until the next Step or Reset.
  std::string_view TextView(int column) const;
  bool IsNull(int column) const;
  std::optional<std::int64_t> OptInt(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Int(column);
  }

 private:
  void Check(int rc) const;
  sqlite3* m_db = nullptr;
  sqlite3_stmt* m_stmt = nullptr;
};

class SqliteDb {
 public:
  enum class Mode { ReadWriteCreate, ReadWrite, ReadOnly };
  // Opens path (Windows-1251 text like every path of the program).
  explicit SqliteDb(const std::string& path, Mode mode = Mode::ReadWriteCreate);
  ~SqliteDb();
  SqliteDb(SqliteDb&& other) noexcept;
  SqliteDb& operator=(SqliteDb&& other) noexcept;
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // One or more statements without parameters or rows.
  void Exec(std::string_view sql);
  SqliteStatement Prepare(std::string_view sql);
  std::int64_t LastInsertId() const;
  // The first column of the first row as a number; fallback when no row.
  std::int64_t QueryInt(std::string_view sql, std::int64_t fallback = 0);
  // Called after every commit of this connection in WAL mode with the pages
  // the WAL then holds. It takes the place of SQLite's own checkpoint after
  // commits: the connection no longer checkpoints by itself.
  void SetWalHook(std::function<void(int pages)> hook);

  // BEGIN IMMEDIATE at construction; the destructor rolls back unless
  // Commit ran, so an exception on the way leaves the file as it was.
  class Transaction {
   public:
    explicit Transaction(SqliteDb& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

   private:
    SqliteDb& m_db;
    bool m_done = false;
  };

 private:
  sqlite3* m_db = nullptr;
  // On the heap, so the address SQLite keeps stays valid when this moves.
  std::unique_ptr<std::function<void(int)>> m_walHook;
};

}  // namespace adw::platform
