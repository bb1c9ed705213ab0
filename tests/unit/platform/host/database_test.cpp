// Guards against lost objects, wrong open states, bad handle text and lost extended data.
#include <gtest/gtest.h>
#include <cmath>
#include <cwchar>
#include <vector>
#include "arxhost.h"
#include "hosttest.h"

namespace {
AcDbDatabase* db() { return acdbHostApplicationServices()->workingDatabase(); }

AcDbObjectId addLine(const AcGePoint3d& a, const AcGePoint3d& b) {
  AcDbBlockTableRecord* ms = nullptr;
  EXPECT_EQ(acdbOpenObject(ms, db()->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  auto* line = new AcDbLine(a, b);
  AcDbObjectId id;
  EXPECT_EQ(ms->appendAcDbEntity(id, line), Acad::eOk);
  line->close();
  ms->close();
  return id;
}

struct Session : ::testing::Test {
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override { cadhost::endTestSession(); }
};
}  // namespace

TEST_F(Session, OpenModesFollowTheHostRules) {
  AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0});
  AcDbObject *a = nullptr, *b = nullptr, *c = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(a, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(acdbOpenAcDbObject(c, id, AcDb::kForWrite), Acad::eWasOpenForRead);
  EXPECT_EQ(c, nullptr);
  a->close();
  b->close();
  ASSERT_EQ(acdbOpenAcDbObject(a, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForWrite), Acad::eWasOpenForWrite);
  EXPECT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead), Acad::eWasOpenForWrite);
  EXPECT_EQ(a->erase(), Acad::eOk);
  a->close();
  EXPECT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead), Acad::eWasErased);
  ASSERT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead, true), Acad::eOk);
  b->close();
  EXPECT_EQ(acdbOpenAcDbObject(b, AcDbObjectId::kNull, AcDb::kForRead), Acad::eNullObjectId);
  AcDbLine free;
  EXPECT_NE(free.close(), Acad::eOk);
}

TEST_F(Session, ErasedEntitiesAreSkippedByIterators) {
  AcDbObjectId keep = addLine({0, 0, 0}, {1, 0, 0});
  AcDbObjectId gone = addLine({0, 1, 0}, {1, 1, 0});
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(e, gone, AcDb::kForWrite), Acad::eOk);
  e->erase();
  e->close();
  AcDbBlockTableRecord* ms = nullptr;
  ASSERT_EQ(acdbOpenObject(ms, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  AcDbBlockTableRecordIterator* it = nullptr;
  ms->newIterator(it);
  std::vector<AcDbObjectId> seen;
  for (it->start(); !it->done(); it->step()) {
    AcDbObjectId id;
    it->getEntityId(id);
    seen.push_back(id);
  }
  delete it;
  ms->close();
  EXPECT_EQ(seen, std::vector<AcDbObjectId>{keep});
}

TEST_F(Session, HandlesAreUpperCaseHexAndFindTheirObjects) {
  AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0});
  ACHAR buf[32];
  ASSERT_TRUE(id.handle().getIntoAsciiBuffer(buf, 32));
  AcDbHandle back(buf);
  EXPECT_EQ(back, id.handle());
  AcDbObjectId found;
  EXPECT_EQ(db()->getAcDbObjectId(found, false, back), Acad::eOk);
  EXPECT_EQ(found, id);
  EXPECT_EQ(db()->getAcDbObjectId(found, false, AcDbHandle(0xFFFFFF)), Acad::eUnknownHandle);
  AcDbHandle h(0x1f3ab);
  ASSERT_TRUE(h.getIntoAsciiBuffer(buf, 6));
  EXPECT_STREQ(buf, L"1F3AB");
  EXPECT_FALSE(h.getIntoAsciiBuffer(buf, 5));
  EXPECT_TRUE(AcDbHandle(L"12G").isNull());
  EXPECT_GT(db()->handseed(), id.handle().value());
}

