// Reads the catalogue from the model files: gunzip in memory, open the SQLite image
// read-only, gather each product's attributes by the dictionary's source keys.
#include "sel_catalog.h"

#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <memory>

namespace {

// Decompresses a gzip file image, at most limit bytes. false when damaged, cut or too big.
bool gunzip(const std::string& in, size_t limit, std::string& out) {
  z_stream zs{};
  if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) return false;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  out.clear();
  char buf[65536];
  int rc = Z_OK;
  while (rc == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buf);
    zs.avail_out = sizeof buf;
    rc = inflate(&zs, Z_NO_FLUSH);
    out.append(buf, sizeof buf - zs.avail_out);
    if (out.size() > limit) rc = Z_MEM_ERROR;
  }
  inflateEnd(&zs);
  return rc == Z_STREAM_END;
}

struct Db {
  sqlite3* db = nullptr;
  std::string image;  // SQLite reads it in place; it lives as long as the connection
  ~Db() { sqlite3_close(db); }
};

bool openImage(const std::string& gz, Db& d) {
  if (!gunzip(gz, kSelMaxUnpackedModel, d.image) || d.image.empty()) return false;
  if (sqlite3_open_v2(":memory:", &d.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
  return sqlite3_deserialize(d.db, "main", reinterpret_cast<unsigned char*>(&d.image[0]),
                             static_cast<sqlite3_int64>(d.image.size()),
                             static_cast<sqlite3_int64>(d.image.size()), SQLITE_DESERIALIZE_READONLY) == SQLITE_OK;
}

std::string columnText(sqlite3_stmt* st, int column) {
  const unsigned char* t = sqlite3_column_text(st, column);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st, column)))
           : std::string();
}

// Runs sql and calls row for each result row; false when the statement fails.
template <class Row>
bool query(sqlite3* db, const char* sql, Row row) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
  sqlite3_finalize(st);
  return rc == SQLITE_DONE;
}

std::string stamp(sqlite3* db) {
  std::string out;
  query(db, "SELECT value FROM meta WHERE name = 'stamp'", [&](sqlite3_stmt* st) { out = columnText(st, 0); });
  return out;
}

void addProduct(const std::string& id, const catalog::Attributes& attributes, SelCatalog& out,
                std::vector<std::string>& warnings) {
  auto text = [&](const char* key) {
    auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
  };
  if (!catalog::isUnit(attributes)) {
    out.components[id] = SelComponent{id, text("name"), text("description")};
    return;
  }
  SelUnit unit{id, text("name"), text("description"), catalog::UnitData()};
  std::string error;
  if (catalog::readUnitData(attributes, unit.data, error) != 0) {
    warnings.push_back("unit " + id + " left out: " + error);
    return;
  }
  out.units.push_back(unit);
}

}  // namespace

int sel_read_regular_file(const std::string& path, size_t limit, std::string& out) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ELOOP ? -2 : -1;
  struct stat st;
  int rc = 0;
  if (fstat(fd, &st) != 0) rc = -1;
  else if (!S_ISREG(st.st_mode)) rc = -2;
  else if (static_cast<unsigned long long>(st.st_size) > limit) rc = -3;
  std::string data;
  while (rc == 0) {
    char buf[65536];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) rc = -1;
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
    if (data.size() > limit) rc = -3;
  }
  close(fd);
  if (rc == 0) out.swap(data);
  return rc;
}

int sel_read_catalog(const std::string& folder, SelCatalog& out, std::string& error,
                     std::vector<std::string>& warnings) {
  SelCatalog cat;
  cat.folder = folder;
  for (auto file : {std::make_pair(kSelDictionaryFile, &cat.dictionaryFile),
                    std::make_pair(kSelDatabaseFile, &cat.databaseFile)}) {
    std::string path = folder + "/" + file.first;
    int rc = sel_read_regular_file(path, kSelMaxModelFile, *file.second);
    if (rc != 0) {
      error = path + (rc == -2 ? " is not a regular file" : rc == -3 ? " is too large" : " cannot be read");
      return -1;
    }
  }
  Db dictionary, database;
  if (!openImage(cat.dictionaryFile, dictionary) || !openImage(cat.databaseFile, database)) {
    error = "the model files in " + folder + " are damaged";
    return -1;
  }
  std::string s = stamp(dictionary.db);
  if (s.empty() || s != stamp(database.db)) {
    error = "the model dictionary and the model database in " + folder + " do not belong together";
    return -1;
  }
  std::map<int, std::string> keys;  // attribute number -> source key
  bool ok = query(dictionary.db, "SELECT number, description FROM attribute_names",
                  [&](sqlite3_stmt* st) { keys[sqlite3_column_int(st, 0)] = columnText(st, 1); });
  std::string current;
  catalog::Attributes attributes;
  ok = ok && query(database.db,
                   "SELECT product, number, value FROM attributes WHERE class = 'OTP' ORDER BY product, number",
                   [&](sqlite3_stmt* st) {
                     std::string product = columnText(st, 0);
                     if (product != current && !current.empty()) addProduct(current, attributes, cat, warnings);
                     if (product != current) attributes.clear();
                     current = product;
                     auto key = keys.find(sqlite3_column_int(st, 1));
                     if (key != keys.end()) attributes[key->second] = columnText(st, 2);
                   });
  if (ok && !current.empty()) addProduct(current, attributes, cat, warnings);
  if (!ok) {
    error = "the model database in " + folder + " cannot be read: " + sqlite3_errmsg(database.db);
    return -1;
  }
  out = std::move(cat);
  return 0;
}
