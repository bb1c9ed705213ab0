// Guards the block builder against misread element groups, wrong layers or edges, taken
// block names, changed layers, and bad display lists that crash it or corrupt the drawing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "arxhost.h"
#include "blocks.h"
#include "hosttest.h"
#include "tekshape.h"
#include "test_temp.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// What a test looks at of one entity of a block.
struct Shape {
  std::string kind;
  std::wstring layer;
  AcGePoint3d p[4];
  bool visible[4] = {true, true, true, true};
  AcGeVector3d normal, major;
  double radius = 0, ratio = 0, start = 0, end = 0;
};

Shape shapeOf(AcDbEntity* e) {
  Shape s;
  s.layer = e->layerName();
  if (AcDbLine* l = AcDbLine::cast(e)) {
    s.kind = "line";
    s.p[0] = l->startPoint();
    s.p[1] = l->endPoint();
  } else if (AcDbCircle* c = AcDbCircle::cast(e)) {
    s.kind = "circle";
    s.p[0] = c->center();
    s.normal = c->normal();
    s.radius = c->radius();
  } else if (AcDbEllipse* el = AcDbEllipse::cast(e)) {
    s.kind = "ellipse";
    s.p[0] = el->center();
    s.normal = el->normal();
    s.major = el->majorAxis();
    s.ratio = el->radiusRatio();
    s.start = el->startAngle();
    s.end = el->endAngle();
  } else if (AcDbFace* f = AcDbFace::cast(e)) {
    s.kind = "face";
    for (Adesk::UInt16 k = 0; k < 4; ++k) {
      f->getVertexAt(k, s.p[k]);
      f->isEdgeVisibleAt(k, s.visible[k]);
    }
  } else if (AcDbBlockReference::cast(e)) {
    s.kind = "insert";
  } else {
    s.kind = "other";
  }
  return s;
}

// The entities of a block, in order; the block must exist.
std::vector<Shape> blockShapes(AcDbObjectId blockId) {
  std::vector<Shape> shapes;
  AcDbBlockTableRecord* block = nullptr;
  EXPECT_EQ(acdbOpenObject(block, blockId, AcDb::kForRead), Acad::eOk);
  if (!block) return shapes;
  AcDbBlockTableRecordIterator* it = nullptr;
  block->newIterator(it);
  for (it->start(); !it->done(); it->step()) {
    AcDbEntity* e = nullptr;
    if (it->getEntity(e, AcDb::kForRead) != Acad::eOk) continue;
    shapes.push_back(shapeOf(e));
    e->close();
  }
  delete it;
  block->close();
  return shapes;
}

AcDbObjectId blockNamed(const wchar_t* name) {
  AcDbBlockTable* table = nullptr;
  AcDbObjectId id;
  acdbHostApplicationServices()->workingDatabase()->getBlockTable(table, AcDb::kForRead);
  table->getAt(name, id);
  table->close();
  return id;
}

AcDbObjectId blockFrom(const std::vector<gm_element>& elements, const char* name = "B") {
  gm_model list;
  gm_model_init(&list);
  for (const gm_element& e : elements) gm_model_add_element(&list, &e);
  AcDbObjectId id = block_build_from_a2d(name, "L1", "L2", "L3", "L4", &list);
  gm_model_free(&list);
  return id;
}

gm_element el(int16_t code, double x, double y, double z, int16_t pen = 1) {
  gm_element e;
  e.code = code;
  e.pen = pen;
  e.x = x;
  e.y = y;
  e.z = z;
  return e;
}

bool samePoint(const AcGePoint3d& p, double x, double y, double z) {
  return std::fabs(p.x - x) < 1e-9 && std::fabs(p.y - y) < 1e-9 && std::fabs(p.z - z) < 1e-9;
}

class BlockBuilder : public ::testing::Test {
 protected:
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override { cadhost::endTestSession(); }
};

}  // namespace

TEST_F(BlockBuilder, EmptyListGivesEmptyBlockUnderItsName) {
  AcDbObjectId id = blockFrom({}, "Empty");
  ASSERT_FALSE(id.isNull());
  EXPECT_EQ(blockNamed(L"Empty"), id);
  EXPECT_TRUE(blockShapes(id).empty());
}

