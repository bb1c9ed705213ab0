// Geometry of the host: points, vectors and 4 x 4 transforms in world space.
#pragma once
#include "adesk.h"

class AcGeMatrix3d;

// Tolerance of comparisons; the default is what the host's isEqualTo uses.
class ACHOST_API AcGeTol {
 public:
  AcGeTol() = default;
  double equalPoint() const { return m_point; }
  double equalVector() const { return m_vector; }
  void setEqualPoint(double t) { m_point = t; }
  void setEqualVector(double t) { m_vector = t; }

 private:
  double m_point = 1e-10;
  double m_vector = 1e-10;
};

struct ACHOST_API AcGeContext {
  static AcGeTol gTol;
};

class ACHOST_API AcGeVector3d {
 public:
  AcGeVector3d() = default;
  AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  static const AcGeVector3d kIdentity;  // zero vector
  static const AcGeVector3d kXAxis;
  static const AcGeVector3d kYAxis;
  static const AcGeVector3d kZAxis;

  AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  AcGeVector3d operator-() const { return {-x, -y, -z}; }
  AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
  AcGeVector3d& operator+=(const AcGeVector3d& v) { x += v.x; y += v.y; z += v.z; return *this; }
  bool operator==(const AcGeVector3d& v) const { return isEqualTo(v); }
  bool operator!=(const AcGeVector3d& v) const { return !isEqualTo(v); }
  double operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  double& operator[](unsigned int i) { return i == 0 ? x : (i == 1 ? y : z); }

  double length() const;
  double lengthSqrd() const { return x * x + y * y + z * z; }
  double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
  AcGeVector3d crossProduct(const AcGeVector3d& v) const;
  // Angle in radians between the two vectors, 0 to pi.
  double angleTo(const AcGeVector3d& v) const;
  // A unit vector of the same direction (the zero vector stays zero).
  AcGeVector3d normal(const AcGeTol& tol = AcGeContext::gTol) const;
  AcGeVector3d& normalize(const AcGeTol& tol = AcGeContext::gTol);
  AcGeVector3d& negate() { x = -x; y = -y; z = -z; return *this; }
  // Rotates the vector by angle (radians, right-handed) about the axis.
  AcGeVector3d& rotateBy(double angle, const AcGeVector3d& axis);
  AcGeVector3d& transformBy(const AcGeMatrix3d& m);
  bool isEqualTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
  bool isZeroLength(const AcGeTol& tol = AcGeContext::gTol) const;
  AcGeVector3d& set(double xx, double yy, double zz) { x = xx; y = yy; z = zz; return *this; }

  double x = 0, y = 0, z = 0;
};

inline AcGeVector3d operator*(double s, const AcGeVector3d& v) { return v * s; }

class ACHOST_API AcGePoint3d {
 public:
  AcGePoint3d() = default;
  AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  static const AcGePoint3d kOrigin;

  AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
  bool operator==(const AcGePoint3d& p) const { return isEqualTo(p); }
  bool operator!=(const AcGePoint3d& p) const { return !isEqualTo(p); }
  double operator[](unsigned int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  double& operator[](unsigned int i) { return i == 0 ? x : (i == 1 ? y : z); }

  double distanceTo(const AcGePoint3d& p) const;
  AcGePoint3d& transformBy(const AcGeMatrix3d& m);
  AcGeVector3d asVector() const { return {x, y, z}; }
  bool isEqualTo(const AcGePoint3d& p, const AcGeTol& tol = AcGeContext::gTol) const;
  AcGePoint3d& set(double xx, double yy, double zz) { x = xx; y = yy; z = zz; return *this; }

  double x = 0, y = 0, z = 0;
};

class ACHOST_API AcGeScale3d {
 public:
  AcGeScale3d() = default;
  explicit AcGeScale3d(double s) : sx(s), sy(s), sz(s) {}
  AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}
  double sx = 1, sy = 1, sz = 1;
};

// A 4 x 4 transform applied to column vectors: p' = M * p. entry[row][column].
class ACHOST_API AcGeMatrix3d {
 public:
  AcGeMatrix3d();  // identity

  static const AcGeMatrix3d kIdentity;

  AcGeMatrix3d& setToIdentity();
  bool isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol = AcGeContext::gTol) const;
  AcGeMatrix3d operator*(const AcGeMatrix3d& m) const;
  AcGeMatrix3d& preMultBy(const AcGeMatrix3d& left);
  AcGeMatrix3d& postMultBy(const AcGeMatrix3d& right);
  AcGeMatrix3d inverse() const;  // the identity for a singular matrix
  double det() const;

  // Columns: X axis, Y axis, Z axis and origin, taken as given (not normalised).
  AcGeMatrix3d& setCoordSystem(const AcGePoint3d& origin, const AcGeVector3d& xAxis,
                               const AcGeVector3d& yAxis, const AcGeVector3d& zAxis);
  void getCoordSystem(AcGePoint3d& origin, AcGeVector3d& xAxis, AcGeVector3d& yAxis,
                      AcGeVector3d& zAxis) const;
  AcGeMatrix3d& setToTranslation(const AcGeVector3d& v);
  AcGeMatrix3d& setToRotation(double angle, const AcGeVector3d& axis,
                              const AcGePoint3d& center = AcGePoint3d::kOrigin);
  AcGeMatrix3d& setToScaling(double s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
  // The transform from the plane's own coordinates (arbitrary axis rule) to world.
  AcGeMatrix3d& setToPlaneToWorld(const AcGeVector3d& normal);

  static AcGeMatrix3d translation(const AcGeVector3d& v);
  static AcGeMatrix3d rotation(double angle, const AcGeVector3d& axis,
                               const AcGePoint3d& center = AcGePoint3d::kOrigin);
  static AcGeMatrix3d scaling(double s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
  static AcGeMatrix3d planeToWorld(const AcGeVector3d& normal);

  double operator()(unsigned int row, unsigned int col) const { return entry[row][col]; }
  double& operator()(unsigned int row, unsigned int col) { return entry[row][col]; }

  double entry[4][4];
};
