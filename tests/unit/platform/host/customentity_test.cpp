// Guards the custom entities of application modules against a drawing that loses them:
// saved without their class in CLASSES, their own groups or the proxy graphics other
// readers draw; read back as something else while their module is loaded; changed or lost
// through a save while it is not; their erasing done without asking their class.
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include "arxhost.h"
#include "hosttest.h"
#include "test_temp.h"

namespace {
// A sign: a circle with a line from its centre, and a block drawn at its centre.
class TestSign : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(TestSign);
  AcGePoint3d center;
  double radius = 1;
  std::wstring label;
  std::wstring block;  // a block of its drawing
  bool refuseErase = false;
  static bool drawNothing;  // as an entity whose module has lost what it draws

  Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* f) const override {
    f->writeString(AcDb::kDxfSubclass, L"TestSign");
    f->writePoint3d(AcDb::kDxfXCoord, center);
    f->writeDouble(AcDb::kDxfReal, radius);
    f->writeString(AcDb::kDxfText, label.c_str());
    f->writeString(AcDb::kDxfBlockName, block.c_str());
    return f->filerStatus();
  }
  Acad::ErrorStatus dxfInFields(AcDbDxfFiler* f) override {
    if (!f->atSubclassData(L"TestSign")) return f->setError(Acad::eBadDxfSequence, L"no TestSign data");
    resbuf rb;
    Acad::ErrorStatus es;
    while ((es = f->readResBuf(&rb)) == Acad::eOk) {
      if (rb.restype == 10) center.set(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]);
      else if (rb.restype == 40) radius = rb.resval.rreal;
      else if (rb.restype == 1) label = rb.resval.rstring;
      else if (rb.restype == 2) block = rb.resval.rstring;
      else return f->setError(Acad::eBadDxfSequence, L"group %d", rb.restype);
    }
    return es == Acad::eEndOfFile ? Acad::eOk : es;
  }

 protected:
  Adesk::Boolean subWorldDraw(AcGiWorldDraw* mode) override {
    if (drawNothing) return Adesk::kTrue;
    mode->geometry().circle(center, radius, AcGeVector3d::kZAxis);
    const AcGePoint3d line[2] = {center, center + AcGeVector3d(radius, 0, 0)};
    mode->geometry().polyline(2, line);
    AcDbBlockTable* table = nullptr;
    AcDbObjectId id;
    if (database() && database()->getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
      table->getAt(block.c_str(), id);
      table->close();
    }
    if (!id.isNull()) {
      AcDbBlockReference ref(center, id);
      mode->geometry().draw(&ref);
    }
    return Adesk::kTrue;
  }
  Acad::ErrorStatus subErase(Adesk::Boolean) override { return refuseErase ? Acad::eNotApplicable : Acad::eOk; }
};
bool TestSign::drawNothing = false;

ACRX_DXF_DEFINE_MEMBERS(TestSign, AcDbEntity, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                        AcDbProxyEntity::kEraseAllowed, TESTSIGN, L"HostTests")

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