TEST_F(BlockBuilder, TakenNameOrNoListGivesNullId) {
  ASSERT_FALSE(blockFrom({}, "Twice").isNull());
  EXPECT_TRUE(blockFrom({}, "Twice").isNull());
  EXPECT_TRUE(block_build_from_a2d("NoList", "0", "0", "0", "0", nullptr).isNull());
  EXPECT_TRUE(blockNamed(L"NoList").isNull());
  std::string longName(300, 'x');
  EXPECT_TRUE(blockFrom({}, longName.c_str()).isNull());
}

TEST_F(BlockBuilder, LineRunOfThreePointsDrawsTwoLinesAndTheWalkGoesOn) {
  auto shapes = blockShapes(blockFrom({el(1001, 0, 0, 0), el(1002, 1, 0, 0), el(1003, 1, 1, 0),
                                       el(1021, 5, 5, 0), el(1022, 0, 0, 1), el(1023, 2, 0, 0)}));
  ASSERT_EQ(shapes.size(), 3u);
  EXPECT_EQ(shapes[0].kind, "line");
  EXPECT_TRUE(samePoint(shapes[0].p[0], 0, 0, 0));
  EXPECT_TRUE(samePoint(shapes[0].p[1], 1, 0, 0));
  EXPECT_TRUE(samePoint(shapes[1].p[0], 1, 0, 0));
  EXPECT_TRUE(samePoint(shapes[1].p[1], 1, 1, 0));
  EXPECT_EQ(shapes[2].kind, "circle");
  EXPECT_TRUE(samePoint(shapes[2].p[0], 5, 5, 0));
  EXPECT_DOUBLE_EQ(shapes[2].radius, 2);
}

TEST_F(BlockBuilder, RunWithoutEndDrawsToTheLastElementAndEndsTheWalk) {
  // The circle group stands inside the open run: its elements are run points.
  auto shapes = blockShapes(blockFrom({el(1001, 0, 0, 0), el(1002, 1, 0, 0), el(1021, 2, 0, 0),
                                       el(1022, 3, 0, 0), el(1023, 4, 0, 0)}));
  ASSERT_EQ(shapes.size(), 4u);
  for (const Shape& s : shapes) EXPECT_EQ(s.kind, "line");
  EXPECT_TRUE(samePoint(shapes[3].p[1], 4, 0, 0));
}

TEST_F(BlockBuilder, GroupsTooCloseToTheEndAreSkippedElementByElement) {
  EXPECT_TRUE(blockShapes(blockFrom({el(7, 0, 0, 0), el(1021, 1, 1, 1), el(1022, 0, 0, 1)})).empty());
  EXPECT_TRUE(blockShapes(blockFrom({el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 1, 0, 0)},
                                    "B2")).empty());
  EXPECT_TRUE(blockShapes(blockFrom({el(2001, 0, 0, 0), el(2002, 1, 0, 0)}, "B3")).empty());
  // A lone start of a run draws nothing.
  EXPECT_TRUE(blockShapes(blockFrom({el(1001, 0, 0, 0)}, "B4")).empty());
}

TEST_F(BlockBuilder, EllipticalArcTakesStartEndAndRatioInThatOrder) {
  auto shapes = blockShapes(blockFrom({el(1011, 1, 2, 3, 3), el(1012, 0, 0, 1),
                                       el(1013, 4, 0, 0), el(1014, 0.5, 2.5, 0.25)}));
  ASSERT_EQ(shapes.size(), 1u);
  const Shape& s = shapes[0];
  EXPECT_EQ(s.kind, "ellipse");
  EXPECT_EQ(s.layer, L"L3");
  EXPECT_TRUE(samePoint(s.p[0], 1, 2, 3));
  EXPECT_NEAR(s.major.x, 4, 1e-12);
  EXPECT_NEAR(s.normal.z, 1, 1e-12);
  EXPECT_DOUBLE_EQ(s.ratio, 0.25);
  EXPECT_DOUBLE_EQ(s.start, 0.5);
  EXPECT_DOUBLE_EQ(s.end, 2.5);
}

