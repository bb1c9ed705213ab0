// tekcore: read access to a product database (a model database with its model dictionary).
//
// Both files are SQLite databases, opened read-only and immutable (no journal, WAL or
// shared-memory file is made beside them).
// Model database:
//   meta(name TEXT PRIMARY KEY, value TEXT)          "format" = "tek-database 1", "stamp",
//                                                     "content_hash" (tc_hash.h)
//   attributes(class, product, number, value)         product attributes, e.g. ("OTP", id, 1501)
//   records(tab, key, data BLOB)                      table records with their data blocks
//   record_attributes(tab, key, number, value)        attributes of a table record
// Model dictionary:
//   meta(name, value)                                 "format" = "tek-dictionary 1", "stamp",
//                                                     "content_hash" (tc_hash.h)
//   attribute_names(number INTEGER PRIMARY KEY, name TEXT, description TEXT)
//   table_names(tab TEXT PRIMARY KEY, description TEXT)
// A file opens only when its schema is exactly these tables with these columns (indexes
// of them allowed; no view, trigger or other table), it passes SQLite's quick_check, and
// its content matches its content hash. The two belong together when their stamps are
// equal. Only attribute numbers and tables that the dictionary names can be read. Keys are
// compared byte by byte ("key order"). Every call is bounded in time: opening by two
// minutes, any other call by twenty seconds, after which its statement fails.
//
// Texts are narrow and zero-terminated. A database is named by a 16-bit handle (negative:
// not open). Records are opaque; each one found must be released with tc_release_record.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tc_record tc_record;

// Room for a record key: 30 characters and the terminating zero.
#define TC_KEY_SIZE 31
// Number of databases open at the same time.
#define TC_MAX_DATABASES 16

enum {
  TC_ERR_ARGUMENT = -1,      // a path missing, or no free handle
  TC_ERR_DICTIONARY = -2,    // dictionary missing, not a database, damaged, of another format
                             // or schema, or past its time
  TC_ERR_DATABASE = -3,      // model database: as TC_ERR_DICTIONARY
  TC_ERR_STAMP = -4,         // the two files do not belong together
  TC_ERR_FULL = -5           // TC_MAX_DATABASES already open
};

// Opens a model database with its dictionary (flags: pass 0). A handle >= 0, or one of
// the negative TC_ERR_ codes when the pair is unusable.
int16_t tc_open_database(const char* dictionary, const char* database, int flags);
// Closes the database; its handle may be given out again. 0, or -1 for a handle not open.
// Records of this database must be released before.
int tc_close_database(int16_t handle);

// Attribute `number` of product (cls, product) into buf, zero-terminated within size (a
// longer text is cut at a character boundary). count = 1 when found, 0 otherwise.
// 0 found; -1 not found (buf = ""); -2 bad handle or arguments; -3 number not in the dictionary.
int tc_get_attribute(int16_t handle, const char* cls, const char* product, int number,
                     int16_t* count, char* buf, int size);

// The record `key` of `table`, or null. flags: pass 0.
tc_record* tc_find_record(int16_t handle, const char* table, const char* key, int flags);
// The first record of the table in key order, or null (empty table, unknown table).
tc_record* tc_first_record(int16_t handle, const char* table);
// The record after `record` in key order, or null at the end. `record` stays valid; the
// caller releases it.
tc_record* tc_next_record(int16_t handle, const tc_record* record);
// The record's key into buf (TC_KEY_SIZE bytes; a longer key is cut). flags: pass 0.
// 0, or -1 (bad arguments).
int tc_get_record_key(int16_t handle, const tc_record* record, int flags, char* buf);
// As tc_get_attribute, for an attribute of the record.
int tc_get_record_attribute(int16_t handle, const tc_record* record, int number,
                            int16_t* count, char* buf, int size);
// Releases a record (null is ignored).
void tc_release_record(tc_record* record);

// Bracket a scan over a table: the scan reads one consistent state of the file.
// 0, or -1 for a handle not open. Scans nest; each begin needs its end.
int tc_begin_scan(int16_t handle);
int tc_end_scan(int16_t handle);

// Size in bytes of the record's data block; 0 for an empty block, -1 when the record has
// no data block or on error.
long tc_get_data_size(int16_t handle, const tc_record* record);
// The record's data block in a new allocation (followed by one zero byte not counted in
// the size), its size in *size. Null when there is no data block or on error. An empty
// block gives a non-null pointer and size 0. Release with tc_free_data.
void* tc_load_data(int16_t handle, const tc_record* record, long* size);
void tc_free_data(void* data);

#ifdef __cplusplus
}
#endif
