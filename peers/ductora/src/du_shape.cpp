#include "du_shape.h"
#include <cmath>
#include <cstring>
#include "du_limits.h"

namespace {
const size_t kElementSize = 28;

struct Element {
  int code = 0, pen = 0;
  DuVec v;
  bool finite = false;  // all three numbers finite and within kDuMaxCoordinate
};

Element element(const std::vector<uint8_t>& bytes, size_t i) {
  const uint8_t* p = bytes.data() + i * kElementSize;
  Element e;
  int16_t code, pen;
  std::memcpy(&code, p, 2);
  std::memcpy(&pen, p + 2, 2);
  std::memcpy(&e.v.x, p + 4, 8);
  std::memcpy(&e.v.y, p + 12, 8);
  std::memcpy(&e.v.z, p + 20, 8);
  e.code = code;
  e.pen = pen;
  e.finite = du_finite(e.v) && std::fabs(e.v.x) <= kDuMaxCoordinate && std::fabs(e.v.y) <= kDuMaxCoordinate &&
             std::fabs(e.v.z) <= kDuMaxCoordinate;
  return e;
}

bool usableNormal(const DuVec& n) { return du_length(n) >= kDuMinVectorLength; }

DuShape line(const DuVec& a, const DuVec& b) {
  DuShape s;
  s.kind = DuShape::LINE;
  s.p[0] = a;
  s.p[1] = b;
  return s;
}

DuShape circle(const DuVec& centre, const DuVec& normal, double radius) {
  DuShape s;
  s.kind = DuShape::CIRCLE;
  s.p[0] = centre;
  s.normal = du_unit(normal);
  s.radius = radius;
  return s;
}

// A frame along an axis: x the axis, z the normal made square to it, y across.
struct Frame {
  DuVec x, y, z;
};

Frame frameAlong(const DuVec& axis, const DuVec& normal) {
  Frame f;
  f.x = du_unit(axis);
  DuVec z = du_sub(normal, du_scale(f.x, du_dot(normal, f.x)));
  if (du_length(z) < kDuMinVectorLength) z = std::fabs(f.x.z) < 0.9 ? DuVec{0, 0, 1} : DuVec{1, 0, 0};
  z = du_unit(du_sub(z, du_scale(f.x, du_dot(z, f.x))));
  f.z = z;
  f.y = du_cross(f.z, f.x);
  return f;
}

// The outline of a round or rectangular section swept from a to b.
void sweep(const DuVec& a, const DuVec& b, const DuVec& normal, const DuConnection& size, std::vector<DuShape>& out) {
  const DuVec run = du_sub(b, a);
  if (du_length(run) < kDuMinVectorLength) return;
  const Frame f = frameAlong(run, normal);
  if (size.shape == 0 && size.diameter > 0) {
    const double r = size.diameter / 2.0;
    out.push_back(circle(a, f.x, r));
    out.push_back(circle(b, f.x, r));
    for (const DuVec& side : {f.y, du_scale(f.y, -1), f.z, du_scale(f.z, -1)}) {
      const DuVec offset = du_scale(side, r);
      out.push_back(line(du_add(a, offset), du_add(b, offset)));
    }
  } else if (size.shape == 1 && size.width > 0 && size.height > 0) {
    const double w = size.width / 2.0, h = size.height / 2.0;
    DuVec corner[4];
    const double sy[4] = {-w, w, w, -w}, sz[4] = {-h, -h, h, h};
    for (int k = 0; k < 4; ++k) corner[k] = du_add(du_scale(f.y, sy[k]), du_scale(f.z, sz[k]));
    for (int k = 0; k < 4; ++k) {
      const DuVec& c = corner[k];
      const DuVec& next = corner[(k + 1) % 4];
      out.push_back(line(du_add(a, c), du_add(b, c)));
      out.push_back(line(du_add(a, c), du_add(a, next)));
      out.push_back(line(du_add(b, c), du_add(b, next)));
    }
  } else {
    out.push_back(line(a, b));
  }
}
}  // namespace

std::vector<DuShape> du_display_list_shapes(const std::vector<uint8_t>& bytes) {
  std::vector<DuShape> out;
  size_t count = bytes.size() / kElementSize;
  if (count > kDuMaxShapeElements) count = kDuMaxShapeElements;
  size_t i = 0;
  while (i < count) {
    const Element e = element(bytes, i);
    if (e.code == 1001) {
      Element previous = e;
      size_t j = i + 1;
      for (; j < count; ++j) {
        const Element next = element(bytes, j);
        if (previous.finite && next.finite) out.push_back(line(previous.v, next.v));
        previous = next;
        if (next.code == 1003) break;
      }
      i = j + 1;
    } else if (e.code == 1021 && i + 3 <= count) {
      const Element n = element(bytes, i + 1), r = element(bytes, i + 2);
      if (e.finite && n.finite && r.finite && usableNormal(n.v) && r.v.x > 0) out.push_back(circle(e.v, n.v, r.v.x));
      i += 3;
    } else if (e.code == 1011 && i + 4 <= count) {
      const Element n = element(bytes, i + 1), axis = element(bytes, i + 2), a = element(bytes, i + 3);
      if (e.finite && n.finite && axis.finite && a.finite && usableNormal(n.v) &&
          du_length(axis.v) >= kDuMinVectorLength && a.v.z > 0 && a.v.z <= 1) {
        DuShape s;
        s.kind = DuShape::ELLIPSE;
        s.p[0] = e.v;
        s.normal = du_unit(n.v);
        s.axis = axis.v;
        s.start = a.v.x;
        s.end = a.v.y;
        s.ratio = a.v.z;
        out.push_back(s);
      }
      i += 4;
    } else if (e.code == 2001 && i + 3 <= count) {
      const int corners = (element(bytes, i + 2).code == 2002 && i + 3 < count) ? 4 : 3;
      DuShape s;
      s.kind = DuShape::FACE;
      s.corners = corners;
      bool finite = true;
      for (int k = 0; k < corners; ++k) {
        const Element c = element(bytes, i + size_t(k));
        s.p[k] = c.v;
        s.visible[k] = c.pen != 99;
        finite = finite && c.finite;
      }
      if (finite) out.push_back(s);
      i += size_t(corners);
    } else {
      ++i;
    }
  }
  return out;
}

std::vector<DuShape> du_connection_shapes(const DuPart& part) {
  std::vector<DuShape> out;
  if (part.typeDefine == "EWAPART_DUCT" && part.connections.size() == 2) {
    DuConnection size;
    size.shape = part.shape;
    size.width = part.width;
    size.height = part.height;
    size.diameter = part.diameter;
    sweep(du_sub(part.connections[0].position, part.position), du_sub(part.connections[1].position, part.position),
          part.normal, size, out);
    return out;
  }
  for (const DuConnection& c : part.connections) {
    const DuVec a = du_sub(c.position, part.position);
    sweep(a, du_add(a, du_scale(du_unit(c.direction), kDuSpigotLength)), c.normal, c, out);
  }
  return out;
}

std::vector<DuShape> du_part_shapes(const DuPart& part) {
  if (part.typeDefine == "EWAPART_CUSTOM" && !part.gmModel.empty()) return du_display_list_shapes(part.gmModel);
  if (part.typeDefine == "EWAPART_CUSTOM" && !part.blockName.empty()) return {};
  if (part.typeDefine != "EWAPART_CUSTOM" && !part.connections.empty()) return du_connection_shapes(part);
  DuShape point;
  point.kind = DuShape::POINT;
  return {point};
}
