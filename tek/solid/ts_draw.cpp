// Geometry of the drawing statements, written as display-list element groups.
#include "ts_internal.h"

#include <cmath>
#include <utility>

namespace teksolid {
namespace {

constexpr double kPi = 3.14159265358979323846;

gm_point move(const gm_point& p, const gm_vector& v, double f) {
  return {p.x + v.x * f, p.y + v.y * f, p.z + v.z * f};
}
gm_vector unit(gm_vector v, bool& ok) {
  ok = gm_vector_set_length(&v, 1.0) == 0;
  return v;
}

// Any unit vector at right angles to the unit vector axis.
gm_vector perpendicular(const gm_vector& axis) {
  gm_vector helper = std::fabs(axis.x) < 0.9 ? gm_vector{1, 0, 0} : gm_vector{0, 1, 0};
  gm_vector u;
  gm_vector_cross(&axis, &helper, &u);
  gm_vector_set_length(&u, 1.0);
  return u;
}

class Writer {
 public:
  Writer(const ts_model& m, gm_model* out) : m_(m), v_(m.values), out_(out) { pending_.reserve(2 * kBatch); }

  bool statement(const Statement& s);
  // Hands the elements written so far to the list.
  bool flush() {
    if (pending_.empty()) return ok_;
    const int32_t n = static_cast<int32_t>(pending_.size());
    const gm_model batch{pending_.data(), n, n};
    if (gm_model_copy(&batch, out_, GM_COPY_APPEND) != 0) ok_ = false;
    pending_.clear();
    return ok_;
  }

 private:
  // Elements go to the list in batches, not one call each.
  static constexpr size_t kBatch = 4096;
  const ts_model& m_;
  const std::vector<double>& v_;
  gm_model* out_;
  std::vector<gm_element> pending_;
  bool ok_ = true;

  double val(int e, double fallback = 0) const { return e >= 0 ? v_[e] : fallback; }
  gm_point point(const Triple& t) const { return {v_[t[0]], v_[t[1]], v_[t[2]]}; }
  gm_vector vec(const Triple& t) const { return {v_[t[0]], v_[t[1]], v_[t[2]]}; }
  void add(int code, int pen, double x, double y, double z) {
    gm_element e;
    e.code = static_cast<int16_t>(code);
    e.pen = static_cast<int16_t>(pen);
    e.x = x;
    e.y = y;
    e.z = z;
    pending_.push_back(e);
  }
  void add(int code, int pen, const gm_point& p) { add(code, pen, p.x, p.y, p.z); }
  void add(int code, int pen, const gm_vector& p) { add(code, pen, p.x, p.y, p.z); }

