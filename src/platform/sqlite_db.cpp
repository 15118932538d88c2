#include "platform/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

#include "platform/files.h"

namespace adw::platform {

namespace {

[[noreturn]] void Throw(sqlite3* db, int rc) {
  const int primary = rc & 0xff;
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw SqliteError(message, primary);
}

}  // namespace

bool SqliteError::Damaged() const {
  return m_code == SQLITE_CORRUPT || m_code == SQLITE_NOTADB;
}

SqliteStatement::~SqliteStatement() {
  if (m_stmt) sqlite3_finalize(m_stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    if (m_stmt) sqlite3_finalize(m_stmt);
    m_db = std::exchange(other.m_db, nullptr);
    m_stmt = std::exchange(other.m_stmt, nullptr);
  }
  return *this;
}

void SqliteStatement::Check(int rc) const {
  if (rc != SQLITE_OK) Throw(m_db, rc);
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
  Check(sqlite3_bind_int64(m_stmt, index, value));
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
  Check(sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, std::string_view bytes) {
  // A zero-length blob is still a blob, not NULL.
  Check(
      sqlite3_bind_blob64(m_stmt, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT));
  return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index) {
  Check(sqlite3_bind_null(m_stmt, index));
  return *this;
}

bool SqliteStatement::Step() {
  const int rc = sqlite3_step(m_stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(m_stmt);
  Throw(m_db, rc);
}

void SqliteStatement::Run() {
  while (Step()) {
  }
  Reset();
}

void SqliteStatement::Reset() {
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
}

std::int64_t SqliteStatement::Int(int column) const {
  return sqlite3_column_int64(m_stmt, column);
}

std::string SqliteStatement::Text(int column) const {
  const void* data = sqlite3_column_blob(m_stmt, column);
  const int size = sqlite3_column_bytes(m_stmt, column);
  if (!data || size <= 0) return {};
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::string_view SqliteStatement::TextView(int column) const {
  const void* data = sqlite3_column_blob(m_stmt, column);
  const int size = sqlite3_column_bytes(m_stmt, column);
  if (!data || size <= 0) return {};
  return std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

bool SqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

SqliteDb::SqliteDb(const std::string& path, Mode mode) {
  int flags = SQLITE_OPEN_NOMUTEX;
  switch (mode) {
    case Mode::ReadWriteCreate:
      flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
      break;
    case Mode::ReadWrite:
      flags |= SQLITE_OPEN_READWRITE;
      break;
    case Mode::ReadOnly:
      flags |= SQLITE_OPEN_READONLY;
      break;
  }
  const std::string native = NativePath(path);
  const int rc = sqlite3_open_v2(native.c_str(), &m_db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    throw SqliteError(message, rc & 0xff);
  }
  sqlite3_extended_result_codes(m_db, 0);
  // Another process (the window and adweld-run) may hold the file for a
  // moment; wait for it rather than fail.
  sqlite3_busy_timeout(m_db, 5000);
}

SqliteDb::~SqliteDb() {
  // close_v2 defers the close until the last statement is finalized, so the
  // order in which owners go away does not matter.
  if (!m_db) return;
  sqlite3_wal_hook(m_db, nullptr, nullptr);
  sqlite3_close_v2(m_db);
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_walHook(std::move(other.m_walHook)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
  if (this != &other) {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = std::exchange(other.m_db, nullptr);
    m_walHook = std::move(other.m_walHook);
  }
  return *this;
}

void SqliteDb::SetWalHook(std::function<void(int pages)> hook) {
  m_walHook = std::make_unique<std::function<void(int)>>(std::move(hook));
  sqlite3_wal_hook(
      m_db,
      [](void* arg, sqlite3*, const char*, int pages) {
        try {
          (*static_cast<std::function<void(int)>*>(arg))(pages);
        } catch (...) {
          // The commit is done; nothing of the hook may unwind into SQLite.
        }
        return SQLITE_OK;
      },
      m_walHook.get());
}

void SqliteDb::Exec(std::string_view sql) {
  const std::string text(sql);
  const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Throw(m_db, rc);
}

SqliteStatement SqliteDb::Prepare(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                    &stmt, nullptr);
  if (rc != SQLITE_OK) Throw(m_db, rc);
  return SqliteStatement(m_db, stmt);
}

std::int64_t SqliteDb::LastInsertId() const {
  return sqlite3_last_insert_rowid(m_db);
}

std::int64_t SqliteDb::QueryInt(std::string_view sql, std::int64_t fallback) {
  SqliteStatement statement = Prepare(sql);
  return statement.Step() ? statement.Int(0) : fallback;
}

SqliteDb::Transaction::Transaction(SqliteDb& db) : m_db(db) {
  m_db.Exec("BEGIN IMMEDIATE");
}

SqliteDb::Transaction::~Transaction() {
  if (m_done) return;
  try {
    m_db.Exec("ROLLBACK");
  } catch (const SqliteError&) {
    // SQLite has already rolled back when the failing statement ended it.
  }
}

void SqliteDb::Transaction::Commit() {
  m_db.Exec("COMMIT");
  m_done = true;
}

}  // namespace adw::platform
