// Projection of the scene and painting back to front.
#include "tp_index.h"
#include "tp_internal.h"

#include <algorithm>
#include <cmath>

namespace tekpaint {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kCurveSegments = 48;
const Material kDefaultMaterial = {1, 0xD4CCC8, 0.45, 0.55};  // light grey, B G R
const uint32_t kDefaultLine = 0x404040;

// One thing to paint: a filled face with its visible edges, or a line segment.
struct Primitive {
  double depth = 0;  // larger is nearer the viewer
  bool face = false;
  int count = 0;     // face vertices
  double xyz[4][3];  // view coordinates: right, up, toward the viewer
  bool edge[4] = {false, false, false, false};
  int pen = 0;
  bool oriented = false;  // of an object whose faces run counter-clockwise from outside
};

// A line segment to draw, with its pen: its ends point into the scene's primitives.
struct Segment {
  const double* a;
  const double* b;
  int pen;
};

struct Projector {
  const tp_context& ctx;
  const SceneObject& obj;
  void operator()(const gm_element& e, double out[3]) const {
    const double x = e.x + obj.origin[0], y = e.y + obj.origin[1], z = e.z + obj.origin[2];
    const gm_vector& u = ctx.basis.u;
    const gm_vector& v = ctx.basis.v;
    const gm_vector& w = ctx.basis.w;
    out[0] = x * u.x + y * u.y + z * u.z;
    out[1] = x * v.x + y * v.y + z * v.z;
    out[2] = x * w.x + y * w.y + z * w.z;
  }
  void point(const gm_point& q, double out[3]) const {
    gm_element e{0, 0, q.x, q.y, q.z};
    (*this)(e, out);
  }
};

// What collect hands its primitives to: a std::vector<Primitive>, or any type with
// push_back(const Primitive&).
template <class Sink>
void addSegment(Sink& out, const double a[3], const double b[3], int pen, double offset) {
  Primitive p;
  for (int k = 0; k < 3; ++k) {
    p.xyz[0][k] = a[k];
    p.xyz[1][k] = b[k];
  }
  p.count = 2;
  p.pen = pen;
  p.depth = std::max(a[2], b[2]) - offset;
  out.push_back(p);
}

// A circle or elliptical arc as segments: point(t) = centre + cos t * major + sin t * minor.
template <class Sink>
void addCurve(Sink& out, const Projector& proj, const gm_point& c,
              const gm_vector& major, const gm_vector& minor, double t0, double t1, int pen,
              double offset) {
  if (!std::isfinite(t0) || !std::isfinite(t1)) return;
  double sweep = std::fmod(t1 - t0, 2 * kPi);  // no loop: angles may be of any size
  if (!(sweep > 0)) sweep += 2 * kPi;
  t1 = t0 + sweep;
  int n = std::max(4, static_cast<int>(kCurveSegments * (t1 - t0) / (2 * kPi)));
  double prev[3];
  for (int i = 0; i <= n; ++i) {
    double t = t0 + (t1 - t0) * i / n;
    gm_point q{c.x + std::cos(t) * major.x + std::sin(t) * minor.x,
               c.y + std::cos(t) * major.y + std::sin(t) * minor.y,
               c.z + std::cos(t) * major.z + std::sin(t) * minor.z};
    double cur[3];
    proj.point(q, cur);
    if (i > 0) addSegment(out, prev, cur, pen, offset);
    std::copy(cur, cur + 3, prev);
  }
}

// Walks one display list the way the block builder reads it.
template <class Sink>
void collect(const tp_context& ctx, const SceneObject& obj, Sink& out) {
  const gm_element* e = obj.items.items;
  const size_t n = static_cast<size_t>(obj.items.count);
  Projector proj{ctx, obj};
  double off = ctx.depthOffset;
  size_t i = 0;
  while (i < n) {
    int code = e[i].code;
    if (code == GM_RUN_START) {
      size_t j = i + 1;
      for (; j < n; ++j) {
        double a[3], b[3];
        proj(e[j - 1], a);
        proj(e[j], b);
        addSegment(out, a, b, e[j - 1].pen, off);
        if (e[j].code == GM_RUN_END) break;
      }
      i = j + 1;
    } else if (code == GM_CIRCLE && i + 3 <= n) {
      gm_vector normal{e[i + 1].x, e[i + 1].y, e[i + 1].z};
      double r = e[i + 2].x;
      if (gm_vector_set_length(&normal, 1.0) == 0 && std::isfinite(r) && r > 0) {
        gm_vector helper = std::fabs(normal.x) < 0.9 ? gm_vector{1, 0, 0} : gm_vector{0, 1, 0};
        gm_vector a, b;
        gm_vector_cross(&normal, &helper, &a);
        gm_vector_set_length(&a, r);
        gm_vector_cross(&normal, &a, &b);
        addCurve(out, proj, gm_point{e[i].x, e[i].y, e[i].z}, a, b, 0, 2 * kPi, e[i].pen, off);
      }
      i += 3;
    } else if (code == GM_ARC && i + 4 <= n) {
      gm_vector normal{e[i + 1].x, e[i + 1].y, e[i + 1].z};
      gm_vector major{e[i + 2].x, e[i + 2].y, e[i + 2].z};
      double ratio = e[i + 3].z;
      gm_vector minor;
      gm_vector_cross(&normal, &major, &minor);
      if (gm_vector_set_length(&minor, gm_vector_length(&major) * ratio) == 0)
        addCurve(out, proj, gm_point{e[i].x, e[i].y, e[i].z}, major, minor, e[i + 3].x,
                 e[i + 3].y, e[i].pen, off);
      i += 4;
    } else if (code == GM_FACE && i + 3 <= n) {
      int count = (e[i + 2].code == GM_FACE_VERTEX && i + 3 < n) ? 4 : 3;
      Primitive p;
      p.face = true;
      p.oriented = (obj.flags & TP_OBJECT_ORIENTED) != 0;
      p.count = count;
      p.pen = e[i].pen;
      double sum = 0;
      for (int k = 0; k < count; ++k) {
        proj(e[i + k], p.xyz[k]);
        p.edge[k] = e[i + k].pen != GM_PEN_INVISIBLE;
        sum += p.xyz[k][2];
      }
      p.depth = sum / count;
      out.push_back(p);
      i += count;
    } else {
      ++i;
    }
  }
}

bool finite(const Primitive& p) {
  for (int k = 0; k < (p.face ? p.count : 2); ++k)
    for (int c = 0; c < 3; ++c)
      if (!std::isfinite(p.xyz[k][c])) return false;
  return true;
}

// Every primitive of the scene whose coordinates are finite.
std::vector<Primitive> sceneOf(const tp_context& ctx) {
  std::vector<Primitive> all;
  size_t elements = 0;
  for (const auto& o : ctx.objects) elements += static_cast<size_t>(o.second->items.count);
  all.reserve(elements / 3);  // a face takes 3 or 4 elements, a line segment 1 or 2
  for (const auto& o : ctx.objects) collect(ctx, *o.second, all);
  all.erase(std::remove_if(all.begin(), all.end(), [](const Primitive& p) { return !finite(p); }), all.end());
  return all;
}

// The screen bounds of the scene's finite primitives, taken as collect hands them over
// (fitting the view needs no copy of the scene).
struct Bounds {
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  bool empty = true;
  void push_back(const Primitive& p) {
    if (!finite(p)) return;
    empty = false;
    for (int k = 0; k < (p.face ? p.count : 2); ++k)
      for (int c = 0; c < 2; ++c) {
        lo[c] = std::min(lo[c], p.xyz[k][c]);
        hi[c] = std::max(hi[c], p.xyz[k][c]);
      }
  }
};

// A face as an occluder: its screen bounds and its plane z = a x + b y + c (view units).
struct Occluder {
  const Primitive* face;
  double lo[2], hi[2];
  double a, b, c;
  bool facesViewer;  // counter-clockwise as seen by the viewer
};

bool planeOf(const Primitive& p, Occluder& o) {
  gm_vector n{0, 0, 0};
  for (int k = 0; k < p.count; ++k) {  // Newell's normal
    const double* s = p.xyz[k];
    const double* t = p.xyz[(k + 1) % p.count];
    n.x += (s[1] - t[1]) * (s[2] + t[2]);
    n.y += (s[2] - t[2]) * (s[0] + t[0]);
    n.z += (s[0] - t[0]) * (s[1] + t[1]);
  }
  if (gm_vector_set_length(&n, 1.0) != 0 || std::fabs(n.z) < 1e-6) return false;  // edge-on
  o.face = &p;
  o.facesViewer = n.z > 0;
  o.a = -n.x / n.z;
  o.b = -n.y / n.z;
  o.c = p.xyz[0][2] - o.a * p.xyz[0][0] - o.b * p.xyz[0][1];
  o.lo[0] = o.hi[0] = p.xyz[0][0];
  o.lo[1] = o.hi[1] = p.xyz[0][1];
  for (int k = 1; k < p.count; ++k)
    for (int c = 0; c < 2; ++c) {
      o.lo[c] = std::min(o.lo[c], p.xyz[k][c]);
      o.hi[c] = std::max(o.hi[c], p.xyz[k][c]);
    }
  return true;
}

bool inside(const Primitive& p, double x, double y) {
  bool in = false;
  for (int k = 0, j = p.count - 1; k < p.count; j = k++) {
    const double* a = p.xyz[k];
    const double* b = p.xyz[j];
    if ((a[1] > y) != (b[1] > y) && x < (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]) + a[0]) in = !in;
  }
  return in;
}