TEST_F(BlockBuilder, FaceHasFourVerticesOnlyWith2002ThirdAndAFourthElement) {
  auto shapes = blockShapes(blockFrom({
      // third element 2003: three vertices
      el(2001, 0, 0, 0), el(2002, 1, 0, 0), el(2003, 1, 1, 0),
      // third element 2002 and a fourth: four vertices
      el(2001, 0, 0, 1), el(2002, 1, 0, 1), el(2002, 1, 1, 1), el(2003, 0, 1, 1),
      // third element of another code: three vertices, walk on after it
      el(2001, 0, 0, 2), el(2002, 1, 0, 2), el(1001, 1, 1, 2),
      // a 2002 third element that is the last of the list: three vertices
      el(2001, 0, 0, 3), el(2002, 1, 0, 3), el(2002, 1, 1, 3)}));
  ASSERT_EQ(shapes.size(), 4u);
  for (const Shape& s : shapes) ASSERT_EQ(s.kind, "face");
  // A triangle repeats its third vertex; edge 3 runs from it back to the first vertex, so a
  // visible triangle shows it (hiding it lost every triangle's closing side).
  EXPECT_TRUE(samePoint(shapes[0].p[3], 1, 1, 0));
  EXPECT_TRUE(shapes[0].visible[0] && shapes[0].visible[1] && shapes[0].visible[3]);
  EXPECT_TRUE(samePoint(shapes[1].p[3], 0, 1, 1));
  EXPECT_TRUE(shapes[1].visible[3]);
  EXPECT_TRUE(samePoint(shapes[2].p[2], 1, 1, 2));
  EXPECT_TRUE(shapes[2].visible[3]);
  EXPECT_TRUE(samePoint(shapes[3].p[3], 1, 1, 3));
  EXPECT_TRUE(shapes[3].visible[3]);
}

TEST_F(BlockBuilder, Pen99HidesOnlyTheEdgeStartingThereAndLayerFollowsTheFirstVertex) {
  auto shapes = blockShapes(blockFrom({
      el(2001, 0, 0, 0, 3), el(2002, 1, 0, 0, 99), el(2002, 1, 1, 0, 2), el(2003, 0, 1, 0, 1),
      el(2001, 0, 0, 0, 99), el(2002, 1, 0, 0, 4), el(2003, 1, 1, 0, 99)}));
  ASSERT_EQ(shapes.size(), 2u);
  EXPECT_EQ(shapes[0].layer, L"L3");
  EXPECT_TRUE(shapes[0].visible[0]);
  EXPECT_FALSE(shapes[0].visible[1]);
  EXPECT_TRUE(shapes[0].visible[2]);
  EXPECT_TRUE(shapes[0].visible[3]);
  EXPECT_EQ(shapes[1].layer, L"L1");
  EXPECT_FALSE(shapes[1].visible[0]);
  EXPECT_TRUE(shapes[1].visible[1]);
  EXPECT_FALSE(shapes[1].visible[2]);
  EXPECT_FALSE(shapes[1].visible[3]);
}

TEST_F(BlockBuilder, PensTwoToFourSelectTheirLayersEveryOtherPenTheFirst) {
  std::vector<gm_element> list;
  const int16_t pens[] = {1, 2, 3, 4, 5, 99, 0, -2};
  list.push_back(el(1001, 0, 0, 0, pens[0]));
  for (int k = 1; k < 8; ++k) list.push_back(el(1002, k, 0, 0, pens[k]));
  list.push_back(el(1003, 8, 0, 0, 1));
  auto shapes = blockShapes(blockFrom(list));
  ASSERT_EQ(shapes.size(), 8u);
  const wchar_t* expected[] = {L"L1", L"L2", L"L3", L"L4", L"L1", L"L1", L"L1", L"L1"};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(shapes[k].layer, expected[k]) << k;

  AcDbLayerTable* layers = nullptr;
  acdbHostApplicationServices()->workingDatabase()->getLayerTable(layers, AcDb::kForRead);
  AcDbSymbolTableRecord* rec = nullptr;
  ASSERT_EQ(layers->getAt(L"L4", rec, AcDb::kForRead), Acad::eOk);
  layers->close();
  AcDbLayerTableRecord* layer = AcDbLayerTableRecord::cast(rec);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->color().colorIndex(), 7);
  EXPECT_FALSE(layer->linetypeObjectId().isNull());
  layer->close();
}

