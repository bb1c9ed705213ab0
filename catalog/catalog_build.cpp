// catalog_build: turns the catalogue source into the model dictionary and model database.
//
//   catalog_build SOURCE_DIR OUT_DIR [PLAIN_DIR]
// writes OUT_DIR/Duratcd.ddtz and OUT_DIR/Ventholm_14a.tcdz (gzip) and, when PLAIN_DIR is
// given, the uncompressed SQLite files PLAIN_DIR/Duratcd.ddt and PLAIN_DIR/Ventholm_14a.tcd.
// Every product is checked first: known attributes, a model that parses, parameters the
// model accepts, a connection point for each connection the parameters name, and for an
// air-handling unit its selection data, with external components of its own size. Nothing
// is written when a check fails; files are replaced only once complete.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

#include "catalog_source.h"
#include "catalog_units.h"
#include "tc_hash.h"
#include "teksolid.h"

using namespace catalog;

namespace {

const char* const kDictionaryName = "Duratcd";
const char* const kDatabaseName = "Ventholm_14a";

std::string where(const Section& s) { return s.file + ":" + std::to_string(s.line) + ": "; }

const Entry* entry(const Section& s, const char* key) {
  for (const Entry& e : s.entries)
    if (e.key == key) return &e;
  return nullptr;
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(sep, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

bool checkProduct(const Source& src, const Section& p, std::string& error) {
  for (const Entry& e : p.entries)
    if (!findAttribute(src, e.key)) {
      error = where(p) + "\"" + e.key + "\" is no attribute of the dictionary";
      return false;
    }
  for (const char* key : {"name", "parameters", "model", "description"})
    if (!entry(p, key) || entry(p, key)->value.empty()) {
      error = where(p) + p.name + " has no " + key;
      return false;
    }
  auto model = src.models.find(entry(p, "model")->value);
  if (model == src.models.end()) {
    error = where(p) + "no model " + entry(p, "model")->value + " in models/";
    return false;
  }
  ts_model* m = ts_create_model(0, model->second.data(), static_cast<long>(model->second.size()), nullptr);
  if (!m) {
    error = where(p) + "model " + model->first + " does not parse";
    return false;
  }
  bool ok = true;
  long types[9] = {0};
  bool sized = false;
  for (const std::string& field : split(entry(p, "parameters")->value, ';')) {
    size_t eq = field.find('=');
    std::string name = field.substr(0, eq), value = eq == std::string::npos ? "" : field.substr(eq + 1);
    if (ts_set_parameter(m, name.c_str(), value.c_str()) != 0) {
      error = where(p) + "model " + model->first + " does not accept " + field;
      ok = false;
      break;
    }
    if (name.size() == 2 && name[0] == 'P' && name[1] >= '1' && name[1] <= '8')
      types[name[1] - '0'] = std::atol(value.c_str());
    if (name == "D" || name == "B") sized = true;
  }
  gm_model drawn;
  gm_model_init(&drawn);
  if (ok && ts_draw(m, &drawn) != 0) {
    error = where(p) + "model " + model->first + " cannot be drawn";
    ok = false;
  }
  for (int n = 1; ok && n <= 8; ++n) {
    if (types[n] == 0) continue;
    int number = types[n] == 5 ? 249 : 200 + n;
    if (!sized || gm_get_connection(&drawn, static_cast<int16_t>(number), nullptr, nullptr,
                                    nullptr, 0, 0, 0, 0) != 0) {
      error = where(p) + "P" + std::to_string(n) + " names a connection without " +
              (sized ? "connection point " + std::to_string(number) : std::string("size D or B"));
      ok = false;
    }
  }
  gm_model_free(&drawn);
  ts_free_model(m);
  return ok;
}

Attributes attributesOf(const Section& s) {
  Attributes out;
  for (const Entry& e : s.entries) out[e.key] = e.value;
  return out;
}

// A unit's selection data reads, and each external component it names is a component of
// the catalogue with the unit's connection size.
bool checkUnit(const Source& src, const Section& p, std::string& error) {
  Attributes attributes = attributesOf(p);
  if (!isUnit(attributes)) return true;
  UnitData unit;
  if (readUnitData(attributes, unit, error) != 0) {
    error = where(p) + p.name + ": " + error;
    return false;
  }
  for (const std::vector<ComponentRef>& duct : unit.components)
    for (const ComponentRef& c : duct) {
      const Section* found = nullptr;
      for (const Section& other : src.products)
        if (other.name == c.id) found = &other;
      Attributes component = found ? attributesOf(*found) : Attributes();
      const std::string& params = component["parameters"];
      if (!found || isUnit(component)) {
        error = where(p) + p.name + ": no external component " + c.id;
        return false;
      }
      if (parameterValue(params, "D", 0) != unit.diameter || parameterValue(params, "B", 0) != unit.width ||
          parameterValue(params, "H", 0) != unit.height) {
        error = where(p) + p.name + ": " + c.id + " does not fit the unit's connections";
        return false;
      }
    }
  return true;
}

// "250" or "400x200": positive whole millimetres, nothing else.
bool isSize(const std::string& text) {
  size_t x = text.find('x');
  auto number = [](const std::string& t) {
    return !t.empty() && t.size() <= 6 && t.find_first_not_of("0123456789") == std::string::npos &&
           std::atoi(t.c_str()) > 0;
  };
  if (x == std::string::npos) return number(text);
  return number(text.substr(0, x)) && number(text.substr(x + 1));
}

bool checkSerie(const Section& s, std::string& error) {
  if (s.name.size() > 30) {
    error = where(s) + "serie key longer than 30 characters";
    return false;
  }
  const Entry* name = entry(s, "name");
  const Entry* sizes = entry(s, "sizes");
  if (!name || name->value.empty() || !sizes) {
    error = where(s) + "a serie needs a name and its sizes";
    return false;
  }
  for (const std::string& size : split(sizes->value, ';')) {
    if (!isSize(size)) {
      error = where(s) + "size \"" + size + "\" is neither \"250\" nor \"400x200\"";
      return false;
    }
  }
  return true;
}

bool exec(sqlite3* db, const char* sql, std::string& error) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
  error = msg ? msg : "SQLite failure";
  sqlite3_free(msg);
  return false;
}

// Runs one insert with text parameters (a "#" prefix binds the rest as an integer, a
// "@" prefix as a blob).
bool insert(sqlite3* db, const char* sql, const std::vector<std::string>& values, std::string& error) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string& v = values[i];
    int idx = static_cast<int>(i) + 1;
    if (!v.empty() && v[0] == '#') sqlite3_bind_int(st, idx, std::atoi(v.c_str() + 1));
    else if (!v.empty() && v[0] == '@') sqlite3_bind_blob(st, idx, v.data() + 1, static_cast<int>(v.size() - 1), SQLITE_TRANSIENT);
    else sqlite3_bind_text(st, idx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  bool ok = sqlite3_step(st) == SQLITE_DONE;
  if (!ok) error = sqlite3_errmsg(db);
  sqlite3_finalize(st);
  return ok;
}

bool storeContentHash(sqlite3* db, tekcore::ContentKind kind, std::string& error) {
  if (tekcore::writeContentHash(db, kind)) return true;
  error = "cannot store the content hash";
  return false;
}

using Filler = bool (*)(sqlite3*, const Source&, std::string&);

bool fillDictionary(sqlite3* db, const Source& src, std::string& error) {
  if (!exec(db,
            "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT);"
            "CREATE TABLE attribute_names(number INTEGER PRIMARY KEY, name TEXT, description TEXT);"
            "CREATE TABLE table_names(tab TEXT PRIMARY KEY, description TEXT);",
            error))
    return false;
  bool ok = insert(db, "INSERT INTO meta VALUES('format', 'tek-dictionary 1')", {}, error) &&
            insert(db, "INSERT INTO meta VALUES('stamp', ?1)", {dictionaryStamp(src)}, error);
  for (const Attribute& a : src.attributes)
    ok = ok && insert(db, "INSERT INTO attribute_names VALUES(?1, ?2, ?3)",
                      {"#" + std::to_string(a.number), a.title, a.key}, error);
  for (const auto& t : src.tables)
    ok = ok && insert(db, "INSERT INTO table_names VALUES(?1, ?2)", {t.first, t.second}, error);
  return ok && storeContentHash(db, tekcore::ContentKind::kDictionary, error);
}

bool fillDatabase(sqlite3* db, const Source& src, std::string& error) {
  if (!exec(db,
            "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT);"
            "CREATE TABLE attributes(class TEXT, product TEXT, number INTEGER, value TEXT,"
            " PRIMARY KEY(class, product, number));"
            "CREATE TABLE records(tab TEXT, key TEXT, data BLOB, PRIMARY KEY(tab, key));"
            "CREATE TABLE record_attributes(tab TEXT, key TEXT, number INTEGER, value TEXT,"
            " PRIMARY KEY(tab, key, number));",
            error))
    return false;
  bool ok = insert(db, "INSERT INTO meta VALUES('format', 'tek-database 1')", {}, error) &&
            insert(db, "INSERT INTO meta VALUES('stamp', ?1)", {dictionaryStamp(src)}, error);
  for (const Section& p : src.products)
    for (const Entry& e : p.entries)
      ok = ok && insert(db, "INSERT INTO attributes VALUES('OTP', ?1, ?2, ?3)",
                        {p.name, "#" + std::to_string(findAttribute(src, e.key)->number), e.value}, error);
  for (const auto& m : src.models)
    ok = ok && insert(db, "INSERT INTO records VALUES('TSD', ?1, ?2)", {m.first, "@" + m.second}, error);
  for (const Section& s : src.series) {
    ok = ok && insert(db, "INSERT INTO records VALUES('MAS', ?1, NULL)", {s.name}, error);
    for (const Entry& e : s.entries)
      ok = ok && insert(db, "INSERT INTO record_attributes VALUES('MAS', ?1, ?2, ?3)",
                        {s.name, "#" + std::to_string(findAttribute(src, e.key)->number), e.value}, error);
  }
  return ok && storeContentHash(db, tekcore::ContentKind::kDatabase, error);
}

bool writeSqlite(const std::string& path, const Source& src, Filler fill, std::string& error) {
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot create");
    sqlite3_close(db);
    return false;
  }
  bool ok = exec(db, "PRAGMA journal_mode=OFF; BEGIN", error) && fill(db, src, error) &&
            exec(db, "COMMIT", error);
  if (sqlite3_close(db) != SQLITE_OK) ok = false;
  if (!ok) {
    error = path + ": " + error;
    std::remove(path.c_str());
  }
  return ok;
}

bool gzipFile(const std::string& from, const std::string& to, std::string& error) {
  FILE* in = std::fopen(from.c_str(), "rb");
  gzFile out = in ? gzopen(to.c_str(), "wb9") : nullptr;
  bool ok = in && out;
  char buf[65536];
  size_t n;
  while (ok && (n = std::fread(buf, 1, sizeof buf, in)) > 0)
    ok = gzwrite(out, buf, static_cast<unsigned>(n)) == static_cast<int>(n);
  if (in && std::ferror(in)) ok = false;
  if (in) std::fclose(in);
  if (out && gzclose(out) != Z_OK) ok = false;
  if (!ok) {
    error = to + ": cannot write the compressed file";
    std::remove(to.c_str());
  }
  return ok;
}

// Builds one file: SQLite into a temporary name, compressed beside the target, both renamed
// into place only when complete.
bool buildFile(const Source& src, Filler fill, const std::string& outDir,
               const std::string& plainDir, const std::string& name, const char* gzExt,
               const char* plainExt, std::string& error) {
  std::string tmp = outDir + "/" + name + ".building";
  std::string gzTmp = outDir + "/" + name + ".gz.building";
  if (!writeSqlite(tmp, src, fill, error) || !gzipFile(tmp, gzTmp, error)) {
    std::remove(tmp.c_str());
    return false;
  }
  std::string target = outDir + "/" + name + gzExt;
  bool ok = std::rename(gzTmp.c_str(), target.c_str()) == 0;
  if (ok && !plainDir.empty()) {
    std::string plain = plainDir + "/" + name + plainExt;
    ok = std::rename(tmp.c_str(), plain.c_str()) == 0;
  }
  std::remove(tmp.c_str());
  std::remove(gzTmp.c_str());
  if (!ok) error = target + ": cannot put the file in place";
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: catalog_build SOURCE_DIR OUT_DIR [PLAIN_DIR]\n");
    return 2;
  }
  std::string sourceDir = argv[1], outDir = argv[2], plainDir = argc > 3 ? argv[3] : "";
  Source src;
  std::string error;
  bool ok = readSource(sourceDir, src, error);
  for (const char* table : {"TSD", "MAS"})
    if (ok && !src.tables.count(table)) {
      error = "dictionary.ini: the table " + std::string(table) + " is not defined";
      ok = false;
    }
  for (const auto& m : src.models) {
    ts_model* model = ok ? ts_create_model(0, m.second.data(), static_cast<long>(m.second.size()), nullptr) : nullptr;
    if (ok && !model) {
      error = "models/" + m.first + ".tsd: does not parse";
      ok = false;
    }
    ts_free_model(model);
  }
  for (size_t i = 0; ok && i < src.products.size(); ++i)
    ok = checkProduct(src, src.products[i], error) && checkUnit(src, src.products[i], error);
  for (size_t i = 0; ok && i < src.series.size(); ++i) ok = checkSerie(src.series[i], error);
  if (ok && !plainDir.empty()) mkdir(plainDir.c_str(), 0755);
  ok = ok && buildFile(src, fillDictionary, outDir, plainDir, kDictionaryName, ".ddtz", ".ddt", error) &&
       buildFile(src, fillDatabase, outDir, plainDir, kDatabaseName, ".tcdz", ".tcd", error);
  if (!ok) {
    std::fprintf(stderr, "catalog_build: %s\n", error.c_str());
    return 1;
  }
  std::printf("catalog_build: %zu products, %zu duct series, %zu models\n", src.products.size(),
              src.series.size(), src.models.size());
  return 0;
}
