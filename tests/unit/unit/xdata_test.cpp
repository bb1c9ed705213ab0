// Guards the unit's extended data: values must come back as written (long texts whole),
// items keep their place, and a damaged record is reported, never half-trusted.
#include "xdata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "arxhost.h"
#include "hosttest.h"
#include "text.h"

namespace {

AcDbObjectId addLine() {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  AcDbBlockTableRecord* ms = nullptr;
  EXPECT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  AcDbObjectId id;
  EXPECT_EQ(ms->appendAcDbEntity(id, line), Acad::eOk);
  line->close();
  ms->close();
  return id;
}

// The item texts of the object's "ZEPH" data, in order.
std::vector<std::string> items(AcDbObjectId id) {
  std::vector<std::string> texts;
  AcDbObject* object = nullptr;
  EXPECT_EQ(acdbOpenAcDbObject(object, id, AcDb::kForRead), Acad::eOk);
  resbuf* chain = object->xData(L"ZEPH");
  object->close();
  for (resbuf* rb = chain ? chain->rbnext : nullptr; rb; rb = rb->rbnext)
    if (rb->restype == 1000) texts.push_back(narrow(rb->resval.rstring));
  acutRelRb(chain);
  return texts;
}

UnitRecord sampleUnit(AcDbObjectId id) {
  UnitRecord unit;
  unit.parts[0].blockRefId = id;
  unit.parts[0].name = "VH-AHU-14A";
  unit.unitCode = "AHU14A-R";
  unit.objectId = "4711";
  unit.description = "Unit \xC3\xA4 14A";
  unit.itemCode = "ITEM-0014";
  unit.modelDatabaseUrl = "http://127.0.0.1:8765/selector/Ventholm_14a.tcdz";
  unit.externalComponentDistance = 949.6;
  for (int band = 0; band < kSoundBands; ++band) unit.surroundingSound[band] = 60.4 + band;
  double flow = 1000.126;
  for (auto& entry : unit.parts[0].connections) {
    entry.second.airflow = flow;
    entry.second.pressure = flow / 4;
    entry.second.dcHandle = "1A" + std::to_string(entry.first);
    for (int band = 0; band < kSoundBands; ++band) {
      entry.second.soundGeneration[band] = 70.6 + band;
      entry.second.soundAttenuation[band] = band + 0.2;
    }
    flow += 100;
  }
  return unit;
}

struct XData : ::testing::Test {
  void SetUp() override {
    cadhost::startTestSession();
    id = addLine();
  }
  void TearDown() override { cadhost::endTestSession(); }

  // Opens the line for write for one store operation.
  template <class Op>
  int withObject(Op op) {
    AcDbObject* object = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(object, id, AcDb::kForWrite), Acad::eOk);
    int result = op(object);
    object->close();
    return result;
  }

  AcDbObjectId id;
};

