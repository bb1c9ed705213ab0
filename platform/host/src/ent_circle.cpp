// CIRCLE: the file holds the centre in the circle's own plane (object coordinates).
#include <algorithm>
#include <cmath>
#include "dxfschema.h"

static const DxfField kFields[] = {
    {100, DxfType::kMarker, "AcDbCircle", nullptr, nullptr},
    {10, DxfType::kPoint, "center",
     [](const AcDbEntity* e, DxfValue& v) {
       auto* c = static_cast<const AcDbCircle*>(e);
       dxfSetPoint(v, dxfToPlane(c->center(), c->normal()));
     },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbCircle*>(e)->setCenter(dxfPoint(v)); }},
    {40, DxfType::kReal, "radius",
     [](const AcDbEntity* e, DxfValue& v) { v.v[0] = static_cast<const AcDbCircle*>(e)->radius(); },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbCircle*>(e)->setRadius(v.v[0]); }},
    {210, DxfType::kNormal, "normal",
     [](const AcDbEntity* e, DxfValue& v) { dxfSetVector(v, static_cast<const AcDbCircle*>(e)->normal()); },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbCircle*>(e)->setNormal(dxfVector(v)); }},
};

static void afterRead(AcDbEntity* e) {
  auto* c = static_cast<AcDbCircle*>(e);
  c->setCenter(c->center().transformBy(AcGeMatrix3d::planeToWorld(c->normal())));
}

static void outline(const AcDbEntity* e, Outline& out) {
  auto* c = static_cast<const AcDbCircle*>(e);
  AcGeMatrix3d m = AcGeMatrix3d::planeToWorld(c->normal());
  std::vector<AcGePoint3d> pts;
  for (int i = 0; i <= 64; ++i) {
    double a = i * 2 * M_PI / 64;
    AcGeVector3d d(std::cos(a) * c->radius(), std::sin(a) * c->radius(), 0);
    pts.push_back(c->center() + d.transformBy(m));
  }
  out.push_back(std::move(pts));
}

// In the plane across its normal n, the circle reaches r * sqrt(1 - n_i^2) along axis i.
static bool extents(const AcDbEntity* e, AcGePoint3d& lo, AcGePoint3d& hi) {
  auto* c = static_cast<const AcDbCircle*>(e);
  AcGeVector3d n = c->normal().normal();
  if (n.isZeroLength()) n = AcGeVector3d::kZAxis;  // as the plane of a zero normal is
  const double r = std::fabs(c->radius()), across[3] = {n.x, n.y, n.z};
  const AcGePoint3d center = c->center();
  double reach[3];
  for (int i = 0; i < 3; ++i) reach[i] = r * std::sqrt(std::max(0.0, 1 - across[i] * across[i]));
  const AcGePoint3d corners[2] = {{center.x - reach[0], center.y - reach[1], center.z - reach[2]},
                                  {center.x + reach[0], center.y + reach[1], center.z + reach[2]}};
  return dxfBoxOf(corners, 2, lo, hi);
}

const DxfEntityKind kDxfCircleKind = {"CIRCLE", &AcDbCircle::desc, dxfCreate<AcDbCircle>,
                                      kFields, DXF_COUNT(kFields), afterRead, outline, extents};
