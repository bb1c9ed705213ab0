// Guards model lookup and drawing against lost parameters, overruns and wrong messages.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "devicedraw.h"
#include "hosttest.h"
#include "model_fixtures.h"
#include "modeldb.h"
#include "selector_settings.h"
#include "tc_hash.h"
#include "tekcore.h"
#include "tp_internal.h"

using namespace modeltest;

namespace {

const char* kBoxModel =
    "teksolid 1\n"
    "param W = 100\nparam Z = 0\n"
    "linewidth = 3.7\n"
    "material kind=1 colour=(200, 100, 50) flags=0 ambient=0.4 diffuse=0.6\n"
    "box origin=(0, 0, 0) size=(W, 50, 50)\n"
    "box origin=(0, 0, 50) size=(10, 10, 10) when=cat\n";
const char* kThinModel = "teksolid 1\nbox origin=(0, 0, 0) size=(10, 10, 10)\n";

struct Product {
  std::string id, model, params;  // "" model or params: no such attribute
};

bool exec(sqlite3* db, const std::string& sql, const std::vector<std::string>& values = {}) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  for (size_t k = 0; k < values.size(); ++k)
    sqlite3_bind_text(st, static_cast<int>(k) + 1, values[k].c_str(), -1, SQLITE_TRANSIENT);
  bool ok = sqlite3_step(st) == SQLITE_DONE;
  sqlite3_finalize(st);
  return ok;
}

// A dictionary and database pair with the products and the stored models (name, block).
bool writePair(const std::string& dictPath, const std::string& dbPath, const std::vector<Product>& products,
               const std::vector<std::pair<std::string, std::string>>& models) {
  sqlite3* dict = nullptr;
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(dictPath.c_str(), &dict) == SQLITE_OK && sqlite3_open(dbPath.c_str(), &db) == SQLITE_OK;
  ok = ok && exec(dict, "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT)") &&
       exec(dict, "INSERT INTO meta VALUES('format', 'tek-dictionary 1'), ('stamp', 'test-1')") &&
       exec(dict, "CREATE TABLE attribute_names(number INTEGER PRIMARY KEY, name TEXT, description TEXT)") &&
       exec(dict, "INSERT INTO attribute_names VALUES(1501, 'name', ''), (1507, 'params', ''), "
                  "(1525, 'model', ''), (9552, 'description', '')") &&
       exec(dict, "CREATE TABLE table_names(tab TEXT PRIMARY KEY, description TEXT)") &&
       exec(dict, "INSERT INTO table_names VALUES('TSD', 'models'), ('MAS', 'series')");
  ok = ok && exec(db, "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT)") &&
       exec(db, "INSERT INTO meta VALUES('format', 'tek-database 1'), ('stamp', 'test-1')") &&
       exec(db, "CREATE TABLE attributes(class TEXT, product TEXT, number INTEGER, value TEXT)") &&
       exec(db, "CREATE TABLE records(tab TEXT, key TEXT, data BLOB)") &&
       exec(db, "CREATE TABLE record_attributes(tab TEXT, key TEXT, number INTEGER, value TEXT)");
  for (const Product& p : products) {
    if (!p.model.empty()) ok = ok && exec(db, "INSERT INTO attributes VALUES('OTP', ?1, 1525, ?2)", {p.id, p.model});
    if (!p.params.empty()) ok = ok && exec(db, "INSERT INTO attributes VALUES('OTP', ?1, 1507, ?2)", {p.id, p.params});
  }
  for (const auto& m : models) ok = ok && exec(db, "INSERT INTO records VALUES('TSD', ?1, CAST(?2 AS BLOB))", {m.first, m.second});
  ok = ok && tekcore::writeContentHash(dict, tekcore::ContentKind::kDictionary) &&
       tekcore::writeContentHash(db, tekcore::ContentKind::kDatabase);
  sqlite3_close(dict);
  sqlite3_close(db);
  return ok;
}

// What the last device_draw left in its rendering context and model.
struct Seen {
  int calls = 0;
  int edgePenWidth = 0;
  long W = -1, Z = -1, cat = -1;
  bool materialDefined = false;
} seen;

