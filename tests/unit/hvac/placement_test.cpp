// Guards the placement of external components: the side and distance of an 'H' component,
// an inlet of a 'D' component that must land on the unit connection's line facing back
// (factor order and axis directions of the frames), and the box of connection points.
#include <gtest/gtest.h>

#include "placement.h"

namespace {
DuctConnectionData connectionAt(double x, double y, double z, AcGeVector3d direction = AcGeVector3d::kXAxis) {
  DuctConnectionData c;
  c.position.set(x, y, z);
  c.direction = direction;
  c.normal = AcGeVector3d::kZAxis;
  return c;
}

GraphicalPart turnedUnit() {
  GraphicalPart unit("VH-CX-1200", 'D');
  unit.connections.clear();
  unit.position.set(1000, 500, 0);
  unit.direction = AcGeVector3d::kYAxis;  // turned 90 degrees
  unit.normal = AcGeVector3d::kZAxis;
  return unit;
}

void expectNear(const AcGePoint3d& p, double x, double y, double z) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
  EXPECT_NEAR(p.z, z, 1e-9);
}
}  // namespace

TEST(Placement, BesideTheUnitOnTheSideOfItsConnection) {
  GraphicalPart unit = turnedUnit(), silencer("VH-SIL-600x400", 'H');
  unit.connections[CONN_SUPPLY] = connectionAt(600, 100, 300);
  unit.connections[CONN_EXTRACT] = connectionAt(-400, 0, 300);
  silencer.connections[CONN_SUPPLY_IN] = connectionAt(0, 20, 50);
  silencer.connections[CONN_SUPPLY_OUT] = connectionAt(300, 20, 50);
  const DuctConnectionData& inlet = silencer.connections[CONN_SUPPLY_IN];

  // 0.75 x 1000 + 0.75 x 300 + 1300 along the unit's X direction (world Y), in its orientation,
  // the inlet in line with the connection and at its height (not at the unit's floor level).
  ASSERT_EQ(dc_place_external_part(&unit, &unit.connections[CONN_SUPPLY], &silencer, &inlet, 1300), 0);
  expectNear(silencer.position, 1000 - 80, 500 + 2275, 250);
  EXPECT_TRUE(silencer.direction.isEqualTo(AcGeVector3d::kYAxis));
  EXPECT_TRUE(silencer.normal.isEqualTo(AcGeVector3d::kZAxis));
  ASSERT_EQ(dc_place_external_part(&unit, &unit.connections[CONN_EXTRACT], &silencer, &inlet, 1300), 0);
  expectNear(silencer.position, 1000 + 20, 500 - 2275, 250);

  GraphicalPart bare = turnedUnit();
  DuctConnectionData nowhere = connectionAt(600, 0, 0);
  ASSERT_EQ(dc_place_external_part(&bare, &nowhere, &silencer, &inlet, 1300), 0);
  expectNear(silencer.position, 1000 + 20, 500, -50);
}

TEST(Placement, InletLandsOnTheConnectionLineFacingBack) {
  GraphicalPart unit = turnedUnit(), damper("VH-DMP-250", 'D');
  const DuctConnectionData supply = connectionAt(950, 0, 360);
  damper.connections[CONN_SUPPLY_IN] = connectionAt(-20, 5, 125, -AcGeVector3d::kXAxis);
  const DuctConnectionData& inlet = damper.connections[CONN_SUPPLY_IN];
  ASSERT_EQ(dc_place_external_part(&unit, &supply, &damper, &inlet, 1300), 0);

  // The damper's model placed by its new position, direction and normal.
  AcGeMatrix3d placed;
  placed.setCoordSystem(damper.position, damper.direction, damper.normal.crossProduct(damper.direction),
                        damper.normal);
  AcGePoint3d inletPoint = inlet.position;
  AcGeVector3d inletDirection = inlet.direction;
  inletPoint.transformBy(placed);
  inletDirection.transformBy(placed);
  // The supply connection stands at (1000, 1450, 360) facing +Y in the drawing.
  expectNear(inletPoint, 1000, 1450 + 1300, 360);
  EXPECT_TRUE(inletDirection.isEqualTo(-AcGeVector3d::kYAxis)) << inletDirection.x << " " << inletDirection.y;
}

TEST(Placement, OtherAlignmentsAndMissingArgumentsChangeNothing) {
  GraphicalPart unit = turnedUnit(), component("VH-X", 'V');
  DuctConnectionData c = connectionAt(1, 2, 3);
  component.position.set(7, 8, 9);
  EXPECT_EQ(dc_place_external_part(&unit, &c, &component, &c, 1300), -50);
  component.alignment = 'x';
  EXPECT_EQ(dc_place_external_part(&unit, &c, &component, &c, 1300), -100);
  expectNear(component.position, 7, 8, 9);
  EXPECT_EQ(dc_place_external_part(nullptr, &c, &component, &c, 1), -1);
  EXPECT_EQ(dc_place_external_part(&unit, &c, &component, nullptr, 1), -4);
  component.alignment = 'D';
  DuctConnectionData flat = connectionAt(0, 0, 0, AcGeVector3d::kZAxis);  // direction along its normal
  EXPECT_EQ(dc_place_external_part(&unit, &c, &component, &flat, 1300), -5);
  expectNear(component.position, 7, 8, 9);
}

TEST(Placement, ExtentsAreTheTrueSpanOfTheConnections) {
  GraphicalPart part("P", 'D');
  part.connections.clear();
  double box[EXTENT_COUNT] = {0};
  EXPECT_EQ(dc_connection_extents(&part, box), -2);
  part.connections[CONN_SUPPLY_IN] = connectionAt(-900, -50, 10);
  part.connections[CONN_SUPPLY_OUT] = connectionAt(-300, 150, 10);
  ASSERT_EQ(dc_connection_extents(&part, box), 0);
  EXPECT_DOUBLE_EQ(box[EXTENT_MIN_X], -900);
  EXPECT_DOUBLE_EQ(box[EXTENT_MAX_X], -300);
  EXPECT_DOUBLE_EQ(box[EXTENT_SIZE_X], 600);
  EXPECT_DOUBLE_EQ(box[EXTENT_SIZE_Y], 200);
  EXPECT_DOUBLE_EQ(box[EXTENT_SIZE_Z], 0);
  EXPECT_DOUBLE_EQ(box[EXTENT_LARGEST], 600);
  EXPECT_EQ(dc_connection_extents(nullptr, box), -1);
}
