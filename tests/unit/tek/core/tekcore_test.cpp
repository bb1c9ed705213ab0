// Guards the product database: unusable file pairs must fail to open (damaged, of another
// schema, or built to hang the first query), reads stay within buffers, scans run in key
// order, and opening leaves no file beside the database.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

#include "tc_hash.h"
#include "tekcore.h"
#include "test_temp.h"

namespace {

const std::string kDict = std::string(TEK_CATALOG_DIR) + "/Duratcd.ddt";
const std::string kDb = std::string(TEK_CATALOG_DIR) + "/Ventholm_14a.tcd";

class TempDir {
 public:
  TempDir() {
    std::string tmpl = testTempRoot() + "/tekcore-XXXXXX";
    path_ = mkdtemp(tmpl.data());
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void run(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
}

// A small pair of files in the library's format, with the given stamps.
void makePair(const std::string& dict, const std::string& data, const std::string& dictStamp,
              const std::string& dbStamp) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dict.c_str(), &db), SQLITE_OK);
  run(db,
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT);"
      "CREATE TABLE attribute_names(number INTEGER PRIMARY KEY, name TEXT, description TEXT);"
      "CREATE TABLE table_names(tab TEXT PRIMARY KEY, description TEXT);"
      "INSERT INTO meta VALUES('format', 'tek-dictionary 1');"
      "INSERT INTO meta VALUES('stamp', '" + dictStamp + "');"
      "INSERT INTO attribute_names VALUES(1501, 'AID_NAME', 'name');"
      "INSERT INTO attribute_names VALUES(9552, 'AID_DESCRIPTIONGBR', 'description');"
      "INSERT INTO table_names VALUES('T', 'test');");
  ASSERT_TRUE(tekcore::writeContentHash(db, tekcore::ContentKind::kDictionary));
  sqlite3_close(db);
  ASSERT_EQ(sqlite3_open(data.c_str(), &db), SQLITE_OK);
  run(db,
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT);"
      "CREATE TABLE attributes(class TEXT, product TEXT, number INTEGER, value TEXT);"
      "CREATE TABLE records(tab TEXT, key TEXT, data BLOB, PRIMARY KEY(tab, key));"
      "CREATE TABLE record_attributes(tab TEXT, key TEXT, number INTEGER, value TEXT);"
      "INSERT INTO meta VALUES('format', 'tek-database 1');"
      "INSERT INTO meta VALUES('stamp', '" + dbStamp + "');"
      "INSERT INTO attributes VALUES('OTP', 'X', 9552, 'Kühlgerät ÄÖÜ');"
      "INSERT INTO attributes VALUES('OTP', 'X', 1507, 'not in the dictionary');"
      "INSERT INTO records VALUES('T', 'empty', X'');"
      "INSERT INTO records VALUES('T', 'none', NULL);"
      "INSERT INTO records VALUES('T', 'a-key-of-exactly-thirty-five-chars', X'414243');"
      "INSERT INTO records VALUES('U', 'other', X'00');");
  ASSERT_TRUE(tekcore::writeContentHash(db, tekcore::ContentKind::kDatabase));
  sqlite3_close(db);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A copy of the sample database changed by the SQL, opened with the sample dictionary.
int16_t openChanged(const TempDir& dir, const std::string& sql) {
  const std::string copy = dir.file("changed.tcd");
  std::filesystem::copy_file(kDb, copy, std::filesystem::copy_options::overwrite_existing);
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
  run(db, sql);
  sqlite3_close(db);
  int16_t h = tc_open_database(kDict.c_str(), copy.c_str(), 0);
  if (h >= 0) tc_close_database(h);
  return h;
}

}  // namespace