  // A face of 3 or 4 vertices; pens[k] is the pen of vertex k (99 hides the edge from it).
  void face(const gm_point* p, const int* pens, int n) {
    for (int k = 0; k < n; ++k) {
      int code = k == 0 ? GM_FACE : (k == n - 1 ? GM_FACE_LAST : GM_FACE_VERTEX);
      add(code, pens[k], p[k]);
    }
  }
  // A face of a closed solid, turned if need be so that its vertices run counter-clockwise
  // seen from outside (away from `inside`). Only for faces whose vertices share one pen.
  void outerFace(gm_point* p, int n, int pen, const gm_point& inside) {
    gm_vector normal{0, 0, 0};
    gm_point c{0, 0, 0};
    for (int k = 0; k < n; ++k) {
      const gm_point& a = p[k];
      const gm_point& b = p[(k + 1) % n];
      normal.x += (a.y - b.y) * (a.z + b.z);
      normal.y += (a.z - b.z) * (a.x + b.x);
      normal.z += (a.x - b.x) * (a.y + b.y);
      c = move(c, gm_vector{a.x, a.y, a.z}, 1.0 / n);
    }
    gm_vector out{c.x - inside.x, c.y - inside.y, c.z - inside.z};
    if (normal.x * out.x + normal.y * out.y + normal.z * out.z < 0)
      for (int k = 0; k < n / 2; ++k) std::swap(p[k], p[n - 1 - k]);
    const int pens[4] = {pen, pen, pen, pen};
    face(p, pens, n);
  }
  void run(const std::vector<gm_point>& pts, int pen) {
    for (size_t k = 0; k < pts.size(); ++k) {
      int code = k == 0 ? GM_RUN_START : (k + 1 == pts.size() ? GM_RUN_END : GM_RUN_POINT);
      add(code, pen, pts[k]);
    }
  }
  void circle(const gm_point& c, const gm_vector& n, double r, int pen) {
    add(GM_CIRCLE, pen, c);
    add(GM_CIRCLE_NORMAL, pen, n);
    add(GM_CIRCLE_RADIUS, pen, r, 0, 0);
  }
  void box(const Statement& s, int pen);
  void tube(const gm_point& base, const gm_vector& axis, double r, double len, int pen, bool caps);
  void arc(const Statement& s, int pen);
  void connection(const Statement& s, int pen);
};

void Writer::box(const Statement& s, int pen) {
  gm_point o = point(s.a);
  gm_vector d = vec(s.b);
  if (d.x == 0 || d.y == 0 || d.z == 0) return;
  gm_point c[8];
  for (int i = 0; i < 8; ++i)
    c[i] = {o.x + ((i & 1) ? d.x : 0), o.y + ((i & 2) ? d.y : 0), o.z + ((i & 4) ? d.z : 0)};
  static const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  gm_point centre = move(o, d, 0.5);
  for (const auto& q : quads) {
    gm_point p[4] = {c[q[0]], c[q[1]], c[q[2]], c[q[3]]};
    outerFace(p, 4, pen, centre);
  }
}

// A round tube: circles at both ends in the pen, side faces and optional end caps with
// every edge hidden (pen 99), so the circles alone outline it.
void Writer::tube(const gm_point& base, const gm_vector& axisIn, double r, double len, int pen,
                  bool caps) {
  bool ok;
  gm_vector axis = unit(axisIn, ok);
  if (!ok || !(r > 0) || !(len > 0)) return;
  gm_vector u = perpendicular(axis), w;
  gm_vector_cross(&axis, &u, &w);
  gm_point top = move(base, axis, len);
  circle(base, axis, r, pen);
  circle(top, axis, r, pen);
  gm_point b[kSegments + 1], t[kSegments + 1];
  for (int k = 0; k <= kSegments; ++k) {
    double a = 2 * kPi * (k % kSegments) / kSegments;
    gm_vector radial = {u.x * std::cos(a) + w.x * std::sin(a), u.y * std::cos(a) + w.y * std::sin(a),
                        u.z * std::cos(a) + w.z * std::sin(a)};
    b[k] = move(base, radial, r);
    t[k] = move(top, radial, r);
  }
  gm_point centre = move(base, axis, len / 2);
  for (int k = 0; k < kSegments; ++k) {
    gm_point p[4] = {b[k], b[k + 1], t[k + 1], t[k]};
    outerFace(p, 4, GM_PEN_INVISIBLE, centre);
  }
  if (!caps) return;
  for (int k = 0; k < kSegments; ++k) {
    gm_point lower[3] = {b[k], b[k + 1], base};
    gm_point upper[3] = {t[k + 1], t[k], top};
    outerFace(lower, 3, GM_PEN_INVISIBLE, centre);
    outerFace(upper, 3, GM_PEN_INVISIBLE, centre);
  }
}

void Writer::arc(const Statement& s, int pen) {
  bool okN, okM;
  gm_vector n = unit(vec(s.b), okN);
  gm_vector major = vec(s.c);
  unit(major, okM);
  double ratio = val(s.ratio);
  if (!okN || !okM || !(ratio > 0) || ratio > 1) return;
  // The major axis must lie in the arc's plane.
  if (std::fabs(gm_vector_dot(&n, &major)) > 1e-6 * gm_vector_length(&major)) return;
  add(GM_ARC, pen, point(s.a));
  add(GM_ARC_NORMAL, pen, n);
  add(GM_ARC_MAJOR, pen, major);
  add(GM_ARC_ANGLES, pen, val(s.start) * kPi / 180.0, val(s.end) * kPi / 180.0, ratio);
}

void Writer::connection(const Statement& s, int pen) {
  double type = static_cast<double>(m_.params[s.typeParam]);
  if (type == 0) return;
  int number = type == 5 ? 249 : 200 + s.slot;
  bool okD, okN;
  gm_vector dir = unit(vec(s.b), okD);
  gm_vector raw = vec(s.c);
  double along = gm_vector_dot(&raw, &dir);
  gm_vector n = unit({raw.x - along * dir.x, raw.y - along * dir.y, raw.z - along * dir.z}, okN);
  if (!okD || !okN) return;  // no usable frame: the connection point stays missing
  gm_point at = point(s.a);
  double collar = val(s.len);
  double diameter = val(s.r);
  if (diameter > 0) {
    if (collar > 0) tube(move(at, dir, -collar), dir, diameter / 2, collar, pen, true);
    else circle(at, dir, diameter / 2, pen);
  } else if (s.rect.size() == 2 && val(s.rect[0]) > 0 && val(s.rect[1]) > 0) {
    gm_vector side;
    gm_vector_cross(&dir, &n, &side);
    double hw = val(s.rect[0]) / 2, hh = val(s.rect[1]) / 2;
    auto corner = [&](const gm_point& c, double a, double b) { return move(move(c, side, a), n, b); };
    gm_point back = move(at, dir, -collar);
    std::vector<gm_point> outline = {corner(at, -hw, -hh), corner(at, hw, -hh), corner(at, hw, hh),
                                     corner(at, -hw, hh), corner(at, -hw, -hh)};
    run(outline, pen);
    if (collar > 0) {
      const int pens[4] = {pen, GM_PEN_INVISIBLE, GM_PEN_INVISIBLE, GM_PEN_INVISIBLE};
      const double sx[5] = {-hw, hw, hw, -hw, -hw}, sy[5] = {-hh, -hh, hh, hh, -hh};
      for (int k = 0; k < 4; ++k) {
        // Outward, counter-clockwise; the visible first edge lies along the product.
        gm_point p[4] = {corner(back, sx[k + 1], sy[k + 1]), corner(back, sx[k], sy[k]),
                         corner(at, sx[k], sy[k]), corner(at, sx[k + 1], sy[k + 1])};
        face(p, pens, 4);
      }
    }
  }
  add(GM_CONNECTION, number, at);
  add(GM_CONNECTION_DIR, number, dir);
  add(GM_CONNECTION_NORMAL, number, n);
}

bool Writer::statement(const Statement& s) {
  if (s.when >= 0 && val(s.when) == 0) return ok_;
  int defaultPen = (s.kind == Kind::Connection) ? 2 : (s.kind == Kind::Box || s.kind == Kind::Cylinder || s.kind == Kind::Face) ? 1 : 3;
  double p = val(s.pen, defaultPen);
  int pen = (p >= 1 && p <= 4) ? static_cast<int>(p) : defaultPen;
  switch (s.kind) {
    case Kind::Box: box(s, pen); break;
    case Kind::Cylinder: tube(point(s.a), vec(s.b), val(s.r), val(s.len), pen, true); break;
    case Kind::Circle: {
      bool ok;
      gm_vector n = unit(vec(s.b), ok);
      if (ok && val(s.r) > 0) circle(point(s.a), n, val(s.r), pen);
      break;
    }
    case Kind::Arc: arc(s, pen); break;
    case Kind::Line: {
      std::vector<gm_point> pts;
      for (const Triple& t : s.points) pts.push_back(point(t));
      if (s.closed >= 0 && val(s.closed) != 0) pts.push_back(pts.front());
      run(pts, pen);
      break;
    }
    case Kind::Face: {
      gm_point p[4];
      int pens[4] = {pen, pen, pen, pen};
      int n = static_cast<int>(s.points.size());
      for (int k = 0; k < n; ++k) p[k] = point(s.points[k]);
      face(p, pens, n);
      break;
    }
    case Kind::Connection: connection(s, pen); break;
  }
  return pending_.size() < kBatch ? ok_ : flush();
}

}  // namespace

bool drawModel(const ts_model& model, gm_model* out) {
  // The list is sized once for everything the statements may write, so no element is
  // moved while drawing; a list that cannot take it is left as it was.
  const int32_t before = out->count;
  if (gm_model_reserve(out, static_cast<int64_t>(model.block->elements)) != 0) return false;
  Writer w(model, out);
  bool ok = true;
  for (size_t i = 0; ok && i < model.block->statements.size(); ++i)
    ok = w.statement(model.block->statements[i]);
  if (ok && w.flush()) return true;
  gm_model_truncate(out, before);
  return false;
}

}  // namespace teksolid
