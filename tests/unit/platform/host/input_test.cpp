// Guards against prompts that accept bad answers, lose the declared keyword spelling,
// pick the wrong entity or crash on lines they cannot use.
#include <gtest/gtest.h>
#include <cmath>
#include "arxhost.h"
#include "hosttest.h"

namespace {
AcDbDatabase* db() { return acdbHostApplicationServices()->workingDatabase(); }

AcDbObjectId append(AcDbEntity* e, const ACHAR* block = L"*Model_Space") {
  AcDbBlockTable* bt = nullptr;
  db()->getBlockTable(bt, AcDb::kForRead);
  AcDbBlockTableRecord* btr = nullptr;
  EXPECT_EQ(bt->getAt(block, btr, AcDb::kForWrite), Acad::eOk);
  bt->close();
  AcDbObjectId id;
  EXPECT_EQ(btr->appendAcDbEntity(id, e), Acad::eOk);
  e->close();
  btr->close();
  return id;
}

AcDbObjectId lastEntity() {
  ads_name ss, en;
  if (acedSSGet(L"L", nullptr, nullptr, nullptr, ss) != RTNORM) return AcDbObjectId::kNull;
  acedSSName(ss, 0, en);
  acedSSFree(ss);
  AcDbObjectId id;
  acdbGetObjectId(id, en);
  return id;
}

struct Input : ::testing::Test {
  void TearDown() override { cadhost::endTestSession(); }
};
}  // namespace

TEST_F(Input, KeywordsReturnTheDeclaredSpelling) {
  cadhost::startTestSession({"counter", "O", "CO", "rot", "bogus", "c", "", "*cancel*"});
  ACHAR r[132];
  const ACHAR* kw = L"Cross Rotary cOunter";
  for (const wchar_t* want : {L"cOunter", L"cOunter", L"cOunter", L"Rotary", L"Cross"}) {
    acedInitGet(0, kw);
    ASSERT_EQ(acedGetKword(L"<Cross>/Rotary/cOunter: ", r, 132), RTNORM);
    EXPECT_STREQ(r, want);
  }
  acedInitGet(0, kw);
  EXPECT_EQ(acedGetKword(L"Type: ", r, 132), RTNONE);
  EXPECT_STREQ(r, L"");
  acedInitGet(0, kw);
  EXPECT_EQ(acedGetKword(L"Type: ", r, 132), RTCAN);
  std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("<Cross>/Rotary/cOunter: bogus\nInvalid option keyword.\n<Cross>/Rotary/cOunter: c\n"),
            std::string::npos) << out;
}

TEST_F(Input, PointsAnglesAndNumbersRejectBadLines) {
  cadhost::startTestSession({"1,2", "abc", "1,2,3", "90", "x", "-90", "", "1.5", "end"});
  ads_point p;
  ASSERT_EQ(acedGetPoint(nullptr, L"Point: ", p), RTNORM);
  EXPECT_DOUBLE_EQ(p[1], 2);
  EXPECT_DOUBLE_EQ(p[2], 0);
  ASSERT_EQ(acedGetPoint(nullptr, L"Point: ", p), RTNORM);
  EXPECT_DOUBLE_EQ(p[2], 3);
  ads_real a;
  ASSERT_EQ(acedGetAngle(nullptr, L"Angle: ", &a), RTNORM);
  EXPECT_NEAR(a, M_PI / 2, 1e-12);
  ASSERT_EQ(acedGetAngle(nullptr, L"Angle: ", &a), RTNORM);
  EXPECT_NEAR(a, 3 * M_PI / 2, 1e-12);
  EXPECT_EQ(acedGetReal(L"Real: ", &a), RTNONE);
  ASSERT_EQ(acedGetReal(L"Real: ", &a), RTNORM);
  EXPECT_DOUBLE_EQ(a, 1.5);
  EXPECT_EQ(acedGetReal(L"Real: ", &a), RTCAN);  // "end" is refused, then the input ends
  std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("Point: abc\nInvalid point.\nPoint: 1,2,3\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Requires numeric angle or second point."), std::string::npos);
}

TEST_F(Input, PrintfTakesWideStringsAndLongTexts) {
  cadhost::startTestSession();
  std::wstring big(20000, L'a');
  acutPrintf(L"%s|%d|%s\n", L"\u00e9t\u00e9", 42, big.c_str());
  std::string out = cadhost::takeOutput();
  EXPECT_EQ(out.substr(0, 10), "\xc3\xa9t\xc3\xa9|42|a");
  EXPECT_EQ(out.size(), 5 + 4 + 20000 + 1u);
}

