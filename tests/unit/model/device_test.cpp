// Guards the device block and connection reading against misread parameters, wrong sizes or
// connection points, lost earlier connections, double insertion and wrong messages.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sqlite3.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "arxhost.h"
#include "blocks.h"
#include "device.h"
#include "devicedraw.h"
#include "hosttest.h"
#include "tc_hash.h"
#include "tekcore.h"
#include "test_temp.h"

namespace {

// A model with eight connection slots; slot 6 draws no connection point.
const char* kModel =
    "teksolid 1\n"
    "param P1 = 0\nparam P2 = 0\nparam P3 = 0\nparam P4 = 0\n"
    "param P5 = 0\nparam P6 = 0\nparam P7 = 0\nparam P8 = 0\n"
    "param D = 0\nparam B = 0\nparam H = 0\nparam AD = 0\n"
    "box origin=(0, 0, 0) size=(1000, 600, 800)\n"
    "circle centre=(500, 300, 0) normal=(0, 0, 1) radius=100 pen=2\n"
    "connection slot=1 at=(1000, 150, 400) dir=(1, 0, 0) normal=(0, 0, 1)\n"
    "connection slot=2 at=(1000, 450, 400) dir=(1, 0, 0) normal=(0, 0, 1)\n"
    "connection slot=3 at=(500, 300, 800) dir=(0, 0, 1) normal=(1, 0, 0)\n"
    "connection slot=4 at=(0, 150, 400) dir=(-1, 0, 0) normal=(0, 0, 1)\n"
    "connection slot=5 at=(0, 450, 400) dir=(-1, 0, 0) normal=(0, 0, 1)\n";

// Products: id, model name (1525, "" = none), parameters (1507, null = none),
// description (9552, "" = none).
struct Product {
  const char* id;
  const char* model;
  const char* params;
  std::string description;
};

bool exec(sqlite3* db, const std::string& sql, const std::vector<std::string>& values = {}) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  for (size_t k = 0; k < values.size(); ++k)
    sqlite3_bind_text(st, (int)k + 1, values[k].c_str(), -1, SQLITE_TRANSIENT);
  bool ok = sqlite3_step(st) == SQLITE_DONE;
  sqlite3_finalize(st);
  return ok;
}

// Writes a model dictionary and database pair that tekcore opens; false on failure.
bool writeDatabase(const std::string& dictPath, const std::string& dbPath,
                   const std::vector<Product>& products) {
  std::remove(dictPath.c_str());
  std::remove(dbPath.c_str());
  sqlite3* dict = nullptr;
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(dictPath.c_str(), &dict) == SQLITE_OK &&
            sqlite3_open(dbPath.c_str(), &db) == SQLITE_OK;
  ok = ok && exec(dict, "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT)") &&
       exec(dict, "CREATE TABLE attribute_names(number INTEGER PRIMARY KEY, name TEXT, "
                  "description TEXT)") &&
       exec(dict, "CREATE TABLE table_names(tab TEXT PRIMARY KEY, description TEXT)") &&
       exec(dict, "INSERT INTO meta VALUES('format', 'tek-dictionary 1')") &&
       exec(dict, "INSERT INTO meta VALUES('stamp', 'devicetest')") &&
       exec(dict, "INSERT INTO table_names VALUES('TSD', 'models')");
  for (const char* n : {"1501", "1507", "1525", "9552"})
    ok = ok && exec(dict, "INSERT INTO attribute_names VALUES(?1, 'a', 'a')", {n});
  ok = ok && exec(db, "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT)") &&
       exec(db, "CREATE TABLE attributes(class TEXT, product TEXT, number INTEGER, value TEXT)") &&
       exec(db, "CREATE TABLE records(tab TEXT, key TEXT, data BLOB, PRIMARY KEY(tab, key))") &&
       exec(db, "CREATE TABLE record_attributes(tab TEXT, key TEXT, number INTEGER, value TEXT)") &&
       exec(db, "INSERT INTO meta VALUES('format', 'tek-database 1')") &&
       exec(db, "INSERT INTO meta VALUES('stamp', 'devicetest')") &&
       exec(db, "INSERT INTO records VALUES('TSD', 'BOX8', CAST(?1 AS BLOB))", {kModel});
  for (const Product& p : products) {
    if (*p.model)
      ok = ok && exec(db, "INSERT INTO attributes VALUES('OTP', ?1, 1525, ?2)", {p.id, p.model});
    if (p.params)
      ok = ok && exec(db, "INSERT INTO attributes VALUES('OTP', ?1, 1507, ?2)", {p.id, p.params});
    if (!p.description.empty())
      ok = ok && exec(db, "INSERT INTO attributes VALUES('OTP', ?1, 9552, ?2)",
                      {p.id, p.description});
  }
  ok = ok && tekcore::writeContentHash(dict, tekcore::ContentKind::kDictionary) &&
       tekcore::writeContentHash(db, tekcore::ContentKind::kDatabase);
  sqlite3_close(dict);
  sqlite3_close(db);
  return ok;
}

