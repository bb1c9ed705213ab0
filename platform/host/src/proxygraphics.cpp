// Proxy graphics: what a custom entity draws, in the form DXF files carry it for programs
// without the entity's class. Little-endian: the total size and the count of records,
// then records of their size (header included), their type and their data.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include "customentity.h"

namespace {
enum Type : int32_t { kExtents = 1, kCircle = 2, kArc = 4, kPolyline = 6, kPolygon = 7 };

class Bytes {
 public:
  void int32(int32_t v) { append(&v, 4); }
  void real(double v) { append(&v, 8); }
  void point(const AcGePoint3d& p) {
    real(p.x);
    real(p.y);
    real(p.z);
  }
  void vector(const AcGeVector3d& v) {
    real(v.x);
    real(v.y);
    real(v.z);
  }
  // A record: its size is written when it ends.
  void begin(Type type) {
    m_start = m_out.size();
    int32(0);
    int32(type);
    ++m_count;
  }
  void end() {
    const int32_t size = int32_t(m_out.size() - m_start);
    std::memcpy(&m_out[m_start], &size, 4);
  }
  // The graphics, or none when they outgrow the 32-bit sizes of the format.
  std::string finish() {
    if (m_out.size() > size_t(INT32_MAX)) return "";
    const int32_t size = int32_t(m_out.size()), count = m_count;
    std::memcpy(&m_out[0], &size, 4);
    std::memcpy(&m_out[4], &count, 4);
    return std::move(m_out);
  }
  Bytes() : m_out(8, '\0') {}

 private:
  void append(const void* p, size_t n) { m_out.append(static_cast<const char*>(p), n); }
  std::string m_out;
  size_t m_start = 0;
  int32_t m_count = 0;
};

// The box of a circle in closed form: along each axis the radius times the sine of the
// angle between the axis and the normal.
void addCircle(const cadhost::GiPrimitive& p, double lo[3], double hi[3]) {
  const double n[3] = {p.normal.x, p.normal.y, p.normal.z}, c[3] = {p.center.x, p.center.y, p.center.z};
  for (int i = 0; i < 3; ++i) {
    const double r = p.radius * std::sqrt(std::max(0.0, 1 - n[i] * n[i]));
    lo[i] = std::min(lo[i], c[i] - r);
    hi[i] = std::max(hi[i], c[i] + r);
  }
}

void addPoint(const AcGePoint3d& p, double lo[3], double hi[3]) {
  for (int i = 0; i < 3; ++i) {
    lo[i] = std::min(lo[i], p[i]);
    hi[i] = std::max(hi[i], p[i]);
  }
}
}  // namespace

namespace cadhost {
std::string proxyGraphics(const std::vector<GiPrimitive>& primitives) {
  double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
  for (const GiPrimitive& p : primitives) {
    if (p.kind == GiPrimitive::kCircle) addCircle(p, lo, hi);
    else if (p.kind == GiPrimitive::kArc)
      for (const AcGePoint3d& q : arcPoints(p)) addPoint(q, lo, hi);
    else
      for (const AcGePoint3d& q : p.points) addPoint(q, lo, hi);
  }
  if (lo[0] > hi[0]) return "";
  Bytes b;
  b.begin(kExtents);
  b.point(AcGePoint3d(lo[0], lo[1], lo[2]));
  b.point(AcGePoint3d(hi[0], hi[1], hi[2]));
  b.end();
  for (const GiPrimitive& p : primitives) {
    switch (p.kind) {
      case GiPrimitive::kPolyline:
      case GiPrimitive::kPolygon:
        if (p.points.empty()) break;
        b.begin(p.kind == GiPrimitive::kPolygon ? kPolygon : kPolyline);
        b.int32(int32_t(p.points.size()));
        for (const AcGePoint3d& q : p.points) b.point(q);
        b.end();
        break;
      case GiPrimitive::kCircle:
        // Readers disagree on the plane a circle's centre is given in when the circle is
        // not in the drawing's plane (ezdxf takes it in the circle's own): such a circle
        // goes as its outline, which all read alike.
        if (std::fabs(p.normal.z) < 1 - 1e-12) {
          std::vector<AcGePoint3d> outline = arcPoints(p);
          outline.pop_back();
          b.begin(kPolygon);
          b.int32(int32_t(outline.size()));
          for (const AcGePoint3d& q : outline) b.point(q);
          b.end();
          break;
        }
        b.begin(kCircle);
        b.point(p.center);
        b.real(p.radius);
        b.vector(p.normal);
        b.end();
        break;
      case GiPrimitive::kArc:
        b.begin(kArc);
        b.point(p.center);
        b.real(p.radius);
        b.vector(p.normal);
        b.vector(p.start);
        b.real(p.sweep);
        b.int32(kAcGiArcSimple);
        b.end();
        break;
      case GiPrimitive::kBlock:
        break;
    }
  }
  return b.finish();
}

bool proxyGraphicsExtents(const std::string& graphics, AcGePoint3d& lo, AcGePoint3d& hi) {
  int32_t size = 0, type = 0;
  if (graphics.size() < 8 + 8 + 48) return false;
  std::memcpy(&size, &graphics[8], 4);
  std::memcpy(&type, &graphics[12], 4);
  if (type != kExtents || size != 8 + 48) return false;
  double v[6];
  std::memcpy(v, &graphics[16], sizeof v);
  for (double d : v)
    if (!std::isfinite(d)) return false;
  lo.set(v[0], v[1], v[2]);
  hi.set(v[3], v[4], v[5]);
  return lo.x <= hi.x && lo.y <= hi.y && lo.z <= hi.z;
}
}  // namespace cadhost