TEST_F(XData, UnitRoundTripsWithTheStoredPrecision) {
  UnitRecord written = sampleUnit(id);
  ASSERT_EQ(xdata_write_unit(&written), 0);
  UnitRecord read;
  read.parts[0].blockRefId = id;
  ASSERT_EQ(xdata_read_unit(&read), 0) << cadhost::takeOutput();
  EXPECT_EQ(read.version, "200811");
  EXPECT_EQ(read.parts[0].name, "VH-AHU-14A");
  EXPECT_EQ(read.unitCode, "AHU14A-R");
  EXPECT_EQ(read.objectId, "4711");
  EXPECT_EQ(read.description, written.description);
  EXPECT_EQ(read.itemCode, "ITEM-0014");
  EXPECT_EQ(read.modelDatabaseUrl, written.modelDatabaseUrl);
  EXPECT_EQ(read.externalComponentDistance, 950.0);
  EXPECT_EQ(read.surroundingSound[0], 60.0);
  EXPECT_EQ(read.surroundingSound[7], 67.0);
  for (ConnectionType type : {CONN_SUPPLY, CONN_EXTRACT, CONN_OUTDOOR, CONN_EXHAUST}) {
    const DuctConnectionData& w = written.parts[0].connections[type];
    const DuctConnectionData& r = read.parts[0].connections[type];
    EXPECT_NEAR(r.airflow, w.airflow, 0.005 + 1e-9) << type;
    EXPECT_NEAR(r.pressure, w.pressure, 0.005 + 1e-9) << type;
    EXPECT_EQ(r.soundGeneration[0], std::round(w.soundGeneration[0])) << type;
    EXPECT_EQ(r.soundAttenuation[7], std::round(w.soundAttenuation[7])) << type;
    EXPECT_EQ(r.dcHandle, w.dcHandle) << type;
  }
  // The plug is not stored: it keeps the fresh record's values.
  EXPECT_EQ(read.parts[0].connections[CONN_EXTRACT_PLUG].airflow, 0);
  EXPECT_TRUE(read.parts[0].connections[CONN_EXTRACT_PLUG].dcHandle.empty());

  std::vector<std::string> texts = items(id);
  ASSERT_EQ(texts.size(), 9u + 4 * 5);
  EXPECT_EQ(texts[0], "U.ZEVER=200811");
  EXPECT_EQ(texts[7], "U.SNDSURR=60 61 62 63 64 65 66 67");
  EXPECT_EQ(texts[8], "U.EXTCOMPDIST=950");
  EXPECT_EQ(texts[9], "C.SUP1.QV=1000.13");
  EXPECT_EQ(texts[14], "C.EXT1.QV=1100.13");
  EXPECT_EQ(texts[24], "C.EXH1.QV=1300.13");
}

TEST_F(XData, SecondWriteReplacesInPlaceAndEmptyValuesKeepOldItems) {
  UnitRecord unit = sampleUnit(id);
  ASSERT_EQ(xdata_write_unit(&unit), 0);
  std::vector<std::string> first = items(id);
  unit.unitCode = "CHANGED";
  unit.objectId.clear();
  unit.parts[0].connections[CONN_OUTDOOR].dcHandle.clear();
  ASSERT_EQ(xdata_write_unit(&unit), 0);
  std::vector<std::string> second = items(id);
  ASSERT_EQ(second.size(), first.size());
  EXPECT_EQ(second[2], "U.CODE=CHANGED");
  EXPECT_EQ(second[3], "U.ZEOID=4711");
  for (size_t i = 0; i < first.size(); ++i)
    EXPECT_EQ(second[i].substr(0, second[i].find('=')), first[i].substr(0, first[i].find('=')));

  UnitRecord read;
  read.parts[0].blockRefId = id;
  ASSERT_EQ(xdata_read_unit(&read), 0);
  EXPECT_EQ(read.parts[0].connections[CONN_OUTDOOR].dcHandle, "1A3");
  EXPECT_EQ(withObject([](AcDbObject* o) { return xdata_remove_key(o, "ZEPH", "c.out1.dch"); }), 1);
  ASSERT_EQ(xdata_read_unit(&read), 0);
  EXPECT_TRUE(read.parts[0].connections[CONN_OUTDOOR].dcHandle.empty());
}