Box boxOf(const Occluder& o) { return Box{{o.lo[0], o.lo[1]}, {o.hi[0], o.hi[1]}}; }

// The faces that may hide lines, indexed by where they stand on the screen, each cell's
// faces nearest first: a point looks only at the faces over it and in front of it.
struct Occluders {
  std::vector<Occluder> faces;
  std::vector<double> nearest;  // the largest depth of the face's plane over the face
  BoxIndex index;

  explicit Occluders(std::vector<Occluder> all) : faces(std::move(all)), index(boxes(faces)) {
    nearest.reserve(faces.size());
    for (const Occluder& o : faces) {
      // The plane is flat, so over the face it is highest at one of the corners.
      double top = -HUGE_VAL;
      for (int k = 0; k < o.face->count; ++k)
        top = std::max(top, o.a * o.face->xyz[k][0] + o.b * o.face->xyz[k][1] + o.c);
      nearest.push_back(top + 1e-9 * (1 + std::fabs(top)));
    }
    index.sortByRank(nearest);
  }
  static std::vector<Box> boxes(const std::vector<Occluder>& faces) {
    std::vector<Box> out;
    out.reserve(faces.size());
    for (const Occluder& o : faces) out.push_back(boxOf(o));
    return out;
  }
};

// A point of a line is hidden when a face covers it and lies in front of it; the line
// counts as lying `offset` farther away, so lines on a face stay in front of it.
bool hidden(const Occluders& set, const double p[3], double offset) {
  const double depth = p[2] - offset;
  const double tolerance = 1e-6 * (1 + std::fabs(depth));
  return set.index.anyAt(p[0], p[1], depth + tolerance, [&](size_t i) {
    const Occluder& o = set.faces[i];
    if (p[0] < o.lo[0] || p[0] > o.hi[0] || p[1] < o.lo[1] || p[1] > o.hi[1]) return false;
    if (o.a * p[0] + o.b * p[1] + o.c <= depth + tolerance) return false;
    return inside(*o.face, p[0], p[1]);
  });
}