// The model database arrives over plain HTTP: its schema is refused before any query
// reads it, so a view built to run forever never runs.
TEST(TcOpen, AnythingButTheFormatsPlainTablesIsRefused) {
  TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(openChanged(dir, "ALTER TABLE meta RENAME TO old_meta;"
                             "CREATE VIEW meta(name, value) AS WITH RECURSIVE r(n) AS "
                             "(SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT 'format', n FROM r;"),
            TC_ERR_DATABASE);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // Only the meta table: nothing to read, so no model could ever be found.
  EXPECT_EQ(openChanged(dir, "DROP TABLE attributes; DROP TABLE records; DROP TABLE record_attributes;"),
            TC_ERR_DATABASE);
  EXPECT_EQ(openChanged(dir, "CREATE TRIGGER t AFTER INSERT ON records BEGIN DELETE FROM meta; END;"),
            TC_ERR_DATABASE);
  EXPECT_EQ(openChanged(dir, "ALTER TABLE records ADD COLUMN extra TEXT;"), TC_ERR_DATABASE);
  EXPECT_EQ(openChanged(dir, "ALTER TABLE records RENAME COLUMN data TO blob;"), TC_ERR_DATABASE);
  EXPECT_EQ(openChanged(dir, "CREATE TABLE spare(x);"), TC_ERR_DATABASE);
  EXPECT_EQ(openChanged(dir, "DELETE FROM meta WHERE name = 'content_hash';"), TC_ERR_DATABASE);
  // An index of its own tables is no harm.
  EXPECT_GE(openChanged(dir, "CREATE INDEX by_value ON attributes(value);"), 0);
}

// A value changed in place in the dictionary (here a table name, in the row and its index
// alike, so SQLite's checks pass) is found by the dictionary's content hash.
TEST(TcOpen, ChangedDictionaryContentFails) {
  TempDir dir;
  std::string bytes = readAll(kDict);
  size_t changed = 0;
  for (size_t at = bytes.find("MAS"); at != std::string::npos; at = bytes.find("MAS", at + 1), ++changed)
    bytes[at + 2] = 'Z';
  ASSERT_GT(changed, 0u);
  std::ofstream(dir.file("dict"), std::ios::binary) << bytes;
  EXPECT_EQ(tc_open_database(dir.file("dict").c_str(), kDb.c_str(), 0), TC_ERR_DICTIONARY);
}

// Opening, reading and closing a database whose file is in WAL mode makes no WAL or
// shared-memory file beside it, which would stay in the temporary folder.
TEST(TcOpen, LeavesNoFileBesideTheDatabase) {
  TempDir dir;
  const std::string copy = dir.file("wal.tcd");
  std::filesystem::copy_file(kDb, copy);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
  run(db, "PRAGMA journal_mode=WAL;");
  sqlite3_close(db);
  ASSERT_FALSE(std::filesystem::exists(copy + "-wal"));
  int16_t h = tc_open_database(kDict.c_str(), copy.c_str(), 0);
  ASSERT_GE(h, 0);
  int16_t count = 0;
  char buf[64];
  EXPECT_EQ(tc_get_attribute(h, "OTP", "VH-CX-1200", 1525, &count, buf, sizeof buf), 0);
  for (const char* suffix : {"-wal", "-shm", "-journal"})
    EXPECT_FALSE(std::filesystem::exists(copy + suffix)) << suffix;
  tc_close_database(h);
}

TEST(TcOpen, UnusablePairsFail) {
  TempDir dir;
  EXPECT_LT(tc_open_database(dir.file("missing").c_str(), kDb.c_str(), 0), 0);
  EXPECT_LT(tc_open_database(kDict.c_str(), dir.file("missing").c_str(), 0), 0);
  EXPECT_LT(tc_open_database(nullptr, kDb.c_str(), 0), 0);
  std::ofstream(dir.file("text")) << "this is not a database at all, just some text\n";
  EXPECT_EQ(tc_open_database(kDict.c_str(), dir.file("text").c_str(), 0), TC_ERR_DATABASE);
  EXPECT_EQ(tc_open_database(dir.file("text").c_str(), kDb.c_str(), 0), TC_ERR_DICTIONARY);
  // The two files swapped: each is a database, but not of the expected kind.
  EXPECT_LT(tc_open_database(kDb.c_str(), kDict.c_str(), 0), 0);

  makePair(dir.file("d1"), dir.file("db1"), "S-1", "S-2");
  EXPECT_EQ(tc_open_database(dir.file("d1").c_str(), dir.file("db1").c_str(), 0), TC_ERR_STAMP);
}