TEST_F(BlockBuilder, FreeNameSkipsTakenNumbersWhateverComesAfter) {
  blockFrom({}, "Zephyr1");
  blockFrom({}, "Zephyr2");
  blockFrom({}, "Zephyr4");
  char name[128] = "";
  EXPECT_EQ(block_get_free_blkname("Zephyr", name), 0);
  EXPECT_STREQ(name, "Zephyr3");
  EXPECT_EQ(block_get_free_blkname("Other", name), 0);
  EXPECT_STREQ(name, "Other1");
  EXPECT_EQ(block_get_free_blkname(nullptr, name), -1);
}

TEST_F(BlockBuilder, LayerCreateLeavesAnExistingLayerAsItIs) {
  ASSERT_EQ(layer_create("Walls", 3), 0);
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  AcDbObjectId dashed;
  {
    // Give the layer a linetype of its own that a second create must not replace.
    AcDbLayerTable* layers = nullptr;
    db->getLayerTable(layers, AcDb::kForRead);
    AcDbSymbolTableRecord* rec = nullptr;
    layers->getAt(L"Walls", rec, AcDb::kForWrite);
    layers->close();
    AcDbLayerTableRecord* layer = AcDbLayerTableRecord::cast(rec);
    AcDbLinetypeTable* linetypes = nullptr;
    db->getLinetypeTable(linetypes, AcDb::kForRead);
    linetypes->getAt(L"ByBlock", dashed);
    linetypes->close();
    layer->setLinetypeObjectId(dashed);
    layer->close();
  }
  EXPECT_EQ(layer_create("Walls", 7), 0);
  EXPECT_EQ(layer_create("WALLS", 7), 0);
  AcDbLayerTable* layers = nullptr;
  db->getLayerTable(layers, AcDb::kForRead);
  AcDbSymbolTableRecord* rec = nullptr;
  ASSERT_EQ(layers->getAt(L"Walls", rec, AcDb::kForRead), Acad::eOk);
  layers->close();
  AcDbLayerTableRecord* layer = AcDbLayerTableRecord::cast(rec);
  EXPECT_EQ(layer->color().colorIndex(), 3);
  EXPECT_EQ(layer->linetypeObjectId(), dashed);
  layer->close();
  EXPECT_EQ(layer_create("", 7), -1);
  EXPECT_EQ(layer_create("a<b", 7), -1);
  EXPECT_EQ(layer_create(nullptr, 7), -1);
}

TEST_F(BlockBuilder, AppendReportsEachFailureAndDiscardsTheEntity) {
  blkprop prop = {"B", "", "", 256};
  EXPECT_EQ(block_append_entity(&prop, nullptr), -5);
  blkprop missing = {"NoSuchBlock", "", "", 256};
  EXPECT_EQ(block_append_entity(&missing, new AcDbLine()), -2);
  ASSERT_FALSE(blockFrom({}, "B").isNull());
  blkprop badLayer = {"B", "bad|layer", "", 256};
  EXPECT_EQ(block_append_entity(&badLayer, new AcDbLine()), -4);
  blkprop good = {"B", "Pipes", "CONTINUOUS", 5};
  EXPECT_EQ(block_append_entity(&good, new AcDbLine()), 0);
  auto shapes = blockShapes(blockNamed(L"B"));
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0].layer, L"Pipes");
}