void inspect(const tp_context* context, const ts_model* model) {
  ++seen.calls;
  auto pen = context->pens.find(1001);
  seen.edgePenWidth = pen == context->pens.end() ? 0 : pen->second.width;
  seen.materialDefined = context->materials.count(1) > 0;
  ts_get_parameter(model, "W", &seen.W);
  ts_get_parameter(model, "Z", &seen.Z);
  ts_get_parameter(model, "cat", &seen.cat);
}

std::string longParameters() {
  std::string text = "W=700";
  while (text.size() < 1015) text += ";Q=1";
  return text + ";Z=5";  // the last field lies beyond 1017 characters
}

class DeviceDrawTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    std::string thinWide = std::string(kThinModel) + "linewidth = 0\n";
    ASSERT_TRUE(writePair(dir->file("d.db"), dir->file("m.db"),
                          {{"UNIT", "BOX", "W=300;Z=2"},
                           {"BARE", "BOX", ""},
                           {"TRAIL", "BOX", "W=400;"},
                           {"ODD", "BOX", ";;Z;=5;W=250;"},
                           {"LONG", "BOX", longParameters()},
                           {"THIN", "THIN", ""},
                           {"NOMODEL", "", "W=1"},
                           {"LOST", "NOSUCH", ""},
                           {"BROKEN", "BROKEN", ""}},
                          {{"BOX", kBoxModel}, {"THIN", thinWide}, {"BROKEN", "not a model"}}));
    handle = tc_open_database(dir->file("d.db").c_str(), dir->file("m.db").c_str(), 0);
  }
  static void TearDownTestSuite() {
    tc_close_database(handle);
    delete dir;
  }
  void SetUp() override {
    ASSERT_GE(handle, 0);
    cadhost::startTestSession();
    setDeviceDrawInspectorForTests(inspect);
    seen = Seen();
    gm_model_init(&list);
  }
  void TearDown() override {
    gm_model_free(&list);
    setDeviceDrawInspectorForTests(nullptr);
    cadhost::endTestSession();
  }
  int drawList(const char* product) {
    return device_draw(nullptr, nullptr, nullptr, &list, handle, product, "OTP", nullptr, nullptr, nullptr, 0, 0,
                       5, true, 7, 1.0, 0.0, 0.0);
  }
  int drawPreview(const char* product, HDC dc) {
    return device_draw(nullptr, dc, nullptr, nullptr, handle, product, "OTP", nullptr, nullptr, nullptr, 120, 90,
                       2, false, 7, 1.0, 0.0, 0.0);
  }

  static TempDir* dir;
  static int16_t handle;
  gm_model list{};
};
TempDir* DeviceDrawTest::dir = nullptr;
int16_t DeviceDrawTest::handle = -1;