const std::string kLongDescription = std::string(1500, 'd') + "END";

class DeviceBlock : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Test programs run side by side: each process builds its own pair.
    const std::string dir = testTempRoot() + "/device_test_" + std::to_string(getpid());
    dict_ = dir + ".ddt";
    file_ = dir + ".tcd";
    std::remove(dict_.c_str());
    std::remove(file_.c_str());
    ASSERT_TRUE(writeDatabase(dict_, file_, {
        {"ROUND", "BOX8", "P1=1;P2=2;D=250", "Round unit"},
        {"PLUG", "BOX8", "P1=1;P3=5;D=160", ""},
        {"PLUGLOST", "BOX8", "P6=5;D=160", ""},
        {"RECT", "BOX8", "P1=1;P4=4;B=600;H=400", ""},
        {"WRONG", "BOX8", "P1=1;P2=7;P3=3;D=250", ""},
        {"SKIP", "BOX8", "P1=1;P4=0;P5=2;D=200", ""},
        {"AD", "BOX8", "AD=3;D=200;P1=1", ""},
        {"NOSIZE", "BOX8", "P1=1", ""},
        {"NOPOINT", "BOX8", "P1=1;P6=1;D=100", ""},
        {"NOPARAMS", "BOX8", nullptr, "x"},
        {"NOMODEL", "", "P1=1;D=100", ""},
        {"LONG", "BOX8", "P1=1;D=100", kLongDescription},
    }));
    db_ = tc_open_database(dict_.c_str(), file_.c_str(), 0);
    ASSERT_GE(db_, 0);
  }
  static void TearDownTestSuite() {
    if (db_ >= 0) tc_close_database(db_);
    std::remove(dict_.c_str());
    std::remove(file_.c_str());
  }
  void SetUp() override {
    ASSERT_GE(db_, 0) << "the test database did not open";  // a failed suite set-up only skips
    cadhost::startTestSession();
  }
  void TearDown() override { cadhost::endTestSession(); }

  static std::string dict_, file_;
  static int16_t db_;
};
std::string DeviceBlock::dict_, DeviceBlock::file_;
int16_t DeviceBlock::db_ = -1;

bool near(double a, double b) { return std::fabs(a - b) < 1e-9; }

bool hasBlock(const wchar_t* name) {
  AcDbBlockTable* table = nullptr;
  acdbHostApplicationServices()->workingDatabase()->getBlockTable(table, AcDb::kForRead);
  bool has = table->has(name);
  table->close();
  return has;
}

}  // namespace

