// Opening a model database with its model dictionary on raw bytes, and reading what
// opens as the system does (attributes of products, records of the model tables and their
// data blocks): refused or read, never a crash or an overrun; every call is bounded by
// tekcore's own time limits. Input: a 4-byte little-endian length N, the dictionary's N
// bytes, then the database's bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_files.h"
#include "tekcore.h"

namespace {
const int kAttributes[] = {1501, 1502, 1507, 1525, 9552, 1530, 1550};
const int kMostRecords = 64;

void readTable(int16_t db, const char* table) {
  char key[TC_KEY_SIZE], text[256];
  int16_t count = 0;
  tc_begin_scan(db);
  tc_record* record = tc_first_record(db, table);
  for (int n = 0; record && n < kMostRecords; ++n) {
    tc_get_record_key(db, record, 0, key);
    for (int number : kAttributes) {
      tc_get_record_attribute(db, record, number, &count, text, sizeof text);
      tc_get_attribute(db, "OTP", key, number, &count, text, sizeof text);
    }
    tc_get_data_size(db, record);
    long size = 0;
    tc_free_data(tc_load_data(db, record, &size));
    tc_release_record(tc_find_record(db, table, key, 0));
    tc_record* next = tc_next_record(db, record);
    tc_release_record(record);
    record = next;
  }
  tc_release_record(record);
  tc_end_scan(db);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t n = 0;
  if (size >= 4) std::memcpy(&n, data, 4);
  const size_t rest = size >= 4 ? size - 4 : 0;
  if (n > rest) n = (uint32_t)rest;
  const std::string dictionary = fuzzfiles::write("Duratcd.dd", data + (size - rest), n);
  const std::string database = fuzzfiles::write("model.tcd", data + (size - rest) + n, rest - n);
  int16_t db = tc_open_database(dictionary.c_str(), database.c_str(), 0);
  if (db < 0) return 0;
  readTable(db, "TSD");
  readTable(db, "MAS");
  tc_close_database(db);
  return 0;
}