TEST_F(DeviceDrawTest, ClosedDatabaseOrNoProductIsRefused) {
  EXPECT_EQ(device_draw(nullptr, nullptr, nullptr, &list, -1, "UNIT", "OTP", nullptr, nullptr, nullptr, 0, 0, 5,
                        true, 7, 1.0, 0.0, 0.0),
            -1);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Product database is not open.\n");
  EXPECT_EQ(drawList(""), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: No device to draw.\n");
  EXPECT_EQ(seen.calls, 0);
  EXPECT_EQ(list.count, 0);
}

TEST_F(DeviceDrawTest, ProductsWithoutAUsableModelSayWhy) {
  EXPECT_EQ(drawList("NOMODEL"), -1);
  EXPECT_EQ(cadhost::takeOutput(),
            "Zephyr: Can't get teksolid id for device=NOMODEL from product database.\n"
            "Zephyr: Can't find teksolid with id='NOMODEL'.\n");
  EXPECT_EQ(drawList("LOST"), -1);
  EXPECT_EQ(cadhost::takeOutput(),
            "Zephyr: Can't find teksolid=NOSUCH for device=LOST from product database.\n"
            "Zephyr: Can't find teksolid with id='LOST'.\n");
  EXPECT_EQ(drawList("BROKEN"), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Can't find teksolid with id='BROKEN'.\n");
  EXPECT_EQ(list.count, 0);
}

TEST_F(DeviceDrawTest, DisplayListModeSetsStoredParametersAndNoCategory) {
  EXPECT_EQ(drawList("UNIT"), 0);
  EXPECT_EQ(cadhost::takeOutput(), "");
  EXPECT_EQ(seen.W, 300);
  EXPECT_EQ(seen.Z, 2);
  EXPECT_EQ(seen.cat, 0);
  EXPECT_TRUE(seen.materialDefined);
  int first = list.count;
  EXPECT_GT(first, 0);
  EXPECT_EQ(drawList("UNIT"), 0);  // appended to what the caller's list holds
  EXPECT_EQ(list.count, 2 * first);
}

TEST_F(DeviceDrawTest, PreviewKeepsCategoryAndPaintsIntoTheContext) {
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(drawPreview("BARE", dc), 0);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(seen.W, 100);
  EXPECT_EQ(seen.cat, 1);
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(DeviceDrawTest, ParameterTextEdges) {
  EXPECT_EQ(drawList("TRAIL"), 0);
  EXPECT_EQ(seen.W, 400);
  EXPECT_EQ(seen.cat, 0);
  EXPECT_EQ(drawList("ODD"), 0);
  EXPECT_EQ(seen.W, 250);
  EXPECT_EQ(seen.Z, 0);
}

TEST_F(DeviceDrawTest, LongParameterTextKeepsEveryFieldAndStillGetsNoCategory) {
  ASSERT_GT(longParameters().size(), 1017u);
  EXPECT_EQ(drawList("LONG"), 0);
  EXPECT_EQ(seen.W, 700);
  EXPECT_EQ(seen.Z, 5);
  EXPECT_EQ(seen.cat, 0);
}

TEST_F(DeviceDrawTest, EdgePenWidthFollowsTheModelsLineWidth) {
  EXPECT_EQ(drawList("UNIT"), 0);
  EXPECT_EQ(seen.edgePenWidth, -3);  // 3.7 truncated
  EXPECT_EQ(drawList("THIN"), 0);
  EXPECT_EQ(seen.edgePenWidth, -16);  // 0 stands for 16
}

}  // namespace

namespace {

// The shipped sample catalogue, retrieved as the main module does and drawn.
std::string binFolder() {
  const char* bin = std::getenv("ZEPHYR_BIN");
  if (bin && *bin) return bin;
  return fs::read_symlink("/proc/self/exe").parent_path().string();
}

TEST(SampleCatalogue, RetrievedPairOpensAndEveryUnitDrawsWithItsConnections) {
  std::string bin = binFolder();
  // The catalogue is built before this program: missing files are a fault, not a skip.
  ASSERT_TRUE(exists(bin + "/Duratcd.ddtz") && exists(bin + "/Ventholm_14a.tcdz")) << "sample catalogue in " << bin;
  cadhost::startTestSession();
  TempDir temp;
  ScopedEnv tmp("TMP", temp.path.string());
  setLocalModelFolderForTests(bin);
  SelectorSettings settings;
  ASSERT_EQ(retrieveModelDatabase("http://127.0.0.1:1/unused", settings), 0);
  int16_t handle = tc_open_database(modelDictionaryPath(), modelDatabasePath(), 0);
  ASSERT_GE(handle, 0);
  for (const char* unit : {"VH-CX-1200", "VH-CX-3000", "VH-RX-2500", "VH-RX-1000T", "VH-CF-800"}) {
    gm_model list;
    gm_model_init(&list);
    EXPECT_EQ(device_draw(nullptr, nullptr, nullptr, &list, handle, unit, "OTP", nullptr, nullptr, nullptr, 0, 0,
                          5, true, 7, 1.0, 0.0, 0.0),
              0)
        << unit;
    int points = 0;
    for (int16_t number = 201; number <= 208; ++number)
      points += gm_get_connection(&list, number, nullptr, nullptr, nullptr, 0, 0, 0, 0) == 0;
    EXPECT_EQ(points, 4) << unit << ": every connection point in the display list";
    gm_model_free(&list);
  }
  tc_close_database(handle);
  deleteModelFiles();
  setLocalModelFolderForTests("");
  EXPECT_EQ(temp.count(), 0u);
  cadhost::endTestSession();
}

}  // namespace