// Large faces are painted in pieces so that back-to-front order holds between a big face
// and the small parts in front of it. True when the face is painted whole; else its pieces
// are appended to out.
bool piecesOf(const Primitive& p, double maxSize, std::vector<Primitive>& out) {
  if (p.count != 4) return true;
  auto dist = [](const double* a, const double* b) {
    const double x = a[0] - b[0], y = a[1] - b[1], z = a[2] - b[2];
    return std::sqrt(x * x + y * y + z * z);
  };
  auto parts = [&](double length) {
    double n = std::ceil(length / maxSize);
    return n < 12 ? std::max(1, static_cast<int>(n)) : 12;  // also for an infinite length
  };
  int nu = parts(std::max(dist(p.xyz[0], p.xyz[1]), dist(p.xyz[3], p.xyz[2])));
  int nv = parts(std::max(dist(p.xyz[0], p.xyz[3]), dist(p.xyz[1], p.xyz[2])));
  if (nu == 1 && nv == 1) return true;
  auto at = [&](double s, double t, double* r) {
    for (int c = 0; c < 3; ++c)
      r[c] = (1 - s) * (1 - t) * p.xyz[0][c] + s * (1 - t) * p.xyz[1][c] + s * t * p.xyz[2][c] +
             (1 - s) * t * p.xyz[3][c];
  };
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      Primitive q = p;
      at(double(i) / nu, double(j) / nv, q.xyz[0]);
      at(double(i + 1) / nu, double(j) / nv, q.xyz[1]);
      at(double(i + 1) / nu, double(j + 1) / nv, q.xyz[2]);
      at(double(i) / nu, double(j + 1) / nv, q.xyz[3]);
      q.depth = (q.xyz[0][2] + q.xyz[1][2] + q.xyz[2][2] + q.xyz[3][2]) / 4;
      out.push_back(q);
    }
  return false;
}

