#include "bench/Peer.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace sysdata_bench {

namespace {

void check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "sqlite %s: %s\n", what, db != nullptr ? sqlite3_errmsg(db) : "?");
  std::abort();
}

}  // namespace

SqlitePeer::SqlitePeer(const std::string& path, const std::vector<std::string>& keys) {
  check(sqlite3_open(path.c_str(), &db_), db_, "open");
  exec("PRAGMA journal_mode=WAL");
  exec("PRAGMA synchronous=FULL");
  exec("CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value INTEGER NOT NULL)");
  exec("BEGIN");
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO settings(key, value) VALUES(?, 0)", -1, &insert, nullptr),
        db_, "prepare insert");
  for (const std::string& key : keys) {
    sqlite3_bind_text(insert, 1, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    check(sqlite3_step(insert), db_, "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  exec("COMMIT");
  check(sqlite3_prepare_v2(db_, "UPDATE settings SET value = ? WHERE key = ?", -1, &update_, nullptr), db_,
        "prepare update");
  check(sqlite3_prepare_v2(db_, "SELECT value FROM settings WHERE key = ?", -1, &select_, nullptr), db_,
        "prepare select");
}

SqlitePeer::~SqlitePeer() {
  sqlite3_finalize(update_);
  sqlite3_finalize(select_);
  sqlite3_close(db_);
}

void SqlitePeer::exec(const char* sql) { check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), db_, sql); }

void SqlitePeer::update(const std::string& key, int value) {
  sqlite3_bind_int(update_, 1, value);
  sqlite3_bind_text(update_, 2, key.c_str(), static_cast<int>(key.size()), SQLITE_STATIC);
  check(sqlite3_step(update_), db_, "update");
  sqlite3_reset(update_);
}

int SqlitePeer::read(const std::string& key) {
  sqlite3_bind_text(select_, 1, key.c_str(), static_cast<int>(key.size()), SQLITE_STATIC);
  int value = 0;
  if (sqlite3_step(select_) == SQLITE_ROW) value = sqlite3_column_int(select_, 0);
  sqlite3_reset(select_);
  return value;
}

}  // namespace sysdata_bench