TEST_F(BlockBuilder, InsertWithoutPickPlacesAtThePointWithoutInput) {
  ASSERT_FALSE(blockFrom({el(1001, 0, 0, 0), el(1003, 1, 0, 0)}, "Part").isNull());
  AcDbObjectId ref =
      block_insertblockref("Part", "Units", false, AcGePoint3d(10, 20, 0), true, 90.0, 2.0);
  ASSERT_FALSE(ref.isNull());
  AcDbBlockReference* r = nullptr;
  ASSERT_EQ(acdbOpenObject(r, ref, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(samePoint(r->position(), 10, 20, 0));
  EXPECT_NEAR(r->rotation(), M_PI / 2, 1e-9);
  EXPECT_DOUBLE_EQ(r->scaleFactors().sx, 2.0);
  EXPECT_DOUBLE_EQ(r->scaleFactors().sy, 2.0);
  EXPECT_EQ(r->layerName(), L"Units");
  EXPECT_EQ(r->blockTableRecord(), blockNamed(L"Part"));
  r->close();
  EXPECT_EQ(block_get_last_entity(), ref);
}

TEST_F(BlockBuilder, InsertWithPickTakesPointAndRotationFromTheUser) {
  ASSERT_FALSE(blockFrom({}, "Part").isNull());
  cadhost::addAnswers({"5,6", "45"});
  AcDbObjectId ref = block_insertblockref("Part", "0", true, AcGePoint3d(), true, 0.0, 1.0);
  ASSERT_FALSE(ref.isNull());
  AcDbBlockReference* r = nullptr;
  ASSERT_EQ(acdbOpenObject(r, ref, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(samePoint(r->position(), 5, 6, 0));
  EXPECT_NEAR(r->rotation(), M_PI / 4, 1e-9);
  r->close();

  // Pick the point only: the given rotation is used.
  cadhost::addAnswers({"1,1"});
  ref = block_insertblockref("Part", "0", true, AcGePoint3d(), false, 30.0, 1.0);
  ASSERT_FALSE(ref.isNull());
  ASSERT_EQ(acdbOpenObject(r, ref, AcDb::kForRead), Acad::eOk);
  EXPECT_NEAR(r->rotation(), M_PI / 6, 1e-9);
  r->close();
}

TEST_F(BlockBuilder, CancelledOrRefusedInsertGivesNullIdAndKeepsTheBlock) {
  ASSERT_FALSE(blockFrom({}, "Part").isNull());
  cadhost::addAnswers({"*cancel*"});
  EXPECT_TRUE(block_insertblockref("Part", "0", true, AcGePoint3d(), true, 0.0, 1.0).isNull());
  EXPECT_FALSE(blockNamed(L"Part").isNull());
  EXPECT_TRUE(block_get_last_entity().isNull());
  EXPECT_TRUE(block_insertblockref("Nowhere", "0", false, AcGePoint3d(), false, 0, 1).isNull());
  EXPECT_TRUE(block_insertblockref("Part", "0", false, AcGePoint3d(kNaN, 0, 0), false, 0, 1).isNull());
  EXPECT_TRUE(block_insertblockref("Part", "0", false, AcGePoint3d(), false, kInf, 1).isNull());
  EXPECT_TRUE(block_insertblockref("Part", "0", false, AcGePoint3d(), false, 0, 0).isNull());
  EXPECT_TRUE(block_get_last_entity().isNull());
}

TEST_F(BlockBuilder, SelectOneObjectOpensThePickOrGivesNull) {
  ASSERT_FALSE(blockFrom({}, "Part").isNull());
  AcDbObjectId ref = block_insertblockref("Part", "0", false, AcGePoint3d(3, 4, 0), false, 0, 1);
  ASSERT_FALSE(ref.isNull());
  char handle[40];
  std::snprintf(handle, sizeof handle, "#%llX", (unsigned long long)ref.handle().value());
  cadhost::addAnswers({handle});
  AcDbObject* picked = select_one_object("Select unit:", AcDb::kForRead);
  ASSERT_NE(picked, nullptr);
  EXPECT_EQ(picked->objectId(), ref);
  EXPECT_TRUE(picked->isReadEnabled());
  picked->close();
  EXPECT_NE(cadhost::takeOutput().find("Select unit:"), std::string::npos);
  cadhost::addAnswers({"*cancel*"});
  EXPECT_EQ(select_one_object("Select unit:", AcDb::kForWrite), nullptr);
}

TEST_F(BlockBuilder, LyingCountsReadNothingOrOnlyTheStorage) {
  gm_element items[3] = {el(1001, 0, 0, 0), el(1002, 1, 0, 0), el(1003, 2, 0, 0)};
  gm_model negative = {items, -5, 3};
  AcDbObjectId id = block_build_from_a2d("Neg", "0", "0", "0", "0", &negative);
  ASSERT_FALSE(id.isNull());
  EXPECT_TRUE(blockShapes(id).empty());
  gm_model noItems = {nullptr, 100, 0};
  id = block_build_from_a2d("NoItems", "0", "0", "0", "0", &noItems);
  ASSERT_FALSE(id.isNull());
  EXPECT_TRUE(blockShapes(id).empty());
  // A count beyond the list's storage: only the stored elements are read.
  gm_model longer = {items, 1000000, 3};
  id = block_build_from_a2d("Longer", "0", "0", "0", "0", &longer);
  EXPECT_EQ(blockShapes(id).size(), 2u);
}

TEST_F(BlockBuilder, BadNumbersLeaveOutOnlyTheirEntity) {
  AcDbObjectId id = blockFrom({
      el(4711, 0, 0, 0), el(-3, 0, 0, 0),                                    // unknown codes
      el(1001, 0, 0, 0), el(1002, kNaN, 0, 0), el(1003, 1, 1, 1),            // 2 lines lost
      el(1021, 0, 0, 0), el(1022, 0, 0, 0), el(1023, 1, 0, 0),              // zero normal
      el(1021, 0, 0, 0), el(1022, 0, 0, 1), el(1023, 0, 0, 0),              // zero radius
      el(1021, 0, 0, 0), el(1022, 0, 0, 1), el(1023, -1, 0, 0),             // negative radius
      el(1021, kInf, 0, 0), el(1022, 0, 0, 1), el(1023, 1, 0, 0),           // infinite centre
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 0, 0, 0), el(1014, 0, 1, 0.5),  // no axis
      el(1011, 0, 0, 0), el(1012, 0, 0, 0), el(1013, 1, 0, 0), el(1014, 0, 1, 0.5),  // no normal
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 1, 0, 0), el(1014, 0, 1, 0),    // ratio 0
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 1, 0, 0), el(1014, 0, 1, 1.5),  // ratio > 1
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 1, 0, 0), el(1014, kNaN, 1, 0.5),
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 0, 0, 1), el(1014, 0, 1, 0.5),  // axis on normal
      el(2001, 0, 0, 0), el(2002, 1, 0, 0), el(2003, 1, kInf, 0),           // bad face
      // and the good ones
      el(1001, 0, 0, 0), el(1003, 5, 0, 0),
      el(1021, 0, 0, 0), el(1022, 0, 0, 2), el(1023, 3, 0, 0),
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 2, 0, 0), el(1014, 0, 6.28, 1.0),
      el(2001, 0, 0, 0), el(2002, 1, 0, 0), el(2003, 1, 1, 0)});
  auto shapes = blockShapes(id);
  ASSERT_EQ(shapes.size(), 4u);
  EXPECT_EQ(shapes[0].kind, "line");
  EXPECT_EQ(shapes[1].kind, "circle");
  EXPECT_NEAR(shapes[1].normal.z, 1.0, 1e-12);  // normal made a unit vector
  EXPECT_EQ(shapes[2].kind, "ellipse");
  EXPECT_EQ(shapes[3].kind, "face");
}

