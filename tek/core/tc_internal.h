// Inside tekcore: the table of open databases shared by its source files.
#pragma once
#include "tekcore.h"

#include <set>
#include <sqlite3.h>
#include <string>

struct tc_record {
  int16_t handle;
  uint32_t generation;  // of the database slot when the record was found
  std::string table;
  std::string key;
};

namespace tekcore {

struct OpenDatabase {
  sqlite3* db = nullptr;
  uint32_t generation = 0;
  int scanDepth = 0;
  std::set<int> attributeNumbers;  // named by the dictionary
  std::set<std::string> tables;
};

// The open database behind a handle, or null; starts the time budget of the caller's
// statements (a statement past it is interrupted and fails). For a record, also checks that the record
// was found in this very database (not one closed since whose handle was given out again).
OpenDatabase* lookup(int16_t handle);
OpenDatabase* lookup(int16_t handle, const tc_record* record);

// Copies text into buf (size bytes), zero-terminated, cut at a UTF-8 character boundary.
void copyText(const char* text, char* buf, int size);

}  // namespace tekcore