AcDbObjectId append(AcDbDatabase* db, AcDbObjectId space, AcDbEntity* e) {
  AcDbBlockTableRecord* btr = nullptr;
  EXPECT_EQ(acdbOpenObject(btr, space, AcDb::kForWrite), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(btr->appendAcDbEntity(id, e), Acad::eOk);
  e->close();
  btr->close();
  return id;
}

// The proxy graphics of the first entity of that type: the bytes of its 310 groups.
std::string graphicsOf(const std::string& dxf, const std::string& type) {
  size_t at = dxf.find("  0\n" + type + "\n"), end = dxf.find("  0\n", at + 4);
  std::string bytes;
  for (size_t g = dxf.find("310\n", at); g < end; g = dxf.find("310\n", g + 4)) {
    const size_t eol = dxf.find('\n', g + 4);
    for (size_t i = g + 4; i + 1 < eol; i += 2) bytes += char(std::stoi(dxf.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

struct Record {
  int32_t type;
  std::vector<double> values;  // the data read as doubles after any leading count
};
std::vector<Record> records(const std::string& g) {
  std::vector<Record> out;
  for (size_t at = 8; at + 8 <= g.size();) {
    int32_t size, type;
    std::memcpy(&size, &g[at], 4);
    std::memcpy(&type, &g[at + 4], 4);
    Record r{type, {}};
    const size_t data = at + 8 + (type == 6 || type == 7 ? 4 : 0);
    for (size_t k = data; k + 8 <= at + size_t(size); k += 8) {
      double v;
      std::memcpy(&v, &g[k], 8);
      r.values.push_back(v);
    }
    out.push_back(r);
    at += size_t(size);
  }
  return out;
}

// Where two texts part, for a short failure message.
std::string parting(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return "at " + std::to_string(i) + ": \"" + a.substr(i, 60) + "\" / \"" + b.substr(i, 60) + "\"";
}
#define EXPECT_SAME_TEXT(a, b)                  \
  do {                                          \
    const std::string x_ = (a), y_ = (b);       \
    EXPECT_TRUE(x_ == y_) << parting(x_, y_);   \
  } while (0)

struct CustomEntity : ::testing::Test {
  void SetUp() override {
    cadhost::startTestSession();
    TestSign::rxInit();
    acrxBuildClassHierarchy();
  }
  void TearDown() override {
    deleteAcRxClass(TestSign::desc());
    TestSign::drawNothing = false;
    cadhost::endTestSession();
    std::remove(path.c_str());
  }
  // A drawing with a block "Mark" (a line from 0,0 to 0,5) and a sign at 10,20 of radius 3
  // that draws it; saved to path. The sign's id.
  AcDbObjectId makeSign(AcDbDatabase* db) {
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* mark = new AcDbBlockTableRecord;
    mark->setName(L"Mark");
    AcDbObjectId markId;
    EXPECT_EQ(table->add(markId, mark), Acad::eOk);
    mark->close();
    table->close();
    append(db, markId, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 5, 0)));
    auto* sign = new TestSign;
    sign->center.set(10, 20, 0);
    sign->radius = 3;
    sign->label = L"caf\u00e9";
    sign->block = L"Mark";
    const AcDbObjectId id = append(db, db->modelSpaceId(), sign);
    acdbRegApp(L"ZEPH");
    resbuf* rb = acutBuildList(1001, L"ZEPH", 1000, L"U.ID=7", 0);
    AcDbObject* o = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(o->setXData(rb), Acad::eOk);
    o->close();
    acutRelRb(rb);
    EXPECT_EQ(db->dxfOut(wide(path).c_str()), Acad::eOk);
    return id;
  }
  // Reads path into a new drawing and writes it back to path: the text written.
  std::string roundTrip(AcDbDatabase& db) {
    EXPECT_EQ(db.dxfIn(wide(path).c_str()), Acad::eOk);
    EXPECT_EQ(db.dxfOut(wide(path).c_str()), Acad::eOk);
    return readText(path);
  }
  std::string path = "/tmp/cadhost_custom_" + std::to_string(getpid()) + ".dxf";
};
}  // namespace

TEST_F(CustomEntity, SavedWithClassGraphicsAndGroupsAndReadBackAsItsClass) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  const AcDbObjectId id = makeSign(db);
  const std::string written = readText(path);
  EXPECT_NE(written.find("  0\nCLASS\n  1\nTESTSIGN\n  2\nTestSign\n  3\nHostTests\n 90\n1\n280\n0\n281\n1\n"),
            std::string::npos);
  EXPECT_NE(written.find("100\nTestSign\n 10\n10.0\n 20\n20.0\n 30\n0.0\n 40\n3.0\n  1\ncaf\xe9\n  2\nMark\n"
                         "1001\nZEPH\n"),
            std::string::npos);
  const std::string g = graphicsOf(written, "TESTSIGN");
  int32_t total;
  ASSERT_GE(g.size(), 8u);
  std::memcpy(&total, g.data(), 4);
  EXPECT_EQ(size_t(total), g.size());
  EXPECT_NE(written.find(" 92\n" + std::to_string(g.size()) + "\n310\n"), std::string::npos);
  const std::vector<Record> r = records(g);
  ASSERT_EQ(r.size(), 4u);  // extents, circle, its line, the block's line carried to the centre
  EXPECT_EQ(r[0].type, 1);
  EXPECT_EQ(r[0].values, (std::vector<double>{7, 17, 0, 13, 25, 0}));
  EXPECT_EQ(r[1].type, 2);
  EXPECT_EQ(r[1].values, (std::vector<double>{10, 20, 0, 3, 0, 0, 1}));
  EXPECT_EQ(r[2].type, 6);
  EXPECT_EQ(r[3].type, 6);
  EXPECT_EQ(r[3].values, (std::vector<double>{10, 20, 0, 10, 25, 0}));

  // Picked by a point on it, measured with the drawing.
  cadhost::addAnswers({"13,20.01"});
  ads_name picked;
  ASSERT_EQ(acedEntSel(L"Select: ", picked, nullptr), RTNORM);
  AcDbObjectId pickedId;
  acdbGetObjectId(pickedId, picked);
  EXPECT_EQ(pickedId, id);
  EXPECT_NE(written.find("  9\n$EXTMAX\n 10\n13.0\n 20\n25.0\n"), std::string::npos);

  // Read back as a sign with its groups and extended data; saved again the same.
  AcDbDatabase reread(false);
  EXPECT_SAME_TEXT(roundTrip(reread), written);
  TestSign* sign = nullptr;
  AcDbObjectId again;
  ASSERT_EQ(reread.getAcDbObjectId(again, false, id.handle()), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(sign, again, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(sign->radius, 3);
  EXPECT_EQ(sign->label, L"caf\u00e9");
  resbuf* xd = sign->xData(L"ZEPH");
  EXPECT_NE(xd, nullptr);
  acutRelRb(xd);
  sign->close();
}

TEST_F(CustomEntity, KeptAsReadWithoutItsClassAndTakenOverWhenItComes) {
  const AcDbObjectId id = makeSign(acdbHostApplicationServices()->workingDatabase());
  const std::string written = readText(path);
  deleteAcRxClass(TestSign::desc());
  AcDbDatabase db(false);
  EXPECT_SAME_TEXT(roundTrip(db), written);
  AcDbObjectId signId;
  ASSERT_EQ(db.getAcDbObjectId(signId, false, id.handle()), Acad::eOk);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, signId, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(TestSign::cast(e), nullptr);
  e->close();
  // The module comes: the entity becomes a sign; it goes: kept as it would be written.
  TestSign::rxInit();
  ASSERT_EQ(acdbOpenObject(e, signId, AcDb::kForRead), Acad::eOk);
  ASSERT_NE(TestSign::cast(e), nullptr);
  EXPECT_EQ(TestSign::cast(e)->label, L"caf\u00e9");
  e->close();
  deleteAcRxClass(TestSign::desc());
  ASSERT_EQ(db.dxfOut(wide(path).c_str()), Acad::eOk);
  EXPECT_SAME_TEXT(readText(path), written);

  // Groups the class cannot read, and graphics an entity no longer draws, are kept.
  TestSign::rxInit();
  std::string odd = written;
  odd.insert(odd.find(" 40\n3.0\n"), " 70\n5\n");
  std::ofstream(path, std::ios::binary) << odd;
  AcDbDatabase kept(false);
  EXPECT_SAME_TEXT(roundTrip(kept), odd);
  TestSign::drawNothing = true;
  std::ofstream(path, std::ios::binary) << written;
  AcDbDatabase undrawn(false);
  EXPECT_SAME_TEXT(roundTrip(undrawn), written);
}

TEST_F(CustomEntity, ErasingAsksTheClass) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  auto* sign = new TestSign;
  sign->refuseErase = true;
  const AcDbObjectId id = append(db, db->modelSpaceId(), sign);
  AcDbObject* o = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(o->erase(), Acad::eNotApplicable);
  EXPECT_FALSE(id.isErased());
  static_cast<TestSign*>(o)->refuseErase = false;
  EXPECT_EQ(o->erase(), Acad::eOk);
  EXPECT_TRUE(id.isErased());
  o->close();
}
