// Points, vectors and 4 x 4 transforms.
#include <cmath>
#include <cstring>
#include "acge.h"

AcGeTol AcGeContext::gTol;
const AcGeVector3d AcGeVector3d::kIdentity(0, 0, 0);
const AcGeVector3d AcGeVector3d::kXAxis(1, 0, 0);
const AcGeVector3d AcGeVector3d::kYAxis(0, 1, 0);
const AcGeVector3d AcGeVector3d::kZAxis(0, 0, 1);
const AcGePoint3d AcGePoint3d::kOrigin(0, 0, 0);
const AcGeMatrix3d AcGeMatrix3d::kIdentity;

double AcGeVector3d::length() const { return std::sqrt(lengthSqrd()); }

AcGeVector3d AcGeVector3d::crossProduct(const AcGeVector3d& v) const {
  return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
}

double AcGeVector3d::angleTo(const AcGeVector3d& v) const {
  double c = crossProduct(v).length();
  return std::atan2(c, dotProduct(v));
}

AcGeVector3d AcGeVector3d::normal(const AcGeTol& tol) const {
  double len = length();
  if (len <= tol.equalVector()) return {0, 0, 0};
  return {x / len, y / len, z / len};
}

AcGeVector3d& AcGeVector3d::normalize(const AcGeTol& tol) { return *this = normal(tol); }

AcGeVector3d& AcGeVector3d::rotateBy(double angle, const AcGeVector3d& axis) {
  return transformBy(AcGeMatrix3d::rotation(angle, axis));
}

AcGeVector3d& AcGeVector3d::transformBy(const AcGeMatrix3d& m) {
  double r[3];
  for (int i = 0; i < 3; ++i) r[i] = m.entry[i][0] * x + m.entry[i][1] * y + m.entry[i][2] * z;
  return set(r[0], r[1], r[2]);
}

bool AcGeVector3d::isEqualTo(const AcGeVector3d& v, const AcGeTol& tol) const {
  return (*this - v).length() <= tol.equalVector();
}

bool AcGeVector3d::isZeroLength(const AcGeTol& tol) const { return length() <= tol.equalVector(); }

double AcGePoint3d::distanceTo(const AcGePoint3d& p) const { return (*this - p).length(); }

AcGePoint3d& AcGePoint3d::transformBy(const AcGeMatrix3d& m) {
  double r[3];
  for (int i = 0; i < 3; ++i)
    r[i] = m.entry[i][0] * x + m.entry[i][1] * y + m.entry[i][2] * z + m.entry[i][3];
  return set(r[0], r[1], r[2]);
}

bool AcGePoint3d::isEqualTo(const AcGePoint3d& p, const AcGeTol& tol) const {
  return distanceTo(p) <= tol.equalPoint();
}

AcGeMatrix3d::AcGeMatrix3d() { setToIdentity(); }

AcGeMatrix3d& AcGeMatrix3d::setToIdentity() {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) entry[r][c] = r == c ? 1.0 : 0.0;
  return *this;
}

bool AcGeMatrix3d::isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol) const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (std::fabs(entry[r][c] - m.entry[r][c]) > tol.equalVector()) return false;
  return true;
}

AcGeMatrix3d AcGeMatrix3d::operator*(const AcGeMatrix3d& m) const {
  AcGeMatrix3d out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += entry[r][k] * m.entry[k][c];
      out.entry[r][c] = s;
    }
  return out;
}

AcGeMatrix3d& AcGeMatrix3d::preMultBy(const AcGeMatrix3d& left) { return *this = left * *this; }
AcGeMatrix3d& AcGeMatrix3d::postMultBy(const AcGeMatrix3d& right) { return *this = *this * right; }

// Determinant and inverse by cofactors of the full 4 x 4 matrix.
static double minor3(const double m[4][4], int r0, int r1, int r2, int c0, int c1, int c2) {
  return m[r0][c0] * (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) -
         m[r0][c1] * (m[r1][c0] * m[r2][c2] - m[r1][c2] * m[r2][c0]) +
         m[r0][c2] * (m[r1][c0] * m[r2][c1] - m[r1][c1] * m[r2][c0]);
}

static double cofactor(const double m[4][4], int row, int col) {
  int rs[3], cs[3], nr = 0, nc = 0;
  for (int i = 0; i < 4; ++i) {
    if (i != row) rs[nr++] = i;
    if (i != col) cs[nc++] = i;
  }
  double v = minor3(m, rs[0], rs[1], rs[2], cs[0], cs[1], cs[2]);
  return ((row + col) % 2) ? -v : v;
}

