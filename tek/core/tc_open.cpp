// Opening and closing product databases: checks of both files and the handle table.
#include "tc_internal.h"
#include "tc_hash.h"

#include <cstring>
#include <mutex>

namespace tekcore {
namespace {

OpenDatabase g_slots[TC_MAX_DATABASES];
bool g_used[TC_MAX_DATABASES];
uint32_t g_nextGeneration = 1;
std::mutex g_mutex;

const char* const kDictionaryFormat = "tek-dictionary 1";
const char* const kDatabaseFormat = "tek-database 1";

// One text value of a query without parameters; false when the query fails or has no row.
bool queryText(sqlite3* db, const char* sql, std::string& out) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
  bool ok = false;
  if (sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(st, 0);
    out = text ? reinterpret_cast<const char*>(text) : "";
    ok = true;
  }
  sqlite3_finalize(st);
  return ok;
}

// A damaged file answers quick_check with anything but a single "ok", or fails it.
bool passesQuickCheck(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr) != SQLITE_OK) return false;
  int rows = 0;
  bool ok = true;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(st, 0);
    if (++rows > 1 || !text || std::string(reinterpret_cast<const char*>(text)) != "ok") ok = false;
  }
  if (rc != SQLITE_DONE || rows != 1) ok = false;
  sqlite3_finalize(st);
  return ok;
}

// Opens a file read-only and checks it is an undamaged file of the given format.
// Returns the connection and its stamp, or null.
sqlite3* openChecked(const char* path, const char* format, std::string& stamp) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  std::string fileFormat;
  if (!passesQuickCheck(db) ||
      !queryText(db, "SELECT value FROM meta WHERE name = 'format'", fileFormat) ||
      fileFormat != format ||
      !queryText(db, "SELECT value FROM meta WHERE name = 'stamp'", stamp) || stamp.empty()) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

bool readDictionary(sqlite3* dict, OpenDatabase& slot) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(dict, "SELECT number FROM attribute_names", -1, &st, nullptr) != SQLITE_OK)
    return false;
  while (sqlite3_step(st) == SQLITE_ROW) slot.attributeNumbers.insert(sqlite3_column_int(st, 0));
  sqlite3_finalize(st);
  if (sqlite3_prepare_v2(dict, "SELECT tab FROM table_names", -1, &st, nullptr) != SQLITE_OK)
    return false;
  while (sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(st, 0);
    if (text) slot.tables.insert(reinterpret_cast<const char*>(text));
  }
  sqlite3_finalize(st);
  return true;
}

}  // namespace

OpenDatabase* lookup(int16_t handle) {
  if (handle < 0 || handle >= TC_MAX_DATABASES) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_used[handle] ? &g_slots[handle] : nullptr;
}

OpenDatabase* lookup(int16_t handle, const tc_record* record) {
  if (!record || record->handle != handle) return nullptr;
  OpenDatabase* slot = lookup(handle);
  return (slot && slot->generation == record->generation) ? slot : nullptr;
}

void copyText(const char* text, char* buf, int size) {
  if (!buf || size <= 0) return;
  if (!text) text = "";
  size_t n = 0;
  size_t limit = static_cast<size_t>(size) - 1;
  while (n < limit && text[n]) ++n;
  if (text[n]) {
    // Cut: step back over continuation bytes so no character is left half.
    size_t cut = n;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    n = cut;
  }
  std::memcpy(buf, text, n);
  buf[n] = '\0';
}

}  // namespace tekcore

using namespace tekcore;

extern "C" int16_t tc_open_database(const char* dictionary, const char* database, int) {
  if (!dictionary || !*dictionary || !database || !*database) return TC_ERR_ARGUMENT;
  std::string dictStamp, dbStamp;
  sqlite3* dict = openChecked(dictionary, kDictionaryFormat, dictStamp);
  if (!dict) return TC_ERR_DICTIONARY;
  OpenDatabase fresh;
  bool dictOk = readDictionary(dict, fresh);
  sqlite3_close(dict);
  if (!dictOk) return TC_ERR_DICTIONARY;
  sqlite3* db = openChecked(database, kDatabaseFormat, dbStamp);
  if (!db) return TC_ERR_DATABASE;
  // A database that carries its content hash must still match it.
  std::string expected;
  if (queryText(db, "SELECT value FROM meta WHERE name = 'content_hash'", expected) &&
      contentHash(db) != expected) {
    sqlite3_close(db);
    return TC_ERR_DATABASE;
  }
  if (dictStamp != dbStamp) {
    sqlite3_close(db);
    return TC_ERR_STAMP;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  for (int16_t h = 0; h < TC_MAX_DATABASES; ++h) {
    if (g_used[h]) continue;
    fresh.db = db;
    fresh.generation = g_nextGeneration++;
    g_slots[h] = std::move(fresh);
    g_used[h] = true;
    return h;
  }
  sqlite3_close(db);
  return TC_ERR_FULL;
}

extern "C" int tc_close_database(int16_t handle) {
  if (handle < 0 || handle >= TC_MAX_DATABASES) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_used[handle]) return -1;
  OpenDatabase& slot = g_slots[handle];
  if (slot.scanDepth > 0) sqlite3_exec(slot.db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(slot.db);
  slot = OpenDatabase();
  g_used[handle] = false;
  return 0;
}

extern "C" int tc_begin_scan(int16_t handle) {
  OpenDatabase* slot = lookup(handle);
  if (!slot) return -1;
  if (slot->scanDepth == 0 &&
      sqlite3_exec(slot->db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    return -1;
  ++slot->scanDepth;
  return 0;
}

extern "C" int tc_end_scan(int16_t handle) {
  OpenDatabase* slot = lookup(handle);
  if (!slot || slot->scanDepth <= 0) return -1;
  if (--slot->scanDepth == 0) sqlite3_exec(slot->db, "COMMIT", nullptr, nullptr, nullptr);
  return 0;
}
