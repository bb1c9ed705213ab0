// Guards against display lists drawn wrongly or unsafely (groups cut off by the end of
// the list, numbers that are not finite, hidden face edges) and against stub and duct
// outlines of the wrong size or place.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <limits>
#include "du_elements.h"
#include "du_shape.h"

namespace {
std::vector<DuShape::Kind> kindsOf(const std::vector<DuShape>& shapes) {
  std::vector<DuShape::Kind> out;
  for (const DuShape& s : shapes) out.push_back(s.kind);
  return out;
}
}  // namespace

TEST(DuShape, DisplayListGroups) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<uint8_t> list;
  addElement(list, 1001, 0);        // run: 0 -> 1 -> (NaN) -> 3: only the first line is drawn
  addElement(list, 1002, 1);
  addElement(list, 1002, nan);
  addElement(list, 1003, 3);
  addElement(list, 1011, 0);        // arc with ratio 0.5 from 0 to pi
  addElement(list, 0, 0, 0, 1);
  addElement(list, 0, 10, 0, 0);
  addElement(list, 0, 0, M_PI, 0.5);
  addElement(list, 1011, 0);        // arc of ratio 0: nothing
  addElement(list, 0, 0, 0, 1);
  addElement(list, 0, 10, 0, 0);
  addElement(list, 0, 0, 1, 0);
  addElement(list, 2001, 0, 0, 0, 99);  // four corners, the first edge hidden
  addElement(list, 0, 1, 0, 0);
  addElement(list, 2002, 1, 1, 0);
  addElement(list, 0, 0, 1, 0);
  addElement(list, 1021, 1e300);    // circle beyond the drawing's reach: nothing
  addElement(list, 0, 0, 0, 1);
  addElement(list, 0, 5);
  addElement(list, 2001, 0);        // a face whose 2002 is the last element has three corners
  addElement(list, 0, 1);
  addElement(list, 2002, 1, 1);
  list.push_back(0xAB);      // a cut element is not read
  const std::vector<DuShape> shapes = du_display_list_shapes(list);
  ASSERT_EQ(kindsOf(shapes), (std::vector<DuShape::Kind>{DuShape::LINE, DuShape::ELLIPSE, DuShape::FACE,
                                                          DuShape::FACE}));
  EXPECT_EQ(shapes[0].p[1].x, 1);
  EXPECT_EQ(shapes[1].ratio, 0.5);
  EXPECT_EQ(shapes[1].end, M_PI);
  EXPECT_EQ(shapes[2].corners, 4);
  EXPECT_FALSE(shapes[2].visible[0]);
  EXPECT_TRUE(shapes[2].visible[1]);
  EXPECT_EQ(shapes[3].corners, 3);

  // A circle whose group the list cuts off is skipped element by element, and a run
  // without its end draws to the last element.
  list.clear();
  addElement(list, 1001, 0);
  addElement(list, 1021, 1);
  addElement(list, 0, 2);
  const std::vector<DuShape> cut = du_display_list_shapes(list);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[1].p[1].x, 2);
}

TEST(DuShape, SpigotsAndRuns) {
  DuPart stub;
  stub.typeDefine = "EWAPART_EXTERNALPART";
  stub.position = DuVec{1000, 0, 0};
  DuConnection rect;
  rect.position = DuVec{1000, 0, 0};
  rect.direction = DuVec{0, 2, 0};
  rect.normal = DuVec{0, 0, 1};
  rect.shape = 1;
  rect.width = 400;
  rect.height = 200;
  DuConnection none = rect;
  none.shape = 0;
  none.diameter = 0;
  stub.connections = {rect, none};
  const std::vector<DuShape> shapes = du_connection_shapes(stub);
  ASSERT_EQ(shapes.size(), 13u);  // a box of twelve edges, and a line for the connection of no size
  double minX = 1e9, maxX = -1e9, maxY = -1e9, maxZ = -1e9;
  for (size_t i = 0; i < 12; ++i)
    for (int k = 0; k < 2; ++k) {
      minX = std::min(minX, shapes[i].p[k].x);
      maxX = std::max(maxX, shapes[i].p[k].x);
      maxY = std::max(maxY, shapes[i].p[k].y);
      maxZ = std::max(maxZ, shapes[i].p[k].z);
    }
  EXPECT_DOUBLE_EQ(minX, -200);  // width across the direction, relative to the part
  EXPECT_DOUBLE_EQ(maxX, 200);
  EXPECT_DOUBLE_EQ(maxY, kDuSpigotLength);
  EXPECT_DOUBLE_EQ(maxZ, 100);   // height along the normal

  DuPart duct;
  duct.typeDefine = "EWAPART_DUCT";
  duct.position = DuVec{0, 0, 0};
  duct.normal = DuVec{0, 0, 1};
  duct.shape = 0;
  duct.diameter = 315;
  DuConnection a, b;
  b.position = DuVec{0, 1300, 0};
  duct.connections = {a, b};
  const std::vector<DuShape> run = du_connection_shapes(duct);
  ASSERT_EQ(run.size(), 6u);
  EXPECT_EQ(run[0].kind, DuShape::CIRCLE);
  EXPECT_DOUBLE_EQ(run[0].radius, 157.5);
  EXPECT_DOUBLE_EQ(run[1].p[0].y, 1300);
}
