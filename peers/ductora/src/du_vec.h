// Points and vectors of Ductora's parts, with the little arithmetic the server needs.
#pragma once
#include <cmath>

struct DuVec {
  double x = 0, y = 0, z = 0;
};

inline DuVec du_add(const DuVec& a, const DuVec& b) { return DuVec{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline DuVec du_sub(const DuVec& a, const DuVec& b) { return DuVec{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline DuVec du_scale(const DuVec& a, double f) { return DuVec{a.x * f, a.y * f, a.z * f}; }
inline double du_dot(const DuVec& a, const DuVec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DuVec du_cross(const DuVec& a, const DuVec& b) {
  return DuVec{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double du_length(const DuVec& a) { return std::sqrt(du_dot(a, a)); }
// The vector scaled to length 1; the zero vector stays zero.
inline DuVec du_unit(const DuVec& a) {
  const double l = du_length(a);
  return l > 0 ? du_scale(a, 1 / l) : a;
}
inline bool du_finite(const DuVec& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }
inline bool operator==(const DuVec& a, const DuVec& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const DuVec& a, const DuVec& b) { return !(a == b); }
