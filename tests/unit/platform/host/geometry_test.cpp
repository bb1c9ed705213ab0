// Guards against wrong transforms: inverse, rotation direction, the arbitrary axis rule.
#include <gtest/gtest.h>
#include <cmath>
#include "acge.h"

TEST(Geometry, RotationIsRightHandedAndInverseUndoesIt) {
  AcGeMatrix3d r = AcGeMatrix3d::rotation(M_PI / 2, AcGeVector3d::kZAxis, AcGePoint3d(1, 1, 0));
  AcGePoint3d p(2, 1, 0);
  p.transformBy(r);
  EXPECT_TRUE(p.isEqualTo(AcGePoint3d(1, 2, 0)));
  p.transformBy(r.inverse());
  EXPECT_TRUE(p.isEqualTo(AcGePoint3d(2, 1, 0)));
  EXPECT_TRUE((r * r.inverse()).isEqualTo(AcGeMatrix3d::kIdentity));
}

TEST(Geometry, CoordSystemTakesColumnsAsGiven) {
  AcGeMatrix3d m;
  m.setCoordSystem(AcGePoint3d(10, 0, 0), AcGeVector3d(0, 2, 0), AcGeVector3d(-1, 0, 0), AcGeVector3d::kZAxis);
  AcGePoint3d p(1, 1, 0);
  p.transformBy(m);
  EXPECT_TRUE(p.isEqualTo(AcGePoint3d(9, 2, 0)));
  AcGePoint3d o;
  AcGeVector3d x, y, z;
  m.getCoordSystem(o, x, y, z);
  EXPECT_TRUE(x.isEqualTo(AcGeVector3d(0, 2, 0)));
  EXPECT_DOUBLE_EQ(m.det(), 2.0);
}

TEST(Geometry, PlaneToWorldFollowsArbitraryAxisRule) {
  // Normal along world Z: identity. Normal along X: X axis becomes world Y.
  EXPECT_TRUE(AcGeMatrix3d::planeToWorld(AcGeVector3d::kZAxis).isEqualTo(AcGeMatrix3d::kIdentity));
  AcGeVector3d x = AcGeVector3d::kXAxis;
  x.transformBy(AcGeMatrix3d::planeToWorld(AcGeVector3d::kXAxis));
  EXPECT_TRUE(x.isEqualTo(AcGeVector3d::kYAxis));
  // Near Z (inside 1/64) the Y-axis branch is taken.
  AcGeVector3d n = AcGeVector3d(0.01, 0, 1).normal();
  AcGeVector3d ax = AcGeVector3d::kXAxis;
  ax.transformBy(AcGeMatrix3d::planeToWorld(n));
  EXPECT_TRUE(ax.isEqualTo(AcGeVector3d::kYAxis.crossProduct(n).normal()));
}

TEST(Geometry, DefaultToleranceAndVectorHelpers) {
  EXPECT_TRUE(AcGeVector3d(1, 0, 0).isEqualTo(AcGeVector3d(1 + 1e-11, 0, 0)));
  EXPECT_FALSE(AcGeVector3d(1, 0, 0).isEqualTo(AcGeVector3d(1 + 1e-8, 0, 0)));
  EXPECT_NEAR(AcGeVector3d::kXAxis.angleTo(AcGeVector3d(-1, 0, 0)), M_PI, 1e-12);
  EXPECT_TRUE(AcGeVector3d().normal().isZeroLength());
  AcGeVector3d v(1, 0, 0);
  v.rotateBy(M_PI / 2, AcGeVector3d::kZAxis);
  EXPECT_TRUE(v.isEqualTo(AcGeVector3d::kYAxis));
}

TEST(Geometry, SingularMatrixInvertsToIdentity) {
  AcGeMatrix3d m = AcGeMatrix3d::scaling(0.0);
  EXPECT_TRUE(m.inverse().isEqualTo(AcGeMatrix3d::kIdentity));
}