TEST(TcOpen, DamagedFilesFail) {
  TempDir dir;
  std::ifstream in(kDb, std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto tryOpen = [&](const std::string& bytes) {
    std::ofstream(dir.file("damaged"), std::ios::binary | std::ios::trunc) << bytes;
    int16_t h = tc_open_database(kDict.c_str(), dir.file("damaged").c_str(), 0);
    if (h >= 0) tc_close_database(h);
    return h;
  };
  ASSERT_GE(tryOpen(all), 0);
  // A stored value changed in place: the file's structure is sound, its content is not.
  std::string changed = all;
  size_t at = changed.find("Aerix");
  ASSERT_NE(at, std::string::npos);
  changed[at] = 'E';
  EXPECT_EQ(tryOpen(changed), TC_ERR_DATABASE);
  // Page headers overwritten.
  std::string broken = all;
  for (size_t page = 4096; page + 16 < broken.size(); page += 4096) broken.replace(page, 16, 16, '\x5a');
  EXPECT_EQ(tryOpen(broken), TC_ERR_DATABASE);
  // A file cut short, as a broken download leaves it.
  EXPECT_EQ(tryOpen(all.substr(0, all.size() / 2)), TC_ERR_DATABASE);
}

TEST(TcOpen, HandlesAreBoundedAndReused) {
  int16_t handles[TC_MAX_DATABASES];
  for (int i = 0; i < TC_MAX_DATABASES; ++i) {
    handles[i] = tc_open_database(kDict.c_str(), kDb.c_str(), 0);
    ASSERT_GE(handles[i], 0);
  }
  EXPECT_EQ(tc_open_database(kDict.c_str(), kDb.c_str(), 0), TC_ERR_FULL);
  tc_record* stale = tc_find_record(handles[3], "TSD", "AHU-CX", 0);
  ASSERT_NE(stale, nullptr);
  EXPECT_EQ(tc_close_database(handles[3]), 0);
  EXPECT_NE(tc_close_database(handles[3]), 0);
  int16_t again = tc_open_database(kDict.c_str(), kDb.c_str(), 0);
  EXPECT_EQ(again, handles[3]);
  // A record found before the close does not reach into the database now on its handle.
  EXPECT_EQ(tc_get_data_size(again, stale), -1);
  tc_release_record(stale);
  for (int i = 0; i < TC_MAX_DATABASES; ++i) tc_close_database(handles[i]);
  EXPECT_NE(tc_close_database(-1), 0);
}

TEST(TcAttribute, TextIsCutWithinTheBuffer) {
  TempDir dir;
  makePair(dir.file("d"), dir.file("db"), "S", "S");
  int16_t h = tc_open_database(dir.file("d").c_str(), dir.file("db").c_str(), 0);
  ASSERT_GE(h, 0);
  int16_t count = -1;
  char buf[64];
  ASSERT_EQ(tc_get_attribute(h, "OTP", "X", 9552, &count, buf, sizeof buf), 0);
  EXPECT_EQ(count, 1);
  EXPECT_STREQ(buf, "Kühlgerät ÄÖÜ");
  // 3 bytes of room: "K" and the two bytes of "ü" fit; a size of 3 keeps only "K".
  char small[8];
  std::memset(small, '#', sizeof small);
  ASSERT_EQ(tc_get_attribute(h, "OTP", "X", 9552, &count, small, 3), 0);
  EXPECT_STREQ(small, "K");
  EXPECT_EQ(small[3], '#');
  ASSERT_EQ(tc_get_attribute(h, "OTP", "X", 9552, &count, small, 4), 0);
  EXPECT_STREQ(small, "Kü");
  EXPECT_EQ(tc_get_attribute(h, "OTP", "Y", 9552, &count, buf, sizeof buf), -1);
  EXPECT_EQ(count, 0);
  EXPECT_STREQ(buf, "");
  // A number the dictionary does not name is not read, though the database has it.
  EXPECT_EQ(tc_get_attribute(h, "OTP", "X", 1507, &count, buf, sizeof buf), -3);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(tc_get_attribute(h, "OTP", "X", 9552, &count, buf, 0), -2);
  EXPECT_EQ(tc_get_attribute(-1, "OTP", "X", 9552, &count, buf, sizeof buf), -2);
  tc_close_database(h);
}

TEST(TcRecord, DataBlocksKeysAndTables) {
  TempDir dir;
  makePair(dir.file("d"), dir.file("db"), "S", "S");
  int16_t h = tc_open_database(dir.file("d").c_str(), dir.file("db").c_str(), 0);
  ASSERT_GE(h, 0);
  EXPECT_EQ(tc_find_record(h, "U", "other", 0), nullptr);  // table not in the dictionary
  EXPECT_EQ(tc_find_record(h, "T", "nothing", 0), nullptr);

  tc_record* empty = tc_find_record(h, "T", "empty", 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(tc_get_data_size(h, empty), 0);
  long size = -5;
  void* data = tc_load_data(h, empty, &size);
  EXPECT_NE(data, nullptr);  // an empty block is still a block
  EXPECT_EQ(size, 0);
  tc_free_data(data);

  tc_record* none = tc_find_record(h, "T", "none", 0);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(tc_get_data_size(h, none), -1);
  EXPECT_EQ(tc_load_data(h, none, &size), nullptr);

  tc_record* first = tc_first_record(h, "T");
  ASSERT_NE(first, nullptr);
  char key[TC_KEY_SIZE + 8];
  std::memset(key, '#', sizeof key);
  ASSERT_EQ(tc_get_record_key(h, first, 0, key), 0);
  EXPECT_EQ(std::strlen(key), 30u);  // cut to the 31-byte buffer
  EXPECT_EQ(key[TC_KEY_SIZE], '#');
  data = tc_load_data(h, first, &size);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, 3);
  EXPECT_STREQ(static_cast<char*>(data), "ABC");
  tc_free_data(data);
  tc_release_record(first);
  tc_release_record(empty);
  tc_release_record(none);
  tc_close_database(h);
}

TEST(TcCatalogue, OpensAndScansInKeyOrder) {
  int16_t h = tc_open_database(kDict.c_str(), kDb.c_str(), 0);
  ASSERT_GE(h, 0);
  int16_t count = 0;
  char buf[1024];
  ASSERT_EQ(tc_get_attribute(h, "OTP", "VH-CX-1200", 1525, &count, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "AHU-CX");
  ASSERT_EQ(tc_begin_scan(h), 0);
  std::string previous;
  int series = 0;
  for (tc_record* r = tc_first_record(h, "MAS"); r;) {
    char key[TC_KEY_SIZE];
    ASSERT_EQ(tc_get_record_key(h, r, 0, key), 0);
    EXPECT_LT(previous, key);
    previous = key;
    ASSERT_EQ(tc_get_record_attribute(h, r, 1501, &count, buf, 64), 0);
    EXPECT_GT(count, 0);
    EXPECT_EQ(std::string(buf).rfind("Ventholm ", 0), 0u);
    ++series;
    tc_record* next = tc_next_record(h, r);
    tc_release_record(r);
    r = next;
  }
  EXPECT_EQ(tc_end_scan(h), 0);
  EXPECT_NE(tc_end_scan(h), 0);  // unbalanced end
  EXPECT_GE(series, 3);
  tc_close_database(h);
}