// The drawing written with every kind of entity loads in an outside reader without errors.
TEST_F(BlockBuilder, SavedBlockLoadsCleanInEzdxf) {
  std::vector<gm_element> list = {
      el(1001, 0, 0, 0), el(1002, 1, 0, 0, 2), el(1003, 1, 1, 0, 3),
      el(1021, 0, 0, 0), el(1022, 0, 1, 1), el(1023, 2, 0, 0),
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 2, 0, 0), el(1014, 0, 3.14, 0.5),
      el(1011, 0, 0, 0), el(1012, 0, 0, 1), el(1013, 2, 0, 0), el(1014, kNaN, 3.14, 0.5),
      el(1021, 0, 0, 0), el(1022, 0, 0, 0), el(1023, 2, 0, 0),
      el(2001, 0, 0, 0), el(2002, 1, 0, 0, 99), el(2002, 1, 1, 0), el(2003, 0, 1, 0)};
  ASSERT_FALSE(blockFrom(list, "Zephyr1").isNull());
  ASSERT_FALSE(block_insertblockref("Zephyr1", "0", false, AcGePoint3d(1, 2, 0), false, 30, 1)
                   .isNull());
  std::string dir = testTempRoot();
  std::string path = dir + "/blocks_test_saved_" + std::to_string(getpid()) + ".dxf";
  std::wstring wpath(path.begin(), path.end());
  ASSERT_EQ(acdbHostApplicationServices()->workingDatabase()->dxfOut(wpath.c_str()), Acad::eOk);
  std::string command =
      "/usr/bin/python3 -c \"import ezdxf,sys; d=ezdxf.readfile(sys.argv[1]); a=d.audit(); "
      "b=d.blocks.get('Zephyr1'); kinds=sorted(e.dxftype() for e in b); "
      "ok = not a.has_errors and not a.has_fixes and kinds==['3DFACE','CIRCLE','ELLIPSE','LINE','LINE'] "
      "and len(d.modelspace().query('INSERT'))==1; sys.exit(0 if ok else 1)\" " + path;
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::remove(path.c_str());
}

