#include "du_product.h"
#include <sqlite3.h>

namespace {
const int kSerieName = 1501;
const int kSerieSizes = 1502;

// One text column of the first row, or false.
bool queryText(sqlite3* db, const char* sql, const std::string& key, int number, std::string& out) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(st, 1, key.c_str(), int(key.size()), SQLITE_TRANSIENT);
  if (number) sqlite3_bind_int(st, 2, number);
  bool found = sqlite3_step(st) == SQLITE_ROW;
  if (found) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    out = t ? reinterpret_cast<const char*>(t) : "";
  }
  sqlite3_finalize(st);
  return found;
}

std::string trimEnd(std::string t) {
  while (!t.empty() && (t.back() == ' ' || t.back() == '\n' || t.back() == '\r')) t.pop_back();
  return t;
}
}  // namespace

int du_read_product_serie(const std::string& file, const std::string& serieId, DuSerie& serie,
                          std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    error = "The product database " + file + " cannot be opened.";
    return -1;
  }
  std::string format, name, sizes;
  int rc = 0;
  if (!queryText(db, "SELECT value FROM meta WHERE name = ?1", "format", 0, format) ||
      format != "tek-database 1") {
    error = "The file " + file + " is not a product database.";
    rc = -1;
  } else if (!queryText(db, "SELECT key FROM records WHERE tab = 'MAS' AND key = ?1", serieId, 0, name)) {
    error = "The product database " + file + " has no duct serie \"" + serieId + "\".";
    rc = -1;
  } else {
    name.clear();
    queryText(db, "SELECT value FROM record_attributes WHERE tab = 'MAS' AND key = ?1 AND number = ?2",
              serieId, kSerieName, name);
    queryText(db, "SELECT value FROM record_attributes WHERE tab = 'MAS' AND key = ?1 AND number = ?2",
              serieId, kSerieSizes, sizes);
    serie = DuSerie();
    serie.id = serieId;
    serie.name = trimEnd(name).empty() ? serieId : trimEnd(name);
    size_t pos = 0;
    while (pos < sizes.size()) {
      size_t end = sizes.find(';', pos);
      if (end == std::string::npos) end = sizes.size();
      std::string size = trimEnd(sizes.substr(pos, end - pos));
      while (!size.empty() && size.front() == ' ') size.erase(0, 1);
      if (!size.empty()) serie.sizes.push_back(size);
      pos = end + 1;
    }
  }
  sqlite3_close(db);
  return rc;
}