// Which side of a face's plane the points of another face lie: +1 all on or in front
// (toward the viewer, at least one clearly), -1 all on or behind, 0 both or all on it.
int sideOf(const Occluder& plane, const Primitive& other) {
  bool front = false, back = false;
  for (int k = 0; k < other.count; ++k) {
    const double* q = other.xyz[k];
    double d = q[2] - (plane.a * q[0] + plane.b * q[1] + plane.c);
    double tolerance = 1e-7 * (1 + std::fabs(q[2]));
    if (d > tolerance) front = true;
    if (d < -tolerance) back = true;
  }
  return front == back ? 0 : (front ? 1 : -1);
}

// Refines the back-to-front order of depth-sorted pieces: where two pieces overlap on the
// screen and one lies wholly in front of the other's plane, it is painted later, whatever
// their mean depths say. Kahn's order, the depth order breaking ties (and cycles). The
// pairs come from a screen index, at most kNeighbours candidates per piece, so the cost
// grows with the pieces, not with their square. The order to paint them in, as indices.
std::vector<uint32_t> orderByPlanes(const std::vector<const Primitive*>& pieces) {
  const size_t n = pieces.size();
  std::vector<uint32_t> ordered;
  ordered.reserve(n);
  if (n < 2) {
    for (size_t i = 0; i < n; ++i) ordered.push_back(static_cast<uint32_t>(i));
    return ordered;
  }
  std::vector<Occluder> planes(n);
  std::vector<Box> boxes(n);
  for (size_t i = 0; i < n; ++i) {
    if (planeOf(*pieces[i], planes[i])) boxes[i] = boxOf(planes[i]);
    else boxes[i] = Box{{NAN, NAN}, {NAN, NAN}};  // edge-on: left out of the index
  }
  // Each rule "paint i after j" as the pair (j, i), then grouped by j.
  std::vector<std::pair<uint32_t, uint32_t>> rules;
  std::vector<int> waiting(n, 0);
  const size_t kNeighbours = 256;
  BoxIndex(boxes).forEachNeighbour(kNeighbours, [&](size_t a, size_t b) {
    const size_t i = std::min(a, b), j = std::max(a, b);
    // i comes first by depth; swap only when i lies in front of j.
    if (sideOf(planes[j], *pieces[i]) > 0 || sideOf(planes[i], *pieces[j]) < 0) {
      rules.emplace_back(static_cast<uint32_t>(j), static_cast<uint32_t>(i));
      ++waiting[i];
    }
  });
  std::vector<uint32_t> first(n + 1, 0), after(rules.size());  // after[first[j]..first[j+1])
  for (const auto& r : rules) ++first[r.first + 1];
  for (size_t k = 1; k <= n; ++k) first[k] += first[k - 1];
  {
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (const auto& r : rules) after[fill[r.first]++] = r.second;
  }
  std::vector<bool> done(n, false);
  std::vector<size_t> ready;  // a min-heap of indices
  auto cmp = [](size_t a, size_t b) { return a > b; };
  for (size_t i = 0; i < n; ++i)
    if (waiting[i] == 0) ready.push_back(i);
  std::make_heap(ready.begin(), ready.end(), cmp);
  size_t nextUnfinished = 0;
  while (ordered.size() < n) {
    size_t i;
    if (!ready.empty()) {
      std::pop_heap(ready.begin(), ready.end(), cmp);
      i = ready.back();
      ready.pop_back();
      if (done[i]) continue;
    } else {  // a cycle: take the farthest piece left
      while (done[nextUnfinished]) ++nextUnfinished;
      i = nextUnfinished;
    }
    done[i] = true;
    ordered.push_back(static_cast<uint32_t>(i));
    for (uint32_t k = first[i]; k < first[i + 1]; ++k)
      if (!done[after[k]] && --waiting[after[k]] == 0) {
        ready.push_back(after[k]);
        std::push_heap(ready.begin(), ready.end(), cmp);
      }
  }
  return ordered;
}

