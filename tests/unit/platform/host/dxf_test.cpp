// Guards against drawings that change on save and reload (geometry, handles, extended
// data, non-ASCII text) and against a reader that crashes or half-reads a damaged file.
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include "arxhost.h"
#include "hosttest.h"

namespace {
std::string tempPath(const char* name) {
  return "/tmp/cadhost_dxf_" + std::to_string(getpid()) + "_" + name;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string section(const std::string& dxf, const std::string& name) {
  size_t b = dxf.find("  2\n" + name + "\n");
  size_t e = dxf.find("  0\nENDSEC\n", b);
  return b == std::string::npos || e == std::string::npos ? "" : dxf.substr(b, e - b);
}

// Entities as the writer puts them: one table per kind, both directions.
const char* kEntities =
    "  2\nENTITIES\n"
    "  0\nLINE\n  5\n2A\n330\n1F\n100\nAcDbEntity\n  8\nDucts\n 62\n3\n100\nAcDbLine\n"
    " 10\n1.5\n 20\n2.0\n 30\n0.0\n 11\n10.0\n 21\n-4.25\n 31\n3.0\n"
    "1001\nZEPH\n1000\nU.ID=7\n1040\n2.5\n1070\n12\n1071\n70000\n1010\n1.0\n1020\n2.0\n1030\n3.0\n"
    "  0\nCIRCLE\n  5\n2B\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbCircle\n"
    " 10\n5.0\n 20\n6.0\n 30\n7.0\n 40\n2.0\n210\n1.0\n220\n0.0\n230\n0.0\n"
    "  0\nELLIPSE\n  5\n2C\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbEllipse\n"
    " 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n4.0\n 21\n0.0\n 31\n0.0\n 40\n0.5\n 41\n0.0\n 42\n3.0\n"
    "  0\n3DFACE\n  5\n2D\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbFace\n"
    " 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n 12\n1.0\n 22\n1.0\n 32\n0.0\n"
    " 13\n1.0\n 23\n1.0\n 33\n0.0\n 70\n4\n"
    "  0\nPOINT\n  5\n2E\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbPoint\n 10\n9.0\n 20\n9.0\n 30\n0.0\n"
    "  0\nINSERT\n  5\n2F\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockReference\n  2\nUnit1\n"
    " 10\n100.0\n 20\n50.0\n 30\n0.0\n 41\n1.0\n 42\n1.0\n 43\n1.0\n 50\n30.0\n";

std::string drawing(const std::string& entities) {
  return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$HANDSEED\n  5\n40\n  0\nENDSEC\n"
         "  0\nSECTION\n  2\nTABLES\n"
         "  0\nTABLE\n  2\nBLOCK_RECORD\n  5\n1\n 70\n1\n"
         "  0\nBLOCK_RECORD\n  5\n1F\n330\n1\n  2\n*Model_Space\n"
         "  0\nBLOCK_RECORD\n  5\n20\n330\n1\n  2\nUnit1\n  0\nENDTAB\n"
         "  0\nENDSEC\n"
         "  0\nSECTION\n  2\nBLOCKS\n"
         "  0\nBLOCK\n  5\n21\n330\n20\n  2\nUnit1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
         "  0\nLINE\n  5\n22\n330\n20\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n"
         "  0\nENDBLK\n  5\n23\n330\n20\n  0\nENDSEC\n"
         "  0\nSECTION\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
}

struct Dxf : ::testing::Test {
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override {
    cadhost::endTestSession();
    std::remove(in.c_str());
    std::remove(out.c_str());
  }
  std::string in = tempPath("in.dxf"), out = tempPath("out.dxf");
};
}  // namespace

TEST_F(Dxf, LiteralEntitiesComeBackUnchanged) {
  writeText(in, drawing(kEntities));
  AcDbDatabase db(false);
  std::wstring why;
  ASSERT_EQ(db.dxfIn(wide(in).c_str(), &why), Acad::eOk) << std::string(why.begin(), why.end());
  ASSERT_EQ(db.dxfOut(wide(out).c_str(), &why), Acad::eOk);
  std::string written = readText(out);
  EXPECT_EQ(section(written, "ENTITIES"), kEntities);
  EXPECT_NE(written.find("  9\n$HANDSEED\n  5\n"), std::string::npos);
  EXPECT_GE(db.handseed(), 0x40u);
  // Handles stay: the circle is still 2B; its centre came in object coordinates.
  AcDbObjectId id;
  ASSERT_EQ(db.getAcDbObjectId(id, false, AcDbHandle(0x2B)), Acad::eOk);
  AcDbCircle* c = nullptr;
  ASSERT_EQ(acdbOpenObject(c, id, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(c->center().isEqualTo(AcGePoint3d(7, 5, 6)));
  c->close();
  // The layer and application the entities name exist after reading.
  AcDbLayerTable* layers = nullptr;
  db.getLayerTable(layers, AcDb::kForRead);
  EXPECT_TRUE(layers->has(L"Ducts"));
  layers->close();
}

TEST_F(Dxf, SecondRoundTripIsIdentical) {
  writeText(in, drawing(kEntities));
  std::string first, second;
  {
    AcDbDatabase db(false);
    ASSERT_EQ(db.dxfIn(wide(in).c_str()), Acad::eOk);
    ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
    first = readText(out);
  }
  {
    AcDbDatabase db(false);
    ASSERT_EQ(db.dxfIn(wide(out).c_str()), Acad::eOk);
    ASSERT_EQ(db.dxfOut(wide(in).c_str()), Acad::eOk);
    second = readText(in);
  }
  EXPECT_EQ(first, second);
}

TEST_F(Dxf, NonAsciiAndLongTextsRoundTrip) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  std::wstring name = L"L\u00e4yer \u20ac \u4e2d\U0001F600";
  std::wstring longText = L"U.DESC=" + std::wstring(300, L'\u00e9') + std::wstring(700, L'x') + L"\u4e2d";
  AcDbLayerTable* layers = nullptr;
  db->getLayerTable(layers, AcDb::kForWrite);
  auto* rec = new AcDbLayerTableRecord;
  rec->setName(name.c_str());
  ASSERT_EQ(layers->add(rec), Acad::eOk);
  rec->close();
  layers->close();
  AcDbBlockTableRecord* ms = nullptr;
  acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForWrite);
  auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
  AcDbObjectId id;
  ASSERT_EQ(ms->appendAcDbEntity(id, line), Acad::eOk);
  ms->close();
  line->setLayer(name.c_str());
  acdbRegApp(L"ZEPH");
  resbuf* rb = acutBuildList(1001, L"ZEPH", 1000, longText.c_str(), 1000, L"short \\ text", 0);
  ASSERT_EQ(line->setXData(rb), Acad::eOk);
  acutRelRb(rb);
  line->close();
  AcDbHandle handle = id.handle();
  ASSERT_EQ(db->dxfOut(wide(out).c_str()), Acad::eOk);

  std::string written = readText(out);
  for (size_t pos = 0; (pos = written.find("\n1000\n", pos)) != std::string::npos; ++pos)
    EXPECT_LE(written.find('\n', pos + 6) - (pos + 6), 255u) << "an item longer than DXF allows";

  AcDbDatabase back(false);
  std::wstring why;
  ASSERT_EQ(back.dxfIn(wide(out).c_str(), &why), Acad::eOk);
  AcDbObjectId id2;
  ASSERT_EQ(back.getAcDbObjectId(id2, false, handle), Acad::eOk);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(e, id2, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(e->layerName(), name);
  ASSERT_EQ(e->xDataApps().size(), 1u);
  ASSERT_EQ(e->xDataApps()[0].items.size(), 2u);
  EXPECT_EQ(e->xDataApps()[0].items[0].text, longText);
  EXPECT_EQ(e->xDataApps()[0].items[1].text, L"short \\ text");
  e->close();
}

TEST_F(Dxf, MalformedFilesAreRefusedWithLineAndLeaveNothing) {
  const char* bad[] = {
      "",
      "garbage\n",
      "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\nabc\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n2A\n  0\nLINE\n  5\n2A\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  2\nNoSuchBlock\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n1001\nZEPH\n1002\n}\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n",
  };
  for (const char* text : bad) {
    writeText(in, text);
    AcDbDatabase db(false);
    std::wstring why;
    EXPECT_NE(db.dxfIn(wide(in).c_str(), &why), Acad::eOk) << text;
    EXPECT_NE(why.find(L"line "), std::wstring::npos) << text;
    EXPECT_TRUE(db.allObjectIds().empty()) << text;
  }
  AcDbDatabase db(false);
  EXPECT_EQ(db.dxfIn(L"/nonexistent/x.dxf"), Acad::eFileNotFound);
}

TEST_F(Dxf, EveryTruncationAndRandomDamageIsHandled) {
  std::string good = drawing(kEntities);
  std::vector<size_t> cuts;
  for (size_t i = 0; i < good.size(); ++i)
    if (good[i] == '\n') cuts.push_back(i + 1);
  for (size_t cut : cuts) {
    if (cut == good.size()) continue;
    writeText(in, good.substr(0, cut));
    AcDbDatabase db(false);
    std::wstring why;
    EXPECT_EQ(db.dxfIn(wide(in).c_str(), &why), Acad::eBadDxfSequence) << cut;
    EXPECT_TRUE(db.allObjectIds().empty());
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = good;
    for (int k = 0; k < 3; ++k) damaged[rng() % damaged.size()] = (char)(rng() % 256);
    writeText(in, damaged);
    AcDbDatabase db(false);
    std::wstring why;
    Acad::ErrorStatus es = db.dxfIn(wide(in).c_str(), &why);
    if (es != Acad::eOk) {
      EXPECT_TRUE(db.allObjectIds().empty());
    } else {
      EXPECT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
    }
  }
}