TEST(GetParamValue, FirstNameFollowedByEqualsWinsEvenInsideALongerName) {
  int value = -1;
  EXPECT_EQ(GetParamValue("AD=3;D=200", "D", &value), 0);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(GetParamValue("P1=1;P2=22;P3=x", "P2", &value), 0);
  EXPECT_EQ(value, 22);
  EXPECT_EQ(GetParamValue("P1=1;P2=22;P3=x", "P3", &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(GetParamValue("P1=-4", "P1", &value), 0);
  EXPECT_EQ(value, -4);
  EXPECT_EQ(GetParamValue("P1=99999999999999999999", "P1", &value), 0);
  EXPECT_EQ(value, INT_MAX);
  value = 5;
  EXPECT_EQ(GetParamValue("P1=1", "P4", &value), -1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(GetParamValue("P4", "P4", &value), -1);
}

TEST(GetParamValue, MissingArgumentIsReported) {
  cadhost::startTestSession();
  int value = 0;
  EXPECT_EQ(GetParamValue(nullptr, "D", &value), -1);
  EXPECT_EQ(GetParamValue("D=1", "D", nullptr), -1);
  EXPECT_NE(cadhost::takeOutput().find("Zephyr: GetParamValue wrong parameters params = "),
            std::string::npos);
  cadhost::endTestSession();
}

TEST_F(DeviceBlock, RoundConnectionsTakeDiameterAndPointsOfTheirSlots) {
  GraphicalPart part("ROUND", 'D');
  EXPECT_EQ(device_get_connections(db_, part), 0);
  EXPECT_EQ(part.description, "Round unit");
  ASSERT_EQ(part.connections.size(), 2u);
  const DuctConnectionData& supply = part.connections.at(CONN_SUPPLY);
  EXPECT_EQ(supply.modelConnectionId, 201);
  EXPECT_TRUE(near(supply.size.x, 250) && near(supply.size.y, 0));
  EXPECT_TRUE(near(supply.position.x, 1000) && near(supply.position.y, 150) &&
              near(supply.position.z, 400));
  EXPECT_TRUE(near(supply.direction.x, 1) && near(supply.normal.z, 1));
  const DuctConnectionData& extract = part.connections.at(CONN_EXTRACT);
  EXPECT_EQ(extract.modelConnectionId, 202);
  EXPECT_TRUE(near(extract.size.x, 250) && near(extract.size.y, 0));
  EXPECT_TRUE(near(extract.position.y, 450));
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(DeviceBlock, ExistingEntryKeepsItsOtherFields) {
  UnitRecord unit;
  unit.productDb = db_;
  unit.parts[0].name = "ROUND";
  unit.parts[0].connections[CONN_SUPPLY].systemId = 17;
  unit.parts[0].connections[CONN_SUPPLY].airflow = 450;
  unit.parts.emplace_back("RECT", 'D');
  EXPECT_EQ(devices_get_connections(&unit), 0);
  const DuctConnectionData& supply = unit.parts[0].connections.at(CONN_SUPPLY);
  EXPECT_EQ(supply.systemId, 17);
  EXPECT_EQ(supply.airflow, 450);
  EXPECT_EQ(supply.modelConnectionId, 201);
  EXPECT_EQ(unit.parts[0].connections.size(), 5u);
  // Rectangle: B x H for every connection of the model.
  const ConnectionMap& rect = unit.parts[1].connections;
  ASSERT_EQ(rect.size(), 2u);
  for (const auto& c : rect) EXPECT_TRUE(near(c.second.size.x, 600) && near(c.second.size.y, 400));
  EXPECT_EQ(rect.at(CONN_EXHAUST).modelConnectionId, 204);
  EXPECT_EQ(devices_get_connections(nullptr), -1);
}

TEST_F(DeviceBlock, ExtractPlugReadsPoint249ButMessagesName203) {
  GraphicalPart part("PLUG", 'D');
  EXPECT_EQ(device_get_connections(db_, part), 0);
  ASSERT_EQ(part.connections.count(CONN_EXTRACT_PLUG), 1u);
  const DuctConnectionData& plug = part.connections.at(CONN_EXTRACT_PLUG);
  EXPECT_EQ(plug.modelConnectionId, 249);
  EXPECT_TRUE(near(plug.position.z, 800) && near(plug.direction.z, 1));

  // Slot 6 draws no connection point: the message names 206, not 249.
  GraphicalPart lost("PLUGLOST", 'D');
  cadhost::takeOutput();
  EXPECT_EQ(device_get_connections(db_, lost), -9);
  EXPECT_NE(cadhost::takeOutput().find(
                "Zephyr: Can't get position of duct connection 206 for device 'PLUGLOST'."),
            std::string::npos);
}

TEST_F(DeviceBlock, WrongTypeStopsTheReadingAndKeepsEarlierConnections) {
  GraphicalPart part("WRONG", 'D');
  cadhost::takeOutput();
  EXPECT_EQ(device_get_connections(db_, part), -7);
  EXPECT_NE(cadhost::takeOutput().find(
                "Zephyr: Wrong duct connection type = 7 for device 'WRONG'."),
            std::string::npos);
  EXPECT_EQ(part.connections.count(CONN_SUPPLY), 1u);
  EXPECT_EQ(part.connections.count(CONN_OUTDOOR), 0u);  // P3 after the failure: not read
}

TEST_F(DeviceBlock, ZeroOrMissingTypeIsSkippedSilently) {
  GraphicalPart part("SKIP", 'D');
  EXPECT_EQ(device_get_connections(db_, part), 0);
  EXPECT_EQ(part.connections.size(), 2u);
  EXPECT_EQ(part.connections.at(CONN_EXTRACT).modelConnectionId, 205);
  std::string out = cadhost::takeOutput();
  EXPECT_EQ(out.find("duct connection"), std::string::npos);
}

TEST_F(DeviceBlock, SizeComesFromTheFirstNameFollowedByEquals) {
  GraphicalPart part("AD", 'D');
  EXPECT_EQ(device_get_connections(db_, part), 0);
  EXPECT_TRUE(near(part.connections.at(CONN_SUPPLY).size.x, 3));
}

TEST_F(DeviceBlock, EachMissingPieceHasItsResultAndMessage) {
  struct Case {
    const char* id;
    int result;
    const char* message;
  } cases[] = {
      {"NOSIZE", -8, "Zephyr: Can't get dimensions of duct connection 201 for device 'NOSIZE'."},
      {"NOPOINT", -9, "Zephyr: Can't get position of duct connection 206 for device 'NOPOINT'."},
      {"NOPARAMS", -4, "Zephyr: Can't get teksolid parameters for device 'NOPARAMS'."},
      {"NOMODEL", -5, "Zephyr: No AID_DESCRIPTIONGBR for device 'NOMODEL'."},
      {"UNKNOWN", -4, "Zephyr: No AID_DESCRIPTIONGBR for device 'UNKNOWN'."},
  };
  for (const Case& c : cases) {
    GraphicalPart part(c.id, 'D');
    cadhost::takeOutput();
    EXPECT_EQ(device_get_connections(db_, part), c.result) << c.id;
    EXPECT_NE(cadhost::takeOutput().find(c.message), std::string::npos) << c.id;
  }
  GraphicalPart closed("ROUND", 'D');
  EXPECT_EQ(device_get_connections(-1, closed), -4);
}

// The description attribute is longer than the 1024-byte buffer: it must come back whole.
TEST_F(DeviceBlock, LongDescriptionIsNotCut) {
  GraphicalPart part("LONG", 'D');
  EXPECT_EQ(device_get_connections(db_, part), 0);
  EXPECT_EQ(part.description, kLongDescription);
}

TEST_F(DeviceBlock, InsertBuildsZephyrBlockAndRecordsWhereTheUserPutIt) {
  GraphicalPart part("ROUND", 'D');
  cadhost::addAnswers({"100,200", "90"});
  EXPECT_EQ(device_insert_block(db_, part), 0);
  ASSERT_FALSE(part.blockRefId.isNull());
  EXPECT_TRUE(hasBlock(L"Zephyr1"));
  EXPECT_TRUE(near(part.position.x, 100) && near(part.position.y, 200));
  EXPECT_NEAR(part.direction.x, 0, 1e-9);
  EXPECT_NEAR(part.direction.y, 1, 1e-9);
  EXPECT_TRUE(near(part.normal.z, 1));
  AcDbBlockReference* ref = nullptr;
  ASSERT_EQ(acdbOpenObject(ref, part.blockRefId, AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecord* block = nullptr;
  ASSERT_EQ(acdbOpenObject(block, ref->blockTableRecord(), AcDb::kForRead), Acad::eOk);
  EXPECT_FALSE(block->entities().empty());
  EXPECT_EQ(block->name(), L"Zephyr1");
  block->close();
  ref->close();

  // Already inserted: nothing more, whatever the user would answer.
  AcDbObjectId first = part.blockRefId;
  EXPECT_EQ(device_insert_block(db_, part), 0);
  EXPECT_EQ(part.blockRefId, first);
  EXPECT_FALSE(hasBlock(L"Zephyr2"));
}

// A cancelled insertion left its block "ZephyrN" in the drawing with nothing referring to it.
TEST_F(DeviceBlock, CancelledInsertTakesItsBlockAwayAndSaysNothing) {
  GraphicalPart part("ROUND", 'D');
  cadhost::addAnswers({"*cancel*"});
  cadhost::takeOutput();
  EXPECT_EQ(device_insert_block(db_, part), -6);
  EXPECT_TRUE(part.blockRefId.isNull());
  EXPECT_FALSE(hasBlock(L"Zephyr1"));
  EXPECT_TRUE(block_get_last_entity().isNull());
  EXPECT_EQ(cadhost::takeOutput().find("Zephyr:"), std::string::npos);
}

TEST_F(DeviceBlock, InsertWithoutModelFailsBeforeAnyBlock) {
  GraphicalPart noParams("NOPARAMS", 'D');
  EXPECT_EQ(device_insert_block(db_, noParams), -4);
  EXPECT_NE(cadhost::takeOutput().find(
                "Zephyr: Can't get teksolid parameters for device NOPARAMS."),
            std::string::npos);
  GraphicalPart noModel("NOMODEL", 'D');
  EXPECT_EQ(device_insert_block(db_, noModel), -5);
  EXPECT_FALSE(hasBlock(L"Zephyr1"));
}

// The import's connections and block share one drawing of a model: the steps give what they
// give alone, a model that cannot be drawn fails (and says so) at each step, and the shared
// drawings end with their scope.
TEST_F(DeviceBlock, SharedDrawingsDrawEachModelOnceAndChangeNoResult) {
  static int draws;
  draws = 0;
  setDeviceDrawInspectorForTests([](const tp_context*, const ts_model*) { ++draws; });
  GraphicalPart alone("ROUND", 'D');
  EXPECT_EQ(device_get_connections(db_, alone), 0);
  EXPECT_EQ(draws, 1);
  {
    SharedDeviceDrawings shared;
    SharedDeviceDrawings inner;  // shares nothing of its own, frees nothing at its end
    GraphicalPart part("ROUND", 'D'), noModel("NOMODEL", 'D');
    EXPECT_EQ(device_get_connections(db_, part), 0);
    cadhost::takeOutput();
    EXPECT_EQ(device_get_connections(db_, noModel), -5);
    EXPECT_EQ(device_insert_block(db_, noModel), -5);
    const std::string said = cadhost::takeOutput();
    const std::string failure = "Can't find teksolid with id='NOMODEL'";
    EXPECT_NE(said.find(failure, said.find(failure) + 1), std::string::npos) << said;
    draws = 0;
    cadhost::addAnswers({"0,0", "0"});
    EXPECT_EQ(device_insert_block(db_, part), 0);
    EXPECT_EQ(device_get_connections(db_, part), 0);
    EXPECT_EQ(draws, 0);
    ASSERT_EQ(part.connections.size(), alone.connections.size());
    for (const auto& c : alone.connections)
      EXPECT_TRUE(near(part.connections[c.first].position.x, c.second.position.x));
    EXPECT_TRUE(hasBlock(L"Zephyr1"));
  }
  GraphicalPart after("ROUND", 'D');
  EXPECT_EQ(device_get_connections(db_, after), 0);
  EXPECT_EQ(draws, 1);
  setDeviceDrawInspectorForTests(nullptr);
}