// Face colour: the material's colour scaled by ambient + diffuse * |cos| of the angle
// between the face normal and a light above and to the left of the viewer.
uint32_t shade(const tp_context& ctx, const Primitive& p) {
  auto found = ctx.materials.find(p.pen);
  if (found == ctx.materials.end() || found->second.kind == 0) found = ctx.materials.find(1);
  const Material& m = (found != ctx.materials.end() && found->second.kind != 0) ? found->second
                                                                                : kDefaultMaterial;
  gm_vector n{0, 0, 0};
  for (int k = 0; k < p.count; ++k) {  // Newell's normal, in view coordinates
    const double* a = p.xyz[k];
    const double* b = p.xyz[(k + 1) % p.count];
    n.x += (a[1] - b[1]) * (a[2] + b[2]);
    n.y += (a[2] - b[2]) * (a[0] + b[0]);
    n.z += (a[0] - b[0]) * (a[1] + b[1]);
  }
  gm_vector light{0.4, 0.75, 0.55};
  gm_vector_set_length(&light, 1.0);
  double cosine = gm_vector_set_length(&n, 1.0) == 0 ? std::fabs(gm_vector_dot(&n, &light)) : 1.0;
  double f = std::min(1.0, m.ambient + m.diffuse * cosine);
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    double c = ((m.colour >> shift) & 0xFF) * f;
    out |= static_cast<uint32_t>(std::lround(std::min(255.0, c))) << shift;
  }
  return out;
}

double pixelWidth(int width) {
  double w = width > 0 ? width : -static_cast<double>(width) / 8.0;
  return std::min(64.0, std::max(1.0, w));
}

}  // namespace
}  // namespace tekpaint

using namespace tekpaint;

