// The content hash of a model database or a model dictionary: 64-bit FNV-1a over every row
// of the file's data tables in key order, each value with its type and length. The file's
// meta row "content_hash" (16 hexadecimal digits) carries it, so damage inside stored
// values, which SQLite's own checks do not see, is found when the file is opened. Shared
// with the catalogue builder.
#pragma once
#include <cstdint>
#include <cstdio>
#include <sqlite3.h>
#include <string>

namespace tekcore {

enum class ContentKind { kDictionary, kDatabase };

inline void hashBytes(uint64_t& h, const void* data, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ULL;
  }
}

// The hash as 16 hexadecimal digits, or "" when the tables cannot be read.
inline std::string contentHash(sqlite3* db, ContentKind kind) {
  static const char* const kDatabaseQueries[] = {
      "SELECT class, product, number, value FROM attributes ORDER BY class, product, number",
      "SELECT tab, key, data FROM records ORDER BY tab, key",
      "SELECT tab, key, number, value FROM record_attributes ORDER BY tab, key, number", nullptr};
  static const char* const kDictionaryQueries[] = {
      "SELECT number, name, description FROM attribute_names ORDER BY number",
      "SELECT tab, description FROM table_names ORDER BY tab", nullptr};
  uint64_t h = 1469598103934665603ULL;
  for (const char* const* sql = kind == ContentKind::kDatabase ? kDatabaseQueries : kDictionaryQueries;
       *sql; ++sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, *sql, -1, &st, nullptr) != SQLITE_OK) return "";
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        unsigned char type = static_cast<unsigned char>(sqlite3_column_type(st, c));
        const void* bytes = type == SQLITE_BLOB ? sqlite3_column_blob(st, c)
                                                : static_cast<const void*>(sqlite3_column_text(st, c));
        uint64_t n = bytes ? static_cast<uint64_t>(sqlite3_column_bytes(st, c)) : 0;
        hashBytes(h, &type, 1);
        hashBytes(h, &n, sizeof n);
        if (n) hashBytes(h, bytes, static_cast<size_t>(n));
      }
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return "";
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

// Stores the file's content hash in its meta table (the catalogue builder, test files):
// false when the tables cannot be read or the row cannot be written.
inline bool writeContentHash(sqlite3* db, ContentKind kind) {
  const std::string hash = contentHash(db, kind);
  if (hash.empty()) return false;
  const std::string sql = "INSERT OR REPLACE INTO meta VALUES('content_hash', '" + hash + "')";
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace tekcore
