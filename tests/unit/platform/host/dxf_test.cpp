// Guards against drawings that change on save and reload (geometry, handles, extended
// data, non-ASCII text) and against a reader that crashes or half-reads a damaged file.
#include <gtest/gtest.h>
#include <unistd.h>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include "arxhost.h"
#include "hosttest.h"
#include "test_temp.h"

namespace {
std::string tempPath(const char* name) {
  return "/tmp/cadhost_dxf_" + std::to_string(getpid()) + "_" + name;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
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

// The coordinates of model space's lines, start and end point of each in turn.
std::vector<double> lineCoordinates(AcDbDatabase& db) {
  std::vector<double> out;
  AcDbBlockTableRecord* ms = nullptr;
  if (acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) return out;
  for (AcDbObjectId id : ms->entities()) {
    AcDbLine* line = nullptr;
    if (acdbOpenObject(line, id, AcDb::kForRead) != Acad::eOk) continue;
    for (const AcGePoint3d& p : {line->startPoint(), line->endPoint()})
      for (unsigned k = 0; k < 3; ++k) out.push_back(p[k]);
    line->close();
  }
  ms->close();
  return out;
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

TEST_F(Dxf, NonAsciiTextsAndBackslashesRoundTrip) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  std::wstring name = L"L\u00e4yer \u20ac \u4e2d\U0001F600";
  std::wstring full = L"U.DESC=" + std::wstring(124, L'\u00e9');  // 255 bytes, the host's most
  std::wstring path = L"C:\\U+0041 \\dir";  // a backslash that would read as an escape
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
  resbuf* rb = acutBuildList(1001, L"ZEPH", 1000, full.c_str(), 1000, path.c_str(), 0);
  ASSERT_EQ(line->setXData(rb), Acad::eOk);
  acutRelRb(rb);
  line->close();
  AcDbHandle handle = id.handle();
  ASSERT_EQ(db->dxfOut(wide(out).c_str()), Acad::eOk);
  EXPECT_NE(readText(out).find("\n1000\nC:\\U+005CU+0041 \\dir\n"), std::string::npos);

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
  EXPECT_EQ(e->xDataApps()[0].items[0].text, full);
  EXPECT_EQ(e->xDataApps()[0].items[1].text, path);
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
      // Files this host cannot read: older than R12, a block that inserts itself
      // (directly or through another), a version it does not know, a cut binary file.
      "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1006\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nR14\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nA\n  0\nINSERT\n  2\nA\n  0\nENDBLK\n  0\nENDSEC\n  0\nEOF\n",
      "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nA\n  0\nINSERT\n  2\nB\n  0\nENDBLK\n"
      "  0\nBLOCK\n  2\nB\n  0\nINSERT\n  2\nC\n  0\nINSERT\n  2\nA\n  0\nENDBLK\n"
      "  0\nBLOCK\n  2\nC\n  0\nENDBLK\n  0\nENDSEC\n  0\nEOF\n",
      // A table named again in a second TABLES section.
      "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nVPORT\n  0\nENDTAB\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nVPORT\n  0\nENDTAB\n  0\nENDSEC\n  0\nEOF\n",
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
  std::wstring why;
  writeText(in, bad[7]);
  db.dxfIn(wide(in).c_str(), &why);
  EXPECT_NE(why.find(L"older than R12"), std::wstring::npos);
  writeText(in, bad[10]);
  db.dxfIn(wide(in).c_str(), &why);
  EXPECT_EQ(why, L"line 24: block \"A\" inserts itself through other blocks");
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
    // A file may end after a whole section without EOF; any other end is a cut.
    bool whole = cut >= 11 && good.compare(cut - 11, 11, "  0\nENDSEC\n") == 0;
    EXPECT_EQ(db.dxfIn(wide(in).c_str(), &why), whole ? Acad::eOk : Acad::eBadDxfSequence) << cut;
    if (!whole) {
      EXPECT_TRUE(db.allObjectIds().empty());
    }
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

// A drawing from another program: every group, table entry, entity, object and section the
// host does not model comes back as it was (the host once dropped them: TEXT, LWPOLYLINE,
// linetype dashes, header variables, OBJECTS), comments, CR LF line ends and a missing EOF
// are read, and the handle seed stays above every handle the file names.
TEST_F(Dxf, ForeignDrawingComesBackWhole) {
  const std::vector<std::string> foreign[] = {
      {"  0", "TEXT", "  5", "30", "330", "1F", "100", "AcDbEntity", "  8", "Notes", "100", "AcDbText",
       " 10", "1.0", " 20", "2.0", " 30", "0.0", " 40", "2.5", "  1", "Ventil \\U+00C4", "100", "AcDbText"},
      {"  0", "LWPOLYLINE", "  5", "31", "102", "{ACAD_REACTORS", "330", "9F0", "102", "}", "330", "1F",
       "100", "AcDbEntity", "  8", "0", "100", "AcDbPolyline", " 90", "2", " 70", "1", " 10", "0.0", " 20", "0.0",
       " 10", "5.0", " 20", "5.0"},
      {"  0", "DICTIONARY", "  5", "C", "330", "0", "100", "AcDbDictionary", "281", "1", "  3", "ACAD_GROUP",
       "350", "D"},
      {"  0", "VPORT", "  5", "8", "330", "7", "100", "AcDbSymbolTableRecord", "100", "AcDbViewportTableRecord",
       "  2", "*Active", " 70", "0", " 12", "0.0", " 22", "0.0", " 40", "1000.0", " 41", "1.5"},
  };
  auto block = [](const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
  };
  std::string text =
      "999\nwritten by another program\n"
      "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$INSUNITS\n 70\n6\n"
      "  9\n$HANDSEED\n  5\n40\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nCLASSES\n  0\nCLASS\n  1\nLWPOLYLINE\n  2\nAcDbPolyline\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nVPORT\n  5\n7\n 70\n1\n" + block(foreign[3]) + "  0\nENDTAB\n"
      "  0\nTABLE\n  2\nLTYPE\n  5\n2\n 70\n1\n  0\nLTYPE\n  5\n3\n330\n2\n100\nAcDbSymbolTableRecord\n"
      "100\nAcDbLinetypeTableRecord\n  2\nDASHED\n 70\n0\n  3\n__ __\n 72\n65\n 73\n2\n 40\n0.75\n"
      " 49\n0.5\n 74\n0\n 49\n-0.25\n 74\n0\n  0\nENDTAB\n"
      "  0\nTABLE\n  2\nLAYER\n  5\n4\n 70\n1\n  0\nLAYER\n  5\n5\n330\n4\n100\nAcDbSymbolTableRecord\n"
      "100\nAcDbLayerTableRecord\n  2\nWalls\n 70\n16\n 62\n3\n  6\nDASHED\n370\n50\n390\nF\n  0\nENDTAB\n"
      "  0\nTABLE\n  2\nBLOCK_RECORD\n  5\n1\n 70\n1\n  0\nBLOCK_RECORD\n  5\n1F\n330\n1\n  2\n*Model_Space\n"
      "340\n22\n  0\nENDTAB\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nENTITIES\n" + block(foreign[0]) +
      "999\na comment between entities\n"
      "  0\nLINE\n  5\n2A\n102\n{ACAD_XDICTIONARY\n360\n2B\n102\n}\n330\n1F\n100\nAcDbEntity\n  8\nWalls\n"
      "370\n35\n100\nAcDbLine\n 39\n2.5\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n4.0\n 21\n0.0\n 31\n0.0\n"
      "1001\nOTHER\n1002\n{\n1004\n0A0B\n1071\n7\n1002\n}\n" +
      block(foreign[1]) + "  0\nENDSEC\n"
      "  0\nSECTION\n  2\nOBJECTS\n" + block(foreign[2]) + "  0\nENDSEC\n"
      "  0\nSECTION\n  2\nTHUMBNAILIMAGE\n 90\n2\n310\n0102\n  0\nENDSEC\n";
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  writeText(in, crlf);
  std::string first;
  {
    AcDbDatabase db(false);
    std::wstring why;
    ASSERT_EQ(db.dxfIn(wide(in).c_str(), &why), Acad::eOk) << std::string(why.begin(), why.end());
    EXPECT_GT(db.handseed(), 0x9F0u);  // above the reference to 9F0, which names no object here
    ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
    first = readText(out);
  }
  for (const auto& object : foreign) EXPECT_NE(first.find(block(object)), std::string::npos) << object[1];
  for (const char* kept : {"  9\n$INSUNITS\n 70\n6\n", "  0\nCLASS\n  1\nLWPOLYLINE\n", " 49\n0.5\n 74\n0\n 49\n-0.25\n",
                           " 70\n16\n 62\n3\n  6\nDASHED\n370\n50\n390\nF\n",
                           "102\n{ACAD_XDICTIONARY\n360\n2B\n102\n}\n330\n1F\n100\nAcDbEntity\n  8\nWalls\n370\n35\n",
                           "100\nAcDbLine\n 10\n0.0\n", " 39\n2.5\n", "1001\nOTHER\n1002\n{\n1004\n0A0B\n1071\n7\n1002\n}\n",
                           "  0\nSECTION\n  2\nTHUMBNAILIMAGE\n 90\n2\n310\n0102\n  0\nENDSEC\n  0\nEOF\n"})
    EXPECT_NE(first.find(kept), std::string::npos) << kept;
  // Comments come back at the head of the file.
  EXPECT_EQ(first.find("999\nwritten by another program\n999\na comment between entities\n  0\nSECTION\n"), 0u);
  // Read and written again, the file stays the same.
  AcDbDatabase db(false);
  ASSERT_EQ(db.dxfIn(wide(out).c_str()), Acad::eOk);
  ASSERT_EQ(db.dxfOut(wide(in).c_str()), Acad::eOk);
  EXPECT_EQ(readText(in), first);
}

// Files before AC1021 are read and written in the code page $DWGCODEPAGE names, later
// ones in UTF-8 (the host once read every file as code page 1252).
TEST_F(Dxf, CodePagesOfTheFileAreReadAndWritten) {
  struct Case {
    const char* version;
    const char* page;
    std::string name;       // as the file holds it
    std::wstring expected;  // as the host reads it
    std::string written;    // as the host writes it
  } cases[] = {
      {"AC1015", "ANSI_1251", "\xD1\xF2\xE5\xED\xFB", L"\u0421\u0442\u0435\u043d\u044b", "\xD1\xF2\xE5\xED\xFB"},
      {"AC1015", "ANSI_932", "\x83\x5F\x83\x4E\x83\x67", L"\u30c0\u30af\u30c8", "\x83\x5F\x83\x4E\x83\x67"},
      // Code page 1258's converter holds a letter back for a combining mark that may follow.
      {"AC1015", "ANSI_1258", "Nh\xE0 m\xE1y", L"Nh\u00e0 m\u00e1y", "Nh\xE0 m\xE1y"},
      {"AC1018", "ANSI_1252", "W\xE4nde \\U+4E2D", L"W\u00e4nde \u4e2d", "W\xE4nde \\U+4E2D"},
      {"AC1021", "ANSI_1252", "Gr\xC3\xB6\xC3\x9F" "e \\U+4E2D", L"Gr\u00f6\u00dfe \u4e2d", "Gr\xC3\xB6\xC3\x9F" "e \xE4\xB8\xAD"},
  };
  for (const Case& c : cases) {
    std::string text = "\xEF\xBB\xBF  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\n" + std::string(c.version) +
                       "\n  9\n$DWGCODEPAGE\n  3\n" + c.page + "\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n"
                       "  0\nLINE\n  5\n2A\n  8\n" + c.name + "\n  0\nENDSEC\n  0\nEOF\n";
    writeText(in, text);
    AcDbDatabase db(false);
    std::wstring why;
    ASSERT_EQ(db.dxfIn(wide(in).c_str(), &why), Acad::eOk) << c.page << std::string(why.begin(), why.end());
    AcDbLayerTable* layers = nullptr;
    db.getLayerTable(layers, AcDb::kForWrite);
    EXPECT_TRUE(layers->has(c.expected.c_str())) << c.page;
    auto* added = new AcDbLayerTableRecord;
    added->setName(L"\u00dc\u20ac");  // Ü is not in code page 1251: written as \U+00DC there
    layers->add(added);
    added->close();
    layers->close();
    ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
    std::string written = readText(out);
    // The entity names its layer as the file did; the layer the host made for it is
    // written in the host's form.
    EXPECT_NE(written.find("  8\n" + c.name + "\n"), std::string::npos) << c.version;
    EXPECT_NE(written.find("  2\n" + c.written + "\n"), std::string::npos) << c.version;
    EXPECT_NE(written.find("  9\n$ACADVER\n  1\n" + std::string(c.version) + "\n  9\n$DWGCODEPAGE\n  3\n" + c.page),
              std::string::npos)
        << c.page;
    if (std::string(c.page) == "ANSI_1251") {
      EXPECT_NE(written.find("  2\n\\U+00DC\x88\n"), std::string::npos);
    }
    AcDbDatabase back(false);
    ASSERT_EQ(back.dxfIn(wide(out).c_str()), Acad::eOk);
    back.getLayerTable(layers, AcDb::kForRead);
    EXPECT_TRUE(layers->has(c.expected.c_str()) && layers->has(L"\u00dc\u20ac")) << c.page;
    layers->close();
  }
}

// What the host models keeps the file's own form while the host leaves it as it was: the
// host once wrote every number its own way (an angle came back in its last digits, so a
// second save differed), dropped explicit defaults, and wrote a layer's colour 0 as 1 and
// a linetype's name in the table's letter case. A value the host changes is written anew.
TEST_F(Dxf, ValuesComeBackAsTheFileWroteThemUntilChanged) {
  const std::string entities =
      "  2\nENTITIES\n"
      "  0\nLINE\n  5\n2a\n330\n1F\n100\nAcDbEntity\n  8\nwalls\n  6\nBYLAYER\n 62\n256\n100\nAcDbLine\n"
      " 10\n1.50\n 20\n2\n 11\n1e1\n 21\n-0.25\n 31\n0.0\n210\n0\n220\n0\n230\n1\n"
      "  0\nINSERT\n  5\n2F\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockReference\n  2\nunit1\n"
      " 10\n100\n 20\n50.0\n 30\n0.0\n 41\n1.5\n 50\n33.3\n";
  std::string text = drawing(entities);
  text.replace(text.find("  0\nTABLE\n  2\nBLOCK_RECORD"), 0,
               "  0\nTABLE\n  2\nLAYER\n  0\nLAYER\n  5\n30\n  2\nWalls\n 70\n     0\n 62\n0\n  6\ncontinuous\n  0\nENDTAB\n");
  writeText(in, text);
  AcDbDatabase db(false);
  ASSERT_EQ(db.dxfIn(wide(in).c_str()), Acad::eOk);
  ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
  std::string first = readText(out);
  EXPECT_EQ(section(first, "ENTITIES"), entities);
  EXPECT_NE(first.find("  2\nWalls\n 70\n     0\n 62\n0\n  6\ncontinuous\n"), std::string::npos);
  AcDbSymbolTableRecord* record = nullptr;
  AcDbLayerTable* layers = nullptr;
  db.getLayerTable(layers, AcDb::kForRead);
  ASSERT_EQ(layers->getAt(L"Walls", record, AcDb::kForRead), Acad::eOk);
  auto* layer = static_cast<AcDbLayerTableRecord*>(record);
  EXPECT_EQ(layer->color().colorIndex(), 0);
  layer->close();
  layers->close();

  AcDbObjectId id;
  AcDbLine* line = nullptr;
  ASSERT_EQ(db.getAcDbObjectId(id, false, AcDbHandle(0x2A)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eOk);
  line->setStartPoint(AcGePoint3d(3, 2, 0));
  line->close();
  AcDbBlockReference* ref = nullptr;
  ASSERT_EQ(db.getAcDbObjectId(id, false, AcDbHandle(0x2F)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(ref, id, AcDb::kForWrite), Acad::eOk);
  ref->setRotation(M_PI / 2);
  ref->close();
  ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
  std::string changed = section(readText(out), "ENTITIES");
  EXPECT_NE(changed.find(" 10\n3.0\n 20\n2\n 11\n1e1\n"), std::string::npos) << changed;
  EXPECT_NE(changed.find(" 41\n1.5\n 50\n90.0\n"), std::string::npos) << changed;
  EXPECT_NE(changed.find("  8\nwalls\n  6\nBYLAYER\n 62\n256\n"), std::string::npos) << changed;
}

// A file whose blocks have no block records (several libraries write them so): the host
// makes the records, and the BLOCK and ENDBLK keep their handles, flags and paper-space
// mark (they once got new handles and lost their groups when the record was numbered).
TEST_F(Dxf, BlocksWithoutRecordsKeepTheirEnds) {
  const std::string blocks =
      "  0\nSECTION\n  2\nBLOCKS\n"
      "  0\nBLOCK\n  5\n21\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockBegin\n  2\n*U1\n 70\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
      "  3\n*U1\n  0\nLINE\n  5\n22\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n"
      "  0\nENDBLK\n  5\n23\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockEnd\n"
      "  0\nBLOCK\n  5\n1C\n100\nAcDbEntity\n 67\n1\n  8\n0\n100\nAcDbBlockBegin\n  2\n*Paper_Space\n 70\n0\n"
      " 10\n0.0\n 20\n0.0\n 30\n0.0\n  3\n*Paper_Space\n  0\nENDBLK\n  5\n1D\n100\nAcDbEntity\n 67\n1\n  8\n0\n"
      "100\nAcDbBlockEnd\n  0\nENDSEC\n";
  writeText(in, "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n" + blocks +
                    "  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  5\n2F\n  8\n0\n  2\n*U1\n 10\n0\n 20\n0\n"
                    "  0\nENDSEC\n  0\nEOF\n");
  std::string first;
  {
    AcDbDatabase db(false);
    ASSERT_EQ(db.dxfIn(wide(in).c_str()), Acad::eOk);
    ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
    first = readText(out);
  }
  for (const char* kept : {"  0\nBLOCK\n  5\n21\n", " 70\n1\n", "  0\nENDBLK\n  5\n23\n", "  0\nBLOCK\n  5\n1C\n",
                           "  0\nENDBLK\n  5\n1D\n330\n"})
    EXPECT_NE(first.find(kept), std::string::npos) << kept;
  EXPECT_NE(section(first, "BLOCKS").find("100\nAcDbEntity\n 67\n1\n  8\n0\n100\nAcDbBlockEnd\n"), std::string::npos);
  AcDbDatabase db(false);
  ASSERT_EQ(db.dxfIn(wide(out).c_str()), Acad::eOk);
  ASSERT_EQ(db.dxfOut(wide(in).c_str()), Acad::eOk);
  EXPECT_EQ(readText(in), first);
}

// Files the host once refused: R12 (no handles, no subclass markers, layouts' blocks named
// $MODEL_SPACE), binary files, and a header whose variables go on after its ENDSEC. Each
// is read; a save writes R2000 text and says what it changed.
TEST_F(Dxf, OlderBinaryAndLooseFilesAreRead) {
  writeText(in, "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n  9\n$INSUNITS\n 70\n6\n"
                "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  8\n0\n  2\n$MODEL_SPACE\n 70\n0\n 10\n0\n 20\n0\n"
                "  0\nENDBLK\n  8\n0\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  8\n0\n 10\n1\n 20\n2\n"
                " 40\n2.5\n  1\nVentil\n  0\nLINE\n  8\n0\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n  0\nENDSEC\n  0\nEOF\n");
  AcDbDatabase db(false);
  std::wstring why;
  ASSERT_EQ(db.dxfIn(wide(in).c_str(), &why), Acad::eOk) << std::string(why.begin(), why.end());
  EXPECT_EQ(why, L"line 12: header variables after the end of the HEADER section, read as part of it");
  ASSERT_EQ(db.dxfOut(wide(out).c_str(), &why), Acad::eOk);
  EXPECT_EQ(why, L"Drawing upgraded from R12 (AC1009) to R2000 (AC1015).");
  std::string saved = readText(out);
  EXPECT_NE(saved.find("  9\n$ACADVER\n  1\nAC1015\n"), std::string::npos);
  EXPECT_NE(saved.find("  9\n$INSUNITS\n 70\n6\n"), std::string::npos);
  EXPECT_EQ(saved.find("$MODEL_SPACE"), std::string::npos);
  size_t text = saved.find("  0\nTEXT\n  5\n");
  ASSERT_NE(text, std::string::npos);
  EXPECT_EQ(saved.compare(saved.find("\n330\n", text), 5, "\n330\n"), 0);  // an owner after its new handle
  ASSERT_EQ(db.dxfOut(wide(out).c_str(), &why), Acad::eOk);
  EXPECT_TRUE(why.empty());  // said once

  // The same groups in binary form: a cut one is refused at its byte.
  const std::string binary = std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + std::string("\0\0SECTION\0", 10) +
                             std::string("\x02\0ENTITIES\0", 11) + std::string("\0\0LINE\0", 7) +
                             std::string("\x0a\0", 2) + std::string(8, '\0') + std::string("\0\0ENDSEC\0", 9);
  writeText(in, binary + std::string("\0\0EOF\0", 6));
  AcDbDatabase bin(false);
  ASSERT_EQ(bin.dxfIn(wide(in).c_str(), &why), Acad::eOk) << std::string(why.begin(), why.end());
  ASSERT_EQ(bin.dxfOut(wide(out).c_str(), &why), Acad::eOk);
  EXPECT_EQ(why, L"Saved as text DXF (the drawing was opened as binary DXF).");
  EXPECT_NE(readText(out).find("100\nAcDbLine\n 10\n0.0\n"), std::string::npos);
  writeText(in, binary.substr(0, 56));
  AcDbDatabase cut(false);
  EXPECT_EQ(cut.dxfIn(wide(in).c_str(), &why), Acad::eBadDxfSequence);
  EXPECT_EQ(why, L"byte 50: file ends inside a group (truncated)");
  // A text with a line break would be groups of its own once saved as text.
  writeText(in, binary.substr(0, 50) + std::string("\x08\0a\nb\0", 6) + binary.substr(50));
  AcDbDatabase broken(false);
  EXPECT_EQ(broken.dxfIn(wide(in).c_str(), &why), Acad::eBadDxfSequence);
  EXPECT_EQ(why, L"byte 50: text with a line break in it");
}

// The drawing's extents are each entity's exact box (an elliptical arc's, one across its
// start angle too, a circle's without an outline's error), and follow every change to the
// drawing made after a save measured them (they are kept between saves).
TEST_F(Dxf, ExtentsAreExactAndFollowChanges) {
  writeText(in, drawing("  2\nENTITIES\n"
                        "  0\nELLIPSE\n  5\n2A\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n 11\n4\n 21\n0\n 31\n0\n 40\n0.5\n"
                        " 41\n0\n 42\n1.5707963267948966\n"
                        "  0\nELLIPSE\n  5\n2B\n  8\n0\n 10\n0\n 20\n-10\n 30\n0\n 11\n0\n 21\n3\n 31\n0\n"
                        " 40\n0.3333333333333333\n 41\n4.71238898038469\n 42\n1.5707963267948966\n"
                        "  0\nCIRCLE\n  5\n2C\n  8\n0\n 10\n10\n 20\n0\n 30\n0\n 40\n2\n"));
  AcDbDatabase db(false);
  ASSERT_EQ(db.dxfIn(wide(in).c_str()), Acad::eOk);
  auto extents = [&] {
    EXPECT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
    std::string text = readText(out);
    size_t at = text.find("$EXTMIN\n"), end = text.find('\n', text.find(" 30\n", text.find("$EXTMAX\n")) + 4);
    return at == std::string::npos || end == std::string::npos ? "" : text.substr(at, end + 1 - at);
  };
  EXPECT_EQ(extents(), "$EXTMIN\n 10\n-1.0\n 20\n-10.0\n 30\n0.0\n  9\n$EXTMAX\n 10\n12.0\n 20\n2.0\n 30\n0.0\n");
  AcDbObjectId id;
  AcDbCircle* circle = nullptr;
  ASSERT_EQ(db.getAcDbObjectId(id, false, AcDbHandle(0x2C)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(circle, id, AcDb::kForWrite), Acad::eOk);
  circle->setRadius(5);
  circle->close();
  EXPECT_EQ(extents(), "$EXTMIN\n 10\n-1.0\n 20\n-10.0\n 30\n0.0\n  9\n$EXTMAX\n 10\n15.0\n 20\n5.0\n 30\n0.0\n");
  ASSERT_EQ(acdbOpenObject(circle, id, AcDb::kForWrite), Acad::eOk);
  circle->erase();
  circle->close();
  EXPECT_EQ(extents(), "$EXTMIN\n 10\n-1.0\n 20\n-10.0\n 30\n0.0\n  9\n$EXTMAX\n 10\n4.0\n 20\n2.0\n 30\n0.0\n");
}

// Numbers are written as the shortest text that reads back as the same double (".0" after
// a whole number), and read back exactly: the writer's quick path for short decimals must
// never give another text than the general search, nor lose a digit.
TEST_F(Dxf, NumbersAreWrittenShortestAndReadBackExactly) {
  std::mt19937_64 rng(22);
  std::vector<double> values = {0.001, 0.00099999, 0.0012, 99999, 100000, 120000, 1e15, 999999999999999.0,
                                123456789012345.6, 0.1 + 0.2, 0.001 + 1e-18, 1e-5, 5e-324, -0.0, 0.0, -2.5, 1e300, 3e10, -1e14};
  while (values.size() < 6000) {
    values.push_back(double(int64_t(rng() % 2000000000000)) / std::pow(10.0, double(rng() % 16)) * (rng() % 2 ? 1 : -1));
    uint64_t bits = rng();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    if (std::isfinite(any)) values.push_back(any);
  }
  values.resize(values.size() / 6 * 6);
  auto shortest = [](double v) {
    char b[64];
    std::string s(b, std::to_chars(b, b + sizeof b, v).ptr);
    return s.find_first_of(".en") == std::string::npos ? s + ".0" : s;
  };
  {
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    for (size_t i = 0; i < values.size(); i += 6) {
      auto* line = new AcDbLine(AcGePoint3d(values[i], values[i + 1], values[i + 2]),
                                AcGePoint3d(values[i + 3], values[i + 4], values[i + 5]));
      AcDbObjectId id;
      ASSERT_EQ(ms->appendAcDbEntity(id, line), Acad::eOk);
      line->close();
    }
    ms->close();
    ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
  }
  std::istringstream groups(section(readText(out), "ENTITIES"));
  std::string code, value;
  size_t next = 0;
  while (std::getline(groups, code) && std::getline(groups, value)) {
    const int c = std::atoi(code.c_str());
    if (c < 10 || c > 31 || c % 10 > 1 || next >= values.size()) continue;  // 10, 20, 30, 11, 21, 31
    EXPECT_EQ(value, shortest(values[next])) << "value " << next;
    ++next;
  }
  EXPECT_EQ(next, values.size());
  AcDbDatabase db(false);
  ASSERT_EQ(db.dxfIn(wide(out).c_str()), Acad::eOk);
  const std::vector<double> read = lineCoordinates(db);
  ASSERT_EQ(read.size(), values.size());
  for (size_t at = 0; at < read.size(); ++at) {
    EXPECT_EQ(read[at], values[at]) << "value " << at;
    EXPECT_EQ(std::signbit(read[at]), std::signbit(values[at])) << "value " << at;
  }
}

// Numbers in every decimal spelling a program may give (the host's own, trailing and
// leading zeros, a bare point, more digits than a double holds, exponents): each is read
// as the C library reads it, and an unchanged drawing writes each back as the file spelled it.
TEST_F(Dxf, NumbersInAnySpellingAreReadExactlyAndKept) {
  std::mt19937_64 rng(23);
  auto digits = [&](size_t n) {
    std::string s;
    while (s.size() < n) s += char('0' + rng() % 10);
    return s;
  };
  std::vector<std::string> texts = {"0.0", "-0.0", "1.", "007.50", "0.10", "-12.5", "53.300000000000004",
                                    "9007199254740993.0", "0.1000000000000000055511151231257827", "1e3", "100"};
  while (texts.size() < 3000) {
    std::string t = (rng() % 4 ? "" : "-") + digits(1 + rng() % 9) + "." + digits(1 + rng() % 9);
    if (rng() % 5 == 0) t += "0";  // not the host's spelling
    texts.push_back(t);
  }
  texts.resize(texts.size() / 6 * 6);
  std::string entities = "  2\nENTITIES\n";
  for (size_t i = 0; i < texts.size(); i += 6) {
    entities += "  0\nLINE\n  5\n" + std::to_string(100 + i / 6) + "\n330\n1F\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n";
    const char* codes[] = {" 10", " 20", " 30", " 11", " 21", " 31"};
    for (size_t k = 0; k < 6; ++k) entities += std::string(codes[k]) + "\n" + texts[i + k] + "\n";
  }
  writeText(in, drawing(entities));
  AcDbDatabase db(false);
  ASSERT_EQ(db.dxfIn(wide(in).c_str()), Acad::eOk);
  ASSERT_EQ(db.dxfOut(wide(out).c_str()), Acad::eOk);
  EXPECT_EQ(section(readText(out), "ENTITIES"), entities);
  const std::vector<double> read = lineCoordinates(db);
  ASSERT_EQ(read.size(), texts.size());
  for (size_t at = 0; at < read.size(); ++at) {
    const double expected = std::strtod(texts[at].c_str(), nullptr);
    EXPECT_EQ(read[at], expected) << texts[at];
    EXPECT_EQ(std::signbit(read[at]), std::signbit(expected)) << texts[at];
  }
}
