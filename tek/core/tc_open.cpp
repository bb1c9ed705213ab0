// Opening and closing product databases: checks of both files and the handle table.
#include "tc_internal.h"
#include "tc_hash.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <mutex>

namespace tekcore {
namespace {

OpenDatabase g_slots[TC_MAX_DATABASES];
bool g_used[TC_MAX_DATABASES];
uint32_t g_nextGeneration = 1;
std::mutex g_mutex;

// The tables a file of each kind holds, each with its columns in order. Nothing else may
// stand in the file's schema but indexes of these tables: a view or a trigger would run
// code of the file's own at the first query, and the file comes from a server.
struct TableShape {
  const char* name;
  const char* columns[5];  // null-terminated
};
const TableShape kDictionaryTables[] = {
    {"meta", {"name", "value", nullptr}},
    {"attribute_names", {"number", "name", "description", nullptr}},
    {"table_names", {"tab", "description", nullptr}},
};
const TableShape kDatabaseTables[] = {
    {"meta", {"name", "value", nullptr}},
    {"attributes", {"class", "product", "number", "value", nullptr}},
    {"records", {"tab", "key", "data", nullptr}},
    {"record_attributes", {"tab", "key", "number", "value", nullptr}},
};

struct FileKind {
  const char* format;
  const TableShape* tables;
  size_t tableCount;
  ContentKind content;
};
const FileKind kDictionaryKind = {"tek-dictionary 1", kDictionaryTables,
                                  sizeof kDictionaryTables / sizeof kDictionaryTables[0],
                                  ContentKind::kDictionary};
const FileKind kDatabaseKind = {"tek-database 1", kDatabaseTables,
                                sizeof kDatabaseTables / sizeof kDatabaseTables[0],
                                ContentKind::kDatabase};

// Time one call into the library may spend in SQLite: opening checks every page and hashes
// every row; a lookup reads a few rows. A statement past its time is interrupted and fails.
const std::chrono::seconds kOpenTimeLimit(120);
const std::chrono::seconds kStatementTimeLimit(20);
// SQLite virtual-machine steps between two looks at the clock.
const int kProgressSteps = 10000;

thread_local std::chrono::steady_clock::time_point g_deadline;

int pastDeadline(void*) { return std::chrono::steady_clock::now() > g_deadline ? 1 : 0; }

void startBudget(std::chrono::seconds limit) { g_deadline = std::chrono::steady_clock::now() + limit; }

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

std::string columnText(sqlite3_stmt* st, int column) {
  const unsigned char* text = sqlite3_column_text(st, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

const TableShape* findTable(const FileKind& kind, const std::string& name) {
  for (size_t t = 0; t < kind.tableCount; ++t)
    if (name == kind.tables[t].name) return &kind.tables[t];
  return nullptr;
}

// The table's columns are exactly the expected ones, in order, none hidden or generated.
bool hasColumns(sqlite3* db, const TableShape& table) {
  sqlite3_stmt* st = nullptr;
  const std::string sql = std::string("PRAGMA table_xinfo(\"") + table.name + "\")";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  bool ok = true;
  int n = 0;
  int rc;
  while (ok && (rc = sqlite3_step(st)) == SQLITE_ROW) {
    // Columns of table_xinfo: cid, name, type, notnull, dflt_value, pk, hidden.
    ok = table.columns[n] && columnText(st, 1) == table.columns[n] && sqlite3_column_int(st, 6) == 0;
    ++n;
  }
  if (ok && (rc != SQLITE_DONE || table.columns[n])) ok = false;
  sqlite3_finalize(st);
  return ok;
}

// The schema holds the kind's plain tables, each once with its columns, and indexes of
// them; nothing else (no view, trigger, virtual or other table).
bool hasExpectedSchema(sqlite3* db, const FileKind& kind) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema", -1, &st,
                         nullptr) != SQLITE_OK)
    return false;
  std::set<std::string> seen;
  bool ok = true;
  int rc;
  while (ok && (rc = sqlite3_step(st)) == SQLITE_ROW) {
    const std::string type = columnText(st, 0), name = columnText(st, 1), owner = columnText(st, 2);
    if (type == "table")
      ok = findTable(kind, name) && columnText(st, 3).rfind("CREATE TABLE", 0) == 0 &&
           seen.insert(name).second;
    else
      ok = type == "index" && findTable(kind, owner);
  }
  if (ok && rc != SQLITE_DONE) ok = false;
  sqlite3_finalize(st);
  if (!ok || seen.size() != kind.tableCount) return false;
  for (size_t t = 0; t < kind.tableCount; ++t)
    if (!hasColumns(db, kind.tables[t])) return false;
  return true;
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

// The path as an SQLite file address that opens the file read-only and immutable: SQLite
// then neither locks it nor makes journal, WAL or shared-memory files beside it.
std::string immutableUri(const char* path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char* p = path; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (std::isalnum(c) || std::strchr("/-_.~", c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?immutable=1";
}

// Opens a file read-only and checks it is an undamaged file of the given kind: schema
// first (before any query reads the tables), then SQLite's page checks, format, stamp and
// content hash. Returns the connection and its stamp, or null.
sqlite3* openChecked(const char* path, const FileKind& kind, std::string& stamp) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(immutableUri(path).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_progress_handler(db, kProgressSteps, pastDeadline, nullptr);
  std::string fileFormat, hash;
  if (!hasExpectedSchema(db, kind) || !passesQuickCheck(db) ||
      !queryText(db, "SELECT value FROM meta WHERE name = 'format'", fileFormat) ||
      fileFormat != kind.format ||
      !queryText(db, "SELECT value FROM meta WHERE name = 'stamp'", stamp) || stamp.empty() ||
      !queryText(db, "SELECT value FROM meta WHERE name = 'content_hash'", hash) ||
      contentHash(db, kind.content) != hash) {
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
  // Every call that reads a database looks its handle up first: its statements start here.
  startBudget(kStatementTimeLimit);
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
  startBudget(kOpenTimeLimit);
  sqlite3* dict = openChecked(dictionary, kDictionaryKind, dictStamp);
  if (!dict) return TC_ERR_DICTIONARY;
  OpenDatabase fresh;
  bool dictOk = readDictionary(dict, fresh);
  sqlite3_close(dict);
  if (!dictOk) return TC_ERR_DICTIONARY;
  sqlite3* db = openChecked(database, kDatabaseKind, dbStamp);
  if (!db) return TC_ERR_DATABASE;
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