TEST_F(Session, SymbolTablesHaveDefaultsAndRefuseDuplicates) {
  AcDbLinetypeTable* lt = nullptr;
  ASSERT_EQ(db()->getLinetypeTable(lt, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(lt->has(L"ByBlock"));
  EXPECT_TRUE(lt->has(L"bylayer"));
  EXPECT_TRUE(lt->has(L"Continuous"));
  lt->close();
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db()->getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbLayerTableRecord;
  rec->setName(L"0");
  EXPECT_EQ(layers->add(rec), Acad::eDuplicateRecordName);
  // A name longer than a drawing can give back (70 000 characters saved into a file that
  // did not open again) is refused; the longest one taken is written within the reader's limit.
  EXPECT_EQ(rec->setName(std::wstring(70000, L'x').c_str()), Acad::eInvalidInput);
  EXPECT_EQ(rec->setName(std::wstring(4682, L'x').c_str()), Acad::eInvalidInput);
  EXPECT_EQ(rec->setName(std::wstring(4681, L'x').c_str()), Acad::eOk);
  rec->setName(L"Ducts");
  EXPECT_EQ(layers->add(rec), Acad::eOk);
  rec->close();
  layers->close();
  AcDbObjectId line = addLine({0, 0, 0}, {1, 0, 0});
  AcDbEntity* e = nullptr;
  acdbOpenAcDbEntity(e, line, AcDb::kForWrite);
  EXPECT_EQ(e->setLayer(L"missing"), Acad::eKeyNotFound);
  EXPECT_EQ(e->setLayer(L"DUCTS"), Acad::eOk);
  EXPECT_EQ(e->layerName(), L"Ducts");
  e->close();
  AcDbBlockTable* bt = nullptr;
  ASSERT_EQ(db()->getBlockTable(bt, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(bt->has(L"*MODEL_SPACE"));
  AcDbBlockTableRecord extra;
  EXPECT_EQ(bt->add(&extra), Acad::eNotOpenForWrite);
  bt->close();
}

// The real host's limits: a text of more than 255 bytes or more than 16 KB on one object
// is refused and the object keeps what it had (the stand-in once took any length).
TEST_F(Session, ExtendedDataRoundTripsWithinTheHostsLimits) {
  AcDbObjectId id = addLine({0, 0, 0}, {1, 0, 0});
  std::wstring full = std::wstring(253, L'x') + L"\u00e9";  // 255 bytes in UTF-8
  AcDbObject* o = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
  resbuf* chain = acutBuildList(1001, L"ZEPH", 1000, L"U.ID=1", 1000, full.c_str(), 1040, 2.5, 1070, 7, 1002,
                                L"{", 1071, 70000, 1002, L"}", 0);
  EXPECT_EQ(o->setXData(chain), Acad::eRegappIdNotFound);
  EXPECT_EQ(acdbRegApp(L"ZEPH"), RTNORM);
  EXPECT_EQ(acdbRegApp(L"ZEPH"), RTNORM);
  EXPECT_EQ(o->setXData(chain), Acad::eOk);
  acutRelRb(chain);

  std::wstring over = full + L"y";
  resbuf* tooLong = acutBuildList(1001, L"ZEPH", 1000, over.c_str(), 0);
  EXPECT_EQ(o->setXData(tooLong), Acad::eInvalidXDataSize);
  acutRelRb(tooLong);
  resbuf* many = acutBuildList(1001, L"ZEPH", 0);
  resbuf* tail = many;
  for (int i = 0; i < 70; ++i) tail = tail->rbnext = acutBuildList(1000, full.c_str(), 0);  // 70 x 257 bytes
  EXPECT_EQ(o->setXData(many), Acad::eXdataSizeExceeded);
  acutRelRb(many);
  o->close();

  ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForRead), Acad::eOk);
  resbuf* back = o->xData(L"zeph");
  o->close();
  std::vector<int> codes;
  for (resbuf* rb = back; rb; rb = rb->rbnext) codes.push_back(rb->restype);
  EXPECT_EQ(codes, (std::vector<int>{1001, 1000, 1000, 1040, 1070, 1002, 1071, 1002}));
  ASSERT_EQ(codes.size(), 8u);
  EXPECT_EQ(std::wstring(back->rbnext->rbnext->resval.rstring), full);
  EXPECT_EQ(back->rbnext->rbnext->rbnext->rbnext->rbnext->rbnext->resval.rlong, 70000);
  acutRelRb(back);
  // An application group without items removes that application's data.
  ASSERT_EQ(acdbOpenAcDbObject(o, id, AcDb::kForWrite), Acad::eOk);
  resbuf* clear = acutBuildList(1001, L"ZEPH", 0);
  EXPECT_EQ(o->setXData(clear), Acad::eOk);
  acutRelRb(clear);
  EXPECT_EQ(o->xData(L"ZEPH"), nullptr);
  o->close();
}

TEST(RunTimeClasses, CastAndKindOf) {
  AcDbCircle c;
  EXPECT_TRUE(c.isKindOf(AcDbEntity::desc()));
  EXPECT_FALSE(c.isKindOf(AcDbLine::desc()));
  EXPECT_EQ(AcDbCircle::cast(&c), &c);
  EXPECT_EQ(AcDbLine::cast(&c), nullptr);
  EXPECT_STREQ(c.isA()->dxfName(), "CIRCLE");
}

TEST(BlockReference, TransformScalesRotatesAndMoves) {
  AcDbBlockReference ref(AcGePoint3d(10, 0, 0), AcDbObjectId::kNull);
  ref.setRotation(M_PI / 2);
  ref.setScaleFactors(AcGeScale3d(2, 2, 2));
  AcGePoint3d p(1, 0, 0);
  p.transformBy(ref.blockTransform());
  EXPECT_TRUE(p.isEqualTo(AcGePoint3d(10, 2, 0)));
}