TEST_F(XData, StoreResultsAndKeyMatching) {
  withObject([](AcDbObject* o) {
    EXPECT_EQ(xdata_set_text(o, "ZEPH", "u.code", "lower"), 0);
    EXPECT_EQ(xdata_set_text(o, "ZEPH", "K", ""), -2);
    EXPECT_EQ(xdata_set_text(o, "ZEPH", nullptr, "v"), -1);
    EXPECT_EQ(xdata_set_text(nullptr, "ZEPH", "K", "v"), -1);
    EXPECT_EQ(xdata_set_double(o, "ZEPH", "D", 2.345, 1), 0);
    return 0;
  });
  char buffer[4];
  withObject([&](AcDbObject* o) {
    std::string value;
    EXPECT_EQ(xdata_get_text(o, "ZEPH", "U.CODE", value), 5);
    EXPECT_EQ(value, "lower");
    EXPECT_EQ(xdata_get_text(o, "ZEPH", "U.CODE", buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "low");
    EXPECT_EQ(xdata_get_text(o, "ZEPH", "none", buffer, sizeof buffer), -1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(xdata_get_text(o, "OTHER", "U.CODE", buffer, sizeof buffer), -2);
    EXPECT_EQ(xdata_get_text(o, "ZEPH", "U.CODE", buffer, 0), -1);
    double d = 7;
    EXPECT_EQ(xdata_get_double(o, "ZEPH", "D", d), 1);
    EXPECT_DOUBLE_EQ(d, 2.3);
    EXPECT_EQ(xdata_get_double(o, "ZEPH", "U.CODE", d), 0);
    EXPECT_EQ(d, 0.0);
    d = 7;
    EXPECT_EQ(xdata_get_double(o, "OTHER", "D", d), -2);
    EXPECT_EQ(d, 0.0);
    double bands[kSoundBands] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(xdata_set_text(o, "ZEPH", "N", "1 2 3"), 0);
    EXPECT_EQ(xdata_get_numbers(o, "ZEPH", "N", bands), 3);
    EXPECT_EQ(bands[2], 3);
    EXPECT_EQ(bands[3], 9);
    EXPECT_EQ(xdata_get_numbers(o, "ZEPH", "missing", bands), -2);
    EXPECT_EQ(xdata_remove_key(o, "OTHER", "N"), 0);
    return 0;
  });
}

TEST_F(XData, ItemsThatAreNoKeyValuePairsAreSkipped) {
  const std::string longKey(40, 'K');
  withObject([&](AcDbObject* o) {
    acdbRegApp(L"ZEPH");
    resbuf* chain =
        acutBuildList(1001, L"ZEPH", 1000, L"no separator", 1000, widen(longKey + "=long").c_str(),
                      1000, L"\t=blank key", 1000, L"  U.CODE =spaced", 0);
    EXPECT_EQ(o->setXData(chain), Acad::eOk);
    acutRelRb(chain);
    std::string value;
    EXPECT_EQ(xdata_get_text(o, "ZEPH", longKey.c_str(), value), -1);
    EXPECT_EQ(xdata_get_text(o, "ZEPH", "", value), -1);
    EXPECT_EQ(xdata_get_text(o, "ZEPH", "U.CODE", value), 6);
    EXPECT_EQ(value, "spaced");
    return 0;
  });
}

TEST_F(XData, ObjectWithoutUnitDataFailsAtTheId) {
  UnitRecord unit;
  unit.parts[0].blockRefId = id;
  cadhost::takeOutput();
  EXPECT_EQ(xdata_read_unit(&unit), -1);
  EXPECT_NE(cadhost::takeOutput().find("\nZephyr: Can't load xdata U.ID\n"), std::string::npos);

  unit.parts[0].blockRefId = AcDbObjectId::kNull;
  EXPECT_EQ(xdata_read_unit(&unit), -1);
  EXPECT_NE(cadhost::takeOutput().find("\nZephyr: Can't load xdata\n"), std::string::npos);
  EXPECT_EQ(xdata_read_unit(nullptr), -1);
  EXPECT_EQ(xdata_write_unit(nullptr), -1);
  EXPECT_EQ(xdata_write_unit(&unit), -2);

  // An object open for write elsewhere cannot be opened.
  UnitRecord other = sampleUnit(id);
  AcDbObject* open = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(open, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(xdata_write_unit(&other), -3);
  EXPECT_EQ(xdata_read_unit(&other), -1);
  open->close();
  EXPECT_NE(cadhost::takeOutput().find("\nZephyr: Can't load xdata\n"), std::string::npos);
}

TEST_F(XData, MissingConnectionKeyNamesTheFullKey) {
  UnitRecord unit = sampleUnit(id);
  ASSERT_EQ(xdata_write_unit(&unit), 0);
  withObject([](AcDbObject* o) { return xdata_remove_key(o, "ZEPH", "C.OUT1.DP"); });
  UnitRecord read;
  read.parts[0].blockRefId = id;
  cadhost::takeOutput();
  EXPECT_EQ(xdata_read_unit(&read), -1);
  EXPECT_NE(cadhost::takeOutput().find("\nZephyr: Can't load xdata C.OUT1.DP\n"),
            std::string::npos);
  EXPECT_EQ(read.parts[0].connections[CONN_EXTRACT].dcHandle, "1A2");  // read before the fault
}

TEST_F(XData, ComponentDistanceMissingOrNotANumber) {
  UnitRecord unit = sampleUnit(id);
  ASSERT_EQ(xdata_write_unit(&unit), 0);
  withObject([](AcDbObject* o) { return xdata_remove_key(o, "ZEPH", "U.EXTCOMPDIST"); });
  UnitRecord read;
  read.parts[0].blockRefId = id;
  read.externalComponentDistance = 5;
  ASSERT_EQ(xdata_read_unit(&read), 0);
  EXPECT_EQ(read.externalComponentDistance, 1300.0);
  withObject([](AcDbObject* o) { return xdata_set_text(o, "ZEPH", "U.EXTCOMPDIST", "far"); });
  ASSERT_EQ(xdata_read_unit(&read), 0);
  EXPECT_EQ(read.externalComponentDistance, 0.0);
}

TEST_F(XData, LongDescriptionComesBackWhole) {
  UnitRecord unit = sampleUnit(id);
  unit.description.clear();
  for (int i = 0; i < 100; ++i)
    unit.description +=
        "Des\xC3\xA9"
        "1234 ";  // 1000 bytes
  ASSERT_EQ(unit.description.size(), 1000u);
  ASSERT_EQ(xdata_write_unit(&unit), 0);
  UnitRecord read;
  read.parts[0].blockRefId = id;
  ASSERT_EQ(xdata_read_unit(&read), 0);
  EXPECT_EQ(read.description, unit.description);
  char small[256];
  withObject(
      [&](AcDbObject* o) { return xdata_get_text(o, "ZEPH", "U.DESC", small, sizeof small); });
  EXPECT_LE(std::strlen(small), 255u);
  EXPECT_EQ(unit.description.compare(0, std::strlen(small), small), 0);

  // The host keeps 255 bytes in one item: the value goes on in items of the store's own,
  // right after its key's item, each cut at a whole character.
  std::vector<std::string> texts = items(id);
  size_t at = 0;
  while (at < texts.size() && texts[at].compare(0, 7, "U.DESC=") != 0) ++at;
  ASSERT_LT(at, texts.size());
  std::string joined = texts[at].substr(7);
  size_t next = at + 1;
  for (; next < texts.size() && texts[next][0] == '='; ++next) joined += texts[next].substr(1);
  EXPECT_EQ(next - at, 4u);  // 248 + 254 + 254 + 244 bytes
  EXPECT_EQ(joined, unit.description);
  ASSERT_LT(next, texts.size());
  EXPECT_EQ(texts[next].compare(0, 11, "U.ITEMCODE="), 0);
  for (const std::string& t : texts) EXPECT_LE(t.size(), 255u);

  // A shorter value replaces the item and its continuations in place; removing the key
  // removes them all.
  ASSERT_EQ(withObject([](AcDbObject* o) { return xdata_set_text(o, "ZEPH", "u.desc", "short"); }), 0);
  texts = items(id);
  EXPECT_EQ(texts[at], "u.desc=short");  // the key as the caller wrote it
  EXPECT_EQ(texts[at + 1].compare(0, 11, "U.ITEMCODE="), 0);
  ASSERT_EQ(withObject([&](AcDbObject* o) { return xdata_set_text(o, "ZEPH", "U.DESC", unit.description.c_str()); }),
            0);
  EXPECT_EQ(withObject([](AcDbObject* o) { return xdata_remove_key(o, "ZEPH", "U.DESC"); }), 1);
  EXPECT_EQ(items(id).size(), texts.size() - 1);
}

// A value beyond the host's 16 KB for one object is reported with its key and the
// writing ends (it was once dropped without a word).
TEST_F(XData, OverflowOfTheObjectIsReported) {
  UnitRecord unit = sampleUnit(id);
  unit.description.assign(20000, 'd');
  cadhost::takeOutput();
  EXPECT_EQ(xdata_write_unit(&unit), -4);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Can't save xdata U.DESC\n");
  EXPECT_EQ(withObject([&](AcDbObject* o) { return xdata_set_text(o, "ZEPH", "U.X", unit.description.c_str()); }), -3);
  std::vector<std::string> texts = items(id);
  EXPECT_EQ(texts.back(), "U.ZEOID=4711");  // what came before the failing key stays
}

}  // namespace