TEST_F(Input, EntSelPicksNearestEntityOrByHandle) {
  cadhost::startTestSession();
  AcDbObjectId line = append(new AcDbLine({0, 0, 0}, {100, 0, 0}));
  AcDbObjectId circle = append(new AcDbCircle({50, 50, 0}, AcGeVector3d::kZAxis, 10));
  ACHAR h[32];
  circle.handle().getIntoAsciiBuffer(h, 32);
  cadhost::addAnswers({"50,0.1", "60,50", "500,500", "nonsense", "", "#" + std::string(h, h + wcslen(h)), "*cancel*"});
  ads_name en;
  ads_point pt;
  AcDbObjectId id;
  ASSERT_EQ(acedEntSel(L"Pick: ", en, pt), RTNORM);
  acdbGetObjectId(id, en);
  EXPECT_EQ(id, line);
  ASSERT_EQ(acedEntSel(L"Pick: ", en, pt), RTNORM);
  acdbGetObjectId(id, en);
  EXPECT_EQ(id, circle);
  EXPECT_EQ(acedEntSel(L"Pick: ", en, pt), RTERROR);  // empty space
  EXPECT_EQ(acedEntSel(L"Pick: ", en, pt), RTERROR);  // "nonsense" then Enter
  ASSERT_EQ(acedEntSel(L"Pick: ", en, pt), RTNORM);
  acdbGetObjectId(id, en);
  EXPECT_EQ(id, circle);
  EXPECT_EQ(acedEntSel(L"Pick: ", en, pt), RTCAN);
  EXPECT_NE(cadhost::takeOutput().find("Pick: nonsense\nInvalid point.\nPick: \n"), std::string::npos);
}

TEST_F(Input, SelectionSetsSingleAndLast) {
  cadhost::startTestSession({"5,0"});
  append(new AcDbLine({0, 0, 0}, {10, 0, 0}));
  AcDbObjectId last = append(new AcDbPoint({3, 3, 0}));
  const ACHAR* prompts[2] = {L"Select unit:", L""};
  ads_name ss, en;
  ASSERT_EQ(acedSSGet(L":$:S", prompts, nullptr, nullptr, ss), RTNORM);
  Adesk::Int32 n = 0;
  acedSSLength(ss, &n);
  EXPECT_EQ(n, 1);
  acedSSFree(ss);
  EXPECT_EQ(acedSSLength(ss, &n), RTERROR);  // freed sets are refused, not read
  ASSERT_EQ(acedSSGet(L"L", nullptr, nullptr, nullptr, ss), RTNORM);
  ASSERT_EQ(acedSSName(ss, 0, en), RTNORM);
  EXPECT_EQ(acedSSName(ss, 1, en), RTERROR);
  AcDbObjectId id;
  acdbGetObjectId(id, en);
  EXPECT_EQ(id, last);
  acedSSFree(ss);
  EXPECT_NE(cadhost::takeOutput().find("Select unit:5,0\n"), std::string::npos);
}

TEST_F(Input, InsertCommandWithValuesAndPauses) {
  cadhost::startTestSession();
  AcDbBlockTable* bt = nullptr;
  db()->getBlockTable(bt, AcDb::kForWrite);
  auto* btr = new AcDbBlockTableRecord;
  btr->setName(L"Zephyr1");
  ASSERT_EQ(bt->add(btr), Acad::eOk);
  btr->close();
  bt->close();
  ads_point at = {5, 6, 0};
  ASSERT_EQ(acedCommandS(RTSTR, L"_.INSERT", RTSTR, L"Zephyr1", RTPOINT, at, RTREAL, 2.0, RTREAL, 2.0,
                         RTREAL, 90.0, RTNONE), RTNORM);
  AcDbBlockReference* ref = nullptr;
  ASSERT_EQ(acdbOpenObject(ref, lastEntity(), AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(ref->position().isEqualTo(AcGePoint3d(5, 6, 0)));
  EXPECT_NEAR(ref->rotation(), M_PI / 2, 1e-12);
  EXPECT_DOUBLE_EQ(ref->scaleFactors().sx, 2);
  ref->close();

  cadhost::addAnswers({"oops", "1,1", "45", "*cancel*"});
  EXPECT_EQ(acedCommandS(RTSTR, L"INSERT", RTSTR, L"Zephyr1", RTSTR, PAUSE, RTREAL, 1.0, RTREAL, 1.0,
                         RTSTR, PAUSE, RTNONE), RTNORM);
  EXPECT_EQ(acedCommandS(RTSTR, L"INSERT", RTSTR, L"Zephyr1", RTSTR, PAUSE, RTNONE), RTCAN);
  EXPECT_EQ(acedCommandS(RTSTR, L"INSERT", RTSTR, L"Nope", RTSTR, PAUSE, RTNONE), RTERROR);
  std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("Specify insertion point: oops\nInvalid point.\nSpecify insertion point: 1,1\n"),
            std::string::npos) << out;
  EXPECT_NE(out.find("Block \"Nope\" not found."), std::string::npos);
}