extern "C" {

int tp_fit_view(tp_context* ctx) {
  if (!ctx) return -1;
  Bounds bounds;
  for (const auto& o : ctx->objects) collect(*ctx, *o.second, bounds);
  if (bounds.empty) return -1;
  const double* lo = bounds.lo;
  const double* hi = bounds.hi;
  double w = std::max(hi[0] - lo[0], 1e-6) * 1.1, h = std::max(hi[1] - lo[1], 1e-6) * 1.1;
  if (!std::isfinite(w) || !std::isfinite(h)) return -1;
  double aspect = (ctx->width > 0 && ctx->height > 0) ? double(ctx->width) / ctx->height : 1.0;
  if (w / h < aspect) w = h * aspect;
  else h = w / aspect;
  ctx->cx = (lo[0] + hi[0]) / 2;
  ctx->cy = (lo[1] + hi[1]) / 2;
  ctx->viewWidth = w;
  ctx->viewHeight = h;
  return 0;
}

int tp_render(tp_context* ctx, const tp_painter* painter) {
  if (!ctx || !painter) return -1;
  if (ctx->features[TP_BACKGROUND] && painter->clear) painter->clear(painter->user, ctx->background);
  if (ctx->width <= 0 || ctx->height <= 0) return 0;
  const double sx = ctx->width / ctx->viewWidth, sy = ctx->height / ctx->viewHeight;
  auto px = [&](const double* p, double& x, double& y) {
    x = ctx->x + (p[0] - (ctx->cx - ctx->viewWidth / 2)) * sx;
    y = ctx->y + ((ctx->cy + ctx->viewHeight / 2) - p[1]) * sy;
  };
  auto penOf = [&](int number, uint32_t fallback, double& width) {
    auto it = ctx->pens.find(number);
    width = pixelWidth(it != ctx->pens.end() ? it->second.width : -1);
    return it != ctx->pens.end() ? it->second.colour : fallback;
  };
  std::vector<Primitive> scene = sceneOf(*ctx);
  std::vector<Occluder> faces;
  std::vector<Primitive> parts;      // pieces of large faces
  std::vector<int64_t> paintable;    // faces to paint: a scene index, or ~ a parts index
  std::vector<Segment> segments;
  faces.reserve(scene.size());
  paintable.reserve(scene.size());
  segments.reserve(scene.size() * 2);
  const double maxPiece = std::max(ctx->viewWidth, ctx->viewHeight) / 10;
  for (size_t i = 0; i < scene.size(); ++i) {
    const Primitive& p = scene[i];
    if (!p.face) {
      segments.push_back(Segment{p.xyz[0], p.xyz[1], p.pen});
      continue;
    }
    Occluder o;
    bool facing = true;
    if (ctx->features[TP_FACES] && planeOf(p, o)) {
      faces.push_back(o);
      facing = !p.oriented || o.facesViewer;
    }
    if (ctx->features[TP_FACES] && facing) {
      const size_t before = parts.size();
      if (piecesOf(p, maxPiece, parts)) paintable.push_back(static_cast<int64_t>(i));
      for (size_t k = before; k < parts.size(); ++k) paintable.push_back(~static_cast<int64_t>(k));
    }
    for (int k = 0; ctx->features[TP_EDGES] && k < p.count; ++k)
      if (p.edge[k]) segments.push_back(Segment{p.xyz[k], p.xyz[(k + 1) % p.count], 1001});
  }
  // Back to front: by depth (ties keep the scene's order), then by the planes.
  std::vector<const Primitive*> pieces;
  {
    std::vector<std::pair<double, uint32_t>> byDepth(paintable.size());
    for (size_t i = 0; i < paintable.size(); ++i) {
      const Primitive& p = paintable[i] >= 0 ? scene[paintable[i]] : parts[~paintable[i]];
      byDepth[i] = {p.depth, static_cast<uint32_t>(i)};
    }
    std::sort(byDepth.begin(), byDepth.end());
    pieces.reserve(byDepth.size());
    for (const auto& d : byDepth) {
      const int64_t k = paintable[d.second];
      pieces.push_back(k >= 0 ? &scene[k] : &parts[~k]);
    }
  }
  for (uint32_t i : orderByPlanes(pieces)) {
    if (!painter->polygon) break;
    const Primitive& p = *pieces[i];
    double xy[8];
    for (int k = 0; k < p.count; ++k) px(p.xyz[k], xy[2 * k], xy[2 * k + 1]);
    painter->polygon(painter->user, xy, p.count, shade(*ctx, p));
  }
  if (!painter->line) return 0;
  const Occluders occluders(std::move(faces));
  for (const Segment& s : segments) {
    double width;
    uint32_t colour = penOf(s.pen, kDefaultLine, width);
    double x0, y0, x1, y1;
    px(s.a, x0, y0);
    px(s.b, x1, y1);
    double length = std::hypot(x1 - x0, y1 - y0);
    int n = length < 192 ? std::max(1, static_cast<int>(length / 4)) : 48;
    // Draw the visible runs of the segment's n pieces, judged at each piece's middle.
    int runStart = -1;
    for (int i = 0; i <= n; ++i) {
      bool visible = false;
      if (i < n) {
        double t = (i + 0.5) / n, mid[3];
        for (int c = 0; c < 3; ++c) mid[c] = s.a[c] + t * (s.b[c] - s.a[c]);
        visible = !hidden(occluders, mid, ctx->depthOffset);
      }
      if (visible && runStart < 0) runStart = i;
      if (!visible && runStart >= 0) {
        double t0 = double(runStart) / n, t1 = double(i) / n;
        painter->line(painter->user, x0 + t0 * (x1 - x0), y0 + t0 * (y1 - y0), x0 + t1 * (x1 - x0),
                      y0 + t1 * (y1 - y0), colour, width);
        runStart = -1;
      }
    }
  }
  return 0;
}

}  // extern "C"
