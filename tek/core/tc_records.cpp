// Product attributes, table records and their data blocks.
#include "tc_internal.h"

#include <cstdlib>
#include <cstring>
#include <new>

using namespace tekcore;

namespace {

// A prepared statement that finalises itself.
struct Statement {
  sqlite3_stmt* st = nullptr;
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) st = nullptr;
  }
  ~Statement() { sqlite3_finalize(st); }
  void bind(int i, const std::string& text) {
    sqlite3_bind_text(st, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void bind(int i, int value) { sqlite3_bind_int(st, i, value); }
  bool row() { return st && sqlite3_step(st) == SQLITE_ROW; }
  std::string text(int col) {
    const unsigned char* t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
  }
};

// Common end of the two attribute reads: the first row's text, or not found.
int answerAttribute(Statement& q, int16_t* count, char* buf, int size) {
  if (q.row()) {
    copyText(reinterpret_cast<const char*>(sqlite3_column_text(q.st, 0)), buf, size);
    *count = 1;
    return 0;
  }
  copyText("", buf, size);
  return -1;
}

tc_record* newRecord(int16_t handle, const OpenDatabase& slot, const std::string& table,
                     const std::string& key) {
  tc_record* r = new (std::nothrow) tc_record;
  if (!r) return nullptr;
  r->handle = handle;
  r->generation = slot.generation;
  r->table = table;
  r->key = key;
  return r;
}

// The data column of a record, stepped to its row; false when the record is gone.
bool stepToData(Statement& q, const tc_record* record) {
  q.bind(1, record->table);
  q.bind(2, record->key);
  return q.row();
}

}  // namespace

extern "C" {

int tc_get_attribute(int16_t handle, const char* cls, const char* product, int number,
                     int16_t* count, char* buf, int size) {
  if (count) *count = 0;
  OpenDatabase* slot = lookup(handle);
  if (!slot || !cls || !product || !count || !buf || size <= 0) return -2;
  if (!slot->attributeNumbers.count(number)) {
    copyText("", buf, size);
    return -3;
  }
  Statement q(slot->db,
              "SELECT value FROM attributes WHERE class = ?1 AND product = ?2 AND number = ?3");
  if (!q.st) return -2;
  q.bind(1, std::string(cls));
  q.bind(2, std::string(product));
  q.bind(3, number);
  return answerAttribute(q, count, buf, size);
}

int tc_get_record_attribute(int16_t handle, const tc_record* record, int number,
                            int16_t* count, char* buf, int size) {
  if (count) *count = 0;
  OpenDatabase* slot = lookup(handle, record);
  if (!slot || !count || !buf || size <= 0) return -2;
  if (!slot->attributeNumbers.count(number)) {
    copyText("", buf, size);
    return -3;
  }
  Statement q(slot->db,
              "SELECT value FROM record_attributes WHERE tab = ?1 AND key = ?2 AND number = ?3");
  if (!q.st) return -2;
  q.bind(1, record->table);
  q.bind(2, record->key);
  q.bind(3, number);
  return answerAttribute(q, count, buf, size);
}

tc_record* tc_find_record(int16_t handle, const char* table, const char* key, int) {
  OpenDatabase* slot = lookup(handle);
  if (!slot || !table || !key || !slot->tables.count(table)) return nullptr;
  Statement q(slot->db, "SELECT key FROM records WHERE tab = ?1 AND key = ?2");
  q.bind(1, std::string(table));
  q.bind(2, std::string(key));
  if (!q.row()) return nullptr;
  return newRecord(handle, *slot, table, key);
}

tc_record* tc_first_record(int16_t handle, const char* table) {
  OpenDatabase* slot = lookup(handle);
  if (!slot || !table || !slot->tables.count(table)) return nullptr;
  Statement q(slot->db, "SELECT key FROM records WHERE tab = ?1 ORDER BY key LIMIT 1");
  q.bind(1, std::string(table));
  if (!q.row()) return nullptr;
  return newRecord(handle, *slot, table, q.text(0));
}

tc_record* tc_next_record(int16_t handle, const tc_record* record) {
  OpenDatabase* slot = lookup(handle, record);
  if (!slot) return nullptr;
  Statement q(slot->db,
              "SELECT key FROM records WHERE tab = ?1 AND key > ?2 ORDER BY key LIMIT 1");
  q.bind(1, record->table);
  q.bind(2, record->key);
  if (!q.row()) return nullptr;
  return newRecord(handle, *slot, record->table, q.text(0));
}

int tc_get_record_key(int16_t handle, const tc_record* record, int, char* buf) {
  if (!buf) return -1;
  if (!lookup(handle, record)) {
    buf[0] = '\0';
    return -1;
  }
  copyText(record->key.c_str(), buf, TC_KEY_SIZE);
  return 0;
}

void tc_release_record(tc_record* record) { delete record; }

long tc_get_data_size(int16_t handle, const tc_record* record) {
  OpenDatabase* slot = lookup(handle, record);
  if (!slot) return -1;
  Statement q(slot->db, "SELECT data FROM records WHERE tab = ?1 AND key = ?2");
  if (!stepToData(q, record) || sqlite3_column_type(q.st, 0) == SQLITE_NULL) return -1;
  return sqlite3_column_bytes(q.st, 0);
}

void* tc_load_data(int16_t handle, const tc_record* record, long* size) {
  OpenDatabase* slot = lookup(handle, record);
  if (!slot) return nullptr;
  Statement q(slot->db, "SELECT data FROM records WHERE tab = ?1 AND key = ?2");
  // A zero-length block reads back as a null pointer, like SQL NULL: the type tells them apart.
  if (!stepToData(q, record) || sqlite3_column_type(q.st, 0) == SQLITE_NULL) return nullptr;
  const void* blob = sqlite3_column_blob(q.st, 0);
  int bytes = sqlite3_column_bytes(q.st, 0);
  if (bytes < 0 || (bytes > 0 && !blob)) return nullptr;
  char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(bytes) + 1));
  if (!copy) return nullptr;
  if (bytes > 0) std::memcpy(copy, blob, static_cast<size_t>(bytes));
  copy[bytes] = '\0';
  if (size) *size = bytes;
  return copy;
}

void tc_free_data(void* data) { std::free(data); }

}  // extern "C"
