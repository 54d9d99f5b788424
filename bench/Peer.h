// The peer: SQLite in WAL mode with synchronous=FULL, one table of integer
// settings by key. An update is its own transaction; a read is a prepared
// point query.
#pragma once

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace sysdata_bench {

class SqlitePeer {
 public:
  // Creates the database at path holding keys, each with value 0.
  SqlitePeer(const std::string& path, const std::vector<std::string>& keys);
  ~SqlitePeer();
  SqlitePeer(const SqlitePeer&) = delete;
  SqlitePeer& operator=(const SqlitePeer&) = delete;

  void update(const std::string& key, int value);
  int read(const std::string& key);

 private:
  void exec(const char* sql);

  sqlite3* db_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* select_ = nullptr;
};

}  // namespace sysdata_bench