double AcGeMatrix3d::det() const {
  double d = 0;
  for (int c = 0; c < 4; ++c) d += entry[0][c] * cofactor(entry, 0, c);
  return d;
}

AcGeMatrix3d AcGeMatrix3d::inverse() const {
  AcGeMatrix3d out;
  double d = det();
  if (std::fabs(d) < 1e-300) return out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out.entry[c][r] = cofactor(entry, r, c) / d;
  return out;
}

AcGeMatrix3d& AcGeMatrix3d::setCoordSystem(const AcGePoint3d& origin, const AcGeVector3d& xAxis,
                                           const AcGeVector3d& yAxis, const AcGeVector3d& zAxis) {
  setToIdentity();
  for (int r = 0; r < 3; ++r) {
    entry[r][0] = xAxis[r];
    entry[r][1] = yAxis[r];
    entry[r][2] = zAxis[r];
    entry[r][3] = origin[r];
  }
  return *this;
}

void AcGeMatrix3d::getCoordSystem(AcGePoint3d& origin, AcGeVector3d& xAxis, AcGeVector3d& yAxis,
                                  AcGeVector3d& zAxis) const {
  for (int r = 0; r < 3; ++r) {
    xAxis[r] = entry[r][0];
    yAxis[r] = entry[r][1];
    zAxis[r] = entry[r][2];
    origin[r] = entry[r][3];
  }
}

AcGeMatrix3d& AcGeMatrix3d::setToTranslation(const AcGeVector3d& v) {
  setToIdentity();
  entry[0][3] = v.x;
  entry[1][3] = v.y;
  entry[2][3] = v.z;
  return *this;
}

// Rodrigues' rotation about the unit axis, then moved so that center stays in place.
AcGeMatrix3d& AcGeMatrix3d::setToRotation(double angle, const AcGeVector3d& axis,
                                          const AcGePoint3d& center) {
  setToIdentity();
  AcGeVector3d u = axis.normal();
  double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  entry[0][0] = t * u.x * u.x + c;
  entry[0][1] = t * u.x * u.y - s * u.z;
  entry[0][2] = t * u.x * u.z + s * u.y;
  entry[1][0] = t * u.x * u.y + s * u.z;
  entry[1][1] = t * u.y * u.y + c;
  entry[1][2] = t * u.y * u.z - s * u.x;
  entry[2][0] = t * u.x * u.z - s * u.y;
  entry[2][1] = t * u.y * u.z + s * u.x;
  entry[2][2] = t * u.z * u.z + c;
  AcGePoint3d moved = center;
  moved.transformBy(*this);
  for (int r = 0; r < 3; ++r) entry[r][3] = center[r] - moved[r];
  return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToScaling(double s, const AcGePoint3d& center) {
  setToIdentity();
  for (int r = 0; r < 3; ++r) {
    entry[r][r] = s;
    entry[r][3] = center[r] * (1 - s);
  }
  return *this;
}

// The DXF arbitrary axis rule: X is (0,0,1) x N unless N is near the world Z axis
// (|Nx| and |Ny| below 1/64), then (0,1,0) x N.
AcGeMatrix3d& AcGeMatrix3d::setToPlaneToWorld(const AcGeVector3d& normal) {
  AcGeVector3d n = normal.normal();
  if (n.isZeroLength()) return setToIdentity();
  AcGeVector3d ax;
  if (std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64)
    ax = AcGeVector3d::kYAxis.crossProduct(n);
  else
    ax = AcGeVector3d::kZAxis.crossProduct(n);
  ax.normalize();
  AcGeVector3d ay = n.crossProduct(ax).normal();
  return setCoordSystem(AcGePoint3d::kOrigin, ax, ay, n);
}

AcGeMatrix3d AcGeMatrix3d::translation(const AcGeVector3d& v) { return AcGeMatrix3d().setToTranslation(v); }
AcGeMatrix3d AcGeMatrix3d::rotation(double angle, const AcGeVector3d& axis, const AcGePoint3d& center) {
  return AcGeMatrix3d().setToRotation(angle, axis, center);
}
AcGeMatrix3d AcGeMatrix3d::scaling(double s, const AcGePoint3d& center) {
  return AcGeMatrix3d().setToScaling(s, center);
}
AcGeMatrix3d AcGeMatrix3d::planeToWorld(const AcGeVector3d& normal) {
  return AcGeMatrix3d().setToPlaneToWorld(normal);
}
