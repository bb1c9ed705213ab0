// ELLIPSE: centre and major axis in world coordinates, ratio, start and end parameters.
#include <cmath>
#include "dxfschema.h"

Acad::ErrorStatus AcDbEllipse::set(const AcGePoint3d& center, const AcGeVector3d& unitNormal,
                                   const AcGeVector3d& majorAxis, double radiusRatio,
                                   double startAngle, double endAngle) {
  if (majorAxis.isZeroLength() || unitNormal.isZeroLength() || radiusRatio <= 0 || radiusRatio > 1)
    return Acad::eInvalidInput;
  m_center = center;
  m_normal = unitNormal;
  m_majorAxis = majorAxis;
  m_ratio = radiusRatio;
  m_start = startAngle;
  m_end = endAngle;
  return Acad::eOk;
}

static AcDbEllipse* el(AcDbEntity* e) { return static_cast<AcDbEllipse*>(e); }
static const AcDbEllipse* el(const AcDbEntity* e) { return static_cast<const AcDbEllipse*>(e); }

// The reader sets one value at a time; the others are kept as they stand.
static void setField(AcDbEntity* e, int which, const DxfValue& v) {
  AcDbEllipse* x = el(e);
  AcGePoint3d c = x->center();
  AcGeVector3d n = x->normal(), a = x->majorAxis();
  double r = x->radiusRatio(), s = x->startAngle(), t = x->endAngle();
  switch (which) {
    case 0: c = dxfPoint(v); break;
    case 1: a = dxfVector(v); break;
    case 2: n = dxfVector(v); break;
    case 3: r = v.v[0]; break;
    case 4: s = v.v[0]; break;
    default: t = v.v[0]; break;
  }
  // A degenerate value (zero axis, ratio out of range) leaves the ellipse as it was.
  x->set(c, n, a, r, s, t);
}

static const DxfField kFields[] = {
    {100, DxfType::kMarker, "AcDbEllipse", nullptr, nullptr},
    {10, DxfType::kPoint, "center", [](const AcDbEntity* e, DxfValue& v) { dxfSetPoint(v, el(e)->center()); },
     [](AcDbEntity* e, const DxfValue& v) { setField(e, 0, v); }},
    {11, DxfType::kPoint, "major axis", [](const AcDbEntity* e, DxfValue& v) { dxfSetVector(v, el(e)->majorAxis()); },
     [](AcDbEntity* e, const DxfValue& v) { setField(e, 1, v); }},
    {210, DxfType::kNormal, "normal", [](const AcDbEntity* e, DxfValue& v) { dxfSetVector(v, el(e)->normal()); },
     [](AcDbEntity* e, const DxfValue& v) { setField(e, 2, v); }},
    {40, DxfType::kReal, "ratio", [](const AcDbEntity* e, DxfValue& v) { v.v[0] = el(e)->radiusRatio(); },
     [](AcDbEntity* e, const DxfValue& v) { setField(e, 3, v); }},
    {41, DxfType::kReal, "start", [](const AcDbEntity* e, DxfValue& v) { v.v[0] = el(e)->startAngle(); },
     [](AcDbEntity* e, const DxfValue& v) { setField(e, 4, v); }},
    {42, DxfType::kReal, "end", [](const AcDbEntity* e, DxfValue& v) { v.v[0] = el(e)->endAngle(); },
     [](AcDbEntity* e, const DxfValue& v) { setField(e, 5, v); }},
};

static void outline(const AcDbEntity* e, Outline& out) {
  const AcDbEllipse* x = el(e);
  AcGeVector3d major = x->majorAxis();
  AcGeVector3d minor = x->normal().normal().crossProduct(major) * x->radiusRatio();
  double s = x->startAngle(), t = x->endAngle();
  if (t <= s) t += 2 * M_PI;
  std::vector<AcGePoint3d> pts;
  for (int i = 0; i <= 64; ++i) {
    double a = s + (t - s) * i / 64;
    pts.push_back(x->center() + major * std::cos(a) + minor * std::sin(a));
  }
  out.push_back(std::move(pts));
}

// Along axis i the arc is c_i + a_i cos t + b_i sin t = c_i + R_i cos(t - phi_i): its ends,
// and R_i or -R_i where t - phi_i is 0 or pi within the arc.
static bool extents(const AcDbEntity* e, AcGePoint3d& lo, AcGePoint3d& hi) {
  const AcDbEllipse* x = el(e);
  AcGeVector3d a = x->majorAxis();
  AcGeVector3d b = x->normal().normal().crossProduct(a) * x->radiusRatio();
  double s = x->startAngle(), t = x->endAngle();
  if (t <= s) t += 2 * M_PI;
  const double span = t - s, major[3] = {a.x, a.y, a.z}, minor[3] = {b.x, b.y, b.z};
  const AcGePoint3d c = x->center();
  const double center[3] = {c.x, c.y, c.z};
  auto within = [&](double angle) {
    double d = std::fmod(angle - s, 2 * M_PI);
    if (d < 0) d += 2 * M_PI;
    return span >= 2 * M_PI || d <= span;
  };
  double low[3], high[3];
  for (int i = 0; i < 3; ++i) {
    double atStart = major[i] * std::cos(s) + minor[i] * std::sin(s), atEnd = major[i] * std::cos(t) + minor[i] * std::sin(t);
    double reach = std::hypot(major[i], minor[i]), phi = std::atan2(minor[i], major[i]);
    low[i] = center[i] + (within(phi + M_PI) ? -reach : std::min(atStart, atEnd));
    high[i] = center[i] + (within(phi) ? reach : std::max(atStart, atEnd));
  }
  const AcGePoint3d corners[2] = {{low[0], low[1], low[2]}, {high[0], high[1], high[2]}};
  return dxfBoxOf(corners, 2, lo, hi);
}

const DxfEntityKind kDxfEllipseKind = {"ELLIPSE", &AcDbEllipse::desc,
                                       dxfCreate<AcDbEllipse>, kFields,
                                       DXF_COUNT(kFields), nullptr, outline, extents};