// Random element groups with hostile numbers: whatever is built must save as a clean drawing.
TEST_F(BlockBuilder, RandomListsWithHostileNumbersSaveClean) {
  const double hostile[] = {0, 1e-7, 1e-320, 1e300, -1e300, kNaN, kInf, -kInf};
  std::mt19937 random(20261208);
  // Mostly plain small numbers, one in eight hostile.
  auto num = [&]() -> double {
    return random() % 8 ? (double)(int)(random() % 200) - 100 : hostile[random() % 8];
  };
  auto pen = [&]() -> int16_t { return (int16_t)(random() % 6 == 0 ? 99 : random() % 6); };
  gm_model list;
  gm_model_init(&list);
  auto add = [&](int16_t code, double x, double y, double z) {
    gm_model_add(&list, code, pen(), x, y, z);
  };
  for (int group = 0; group < 3000; ++group) {
    switch (random() % 6) {
      case 0: {  // line run, sometimes without its end
        add(1001, num(), num(), num());
        for (int k = random() % 3; k > 0; --k) add(1002, num(), num(), num());
        if (random() % 10) add(1003, num(), num(), num());
        break;
      }
      case 1:  // circle
        add(1021, num(), num(), num());
        add(1022, random() % 4 ? 0 : num(), 0, random() % 4 ? 1 : num());
        add(1023, random() % 4 ? 5 : num(), 0, 0);
        break;
      case 2:  // elliptical arc in the XY plane, sometimes spoiled
        add(1011, num(), num(), num());
        add(1012, 0, 0, random() % 4 ? 1 : num());
        add(1013, random() % 4 ? 4 : num(), random() % 4 ? 0 : num(), 0);
        add(1014, num(), num(), random() % 4 ? 0.5 : num());
        break;
      case 3:  // face, 3 or 4 vertices
        add(2001, num(), num(), num());
        add(2002, num(), num(), num());
        if (random() % 2) add(2002, num(), num(), num());
        add(2003, num(), num(), num());
        break;
      default:  // a stray element of any code
        add((int16_t)(random() % 4000), num(), num(), num());
    }
  }
  AcDbObjectId id = block_build_from_a2d("Random", "0", "L2", "L3", "L4", &list);
  gm_model_free(&list);
  ASSERT_FALSE(id.isNull());
  int kinds[4] = {0, 0, 0, 0};
  for (const Shape& shape : blockShapes(id)) {
    kinds[0] += shape.kind == "line";
    kinds[1] += shape.kind == "circle";
    kinds[2] += shape.kind == "ellipse";
    kinds[3] += shape.kind == "face";
  }
  for (int count : kinds) EXPECT_GT(count, 100);
  std::string path = testTempRoot() + "/blocks_test_random_" + std::to_string(getpid()) + ".dxf";
  std::wstring wpath(path.begin(), path.end());
  ASSERT_EQ(acdbHostApplicationServices()->workingDatabase()->dxfOut(wpath.c_str()), Acad::eOk);
  std::string command =
      "/usr/bin/python3 -c \"import ezdxf,sys; d=ezdxf.readfile(sys.argv[1]); a=d.audit(); "
      "[print(e.message) for e in a.errors + a.fixes]; "
      "sys.exit(0 if not a.has_errors and not a.has_fixes and len(d.blocks.get('Random')) else 1)\" " +
      path;
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::remove(path.c_str());
}
