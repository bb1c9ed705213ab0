// What entities draw: the host's own entities draw their shapes, and the host collects what
// any entity draws as primitives in world coordinates.
#include <cmath>
#include <unordered_set>
#include "customentity.h"

Adesk::Boolean AcGiDrawable::subWorldDraw(AcGiWorldDraw*) { return Adesk::kTrue; }
AcGiWorldGeometry::~AcGiWorldGeometry() = default;
AcGiWorldDraw::~AcGiWorldDraw() = default;

namespace {
// Points of an ellipse from angle s to t (radians about its normal from its major axis).
std::vector<AcGePoint3d> ellipsePoints(const AcDbEllipse* x) {
  const AcGeVector3d major = x->majorAxis();
  const AcGeVector3d minor = x->normal().normal().crossProduct(major) * x->radiusRatio();
  double s = x->startAngle(), t = x->endAngle();
  if (t <= s) t += 2 * M_PI;
  const int n = std::max(8, int(std::ceil(64 * (t - s) / (2 * M_PI))));
  std::vector<AcGePoint3d> pts;
  for (int i = 0; i <= n; ++i) {
    const double a = s + (t - s) * i / n;
    pts.push_back(x->center() + major * std::cos(a) + minor * std::sin(a));
  }
  return pts;
}

// A face's visible edges: its outline when all show, else each run of visible edges.
void drawFace(const AcDbFace* f, AcGiWorldGeometry& g) {
  AcGePoint3d v[4];
  bool visible[4];
  for (Adesk::UInt16 k = 0; k < 4; ++k) {
    f->getVertexAt(k, v[k]);
    f->isEdgeVisibleAt(k, visible[k]);
  }
  // A triangle repeats its third corner: its closing edge is the edge from the fourth.
  const int n = v[3] == v[2] ? 3 : 4;
  if (n == 3) visible[2] = visible[3];
  bool all = true;
  for (int k = 0; k < n; ++k) all = all && visible[k];
  if (all) {
    g.polygon(Adesk::UInt32(n), v);
    return;
  }
  int first = 0;
  while (visible[first]) ++first;  // an edge that is hidden: runs start after it
  std::vector<AcGePoint3d> run;
  for (int i = 1; i <= n; ++i) {
    const int k = (first + i) % n;
    if (visible[k]) {
      if (run.empty()) run.push_back(v[k]);
      run.push_back(v[(k + 1) % n]);
    } else if (!run.empty()) {
      g.polyline(Adesk::UInt32(run.size()), run.data());
      run.clear();
    }
  }
  if (!run.empty()) g.polyline(Adesk::UInt32(run.size()), run.data());
}

void drawBlock(const AcDbBlockReference* ref, AcGiWorldGeometry& g) {
  const AcDbObjectId block = ref->blockTableRecord();
  auto* btr = block.isValid() ? AcDbBlockTableRecord::cast(block.stub()->object) : nullptr;
  if (!btr || g.pushModelTransform(ref->blockTransform())) return;
  for (AcDbObjectId id : btr->entities())
    if (!id.isErased() && g.draw(static_cast<AcDbEntity*>(id.stub()->object))) break;
  g.popModelTransform();
}

// Collects primitives under a stack of transforms.
class Collector : public AcGiWorldDraw, public AcGiWorldGeometry {
 public:
  Collector(const AcGeMatrix3d& m, bool expand, std::vector<cadhost::GiPrimitive>& out)
      : m_stack{m}, m_expand(expand), m_out(out) {}

  AcGiWorldGeometry& geometry() const override { return *const_cast<Collector*>(this); }
  Adesk::Boolean regenAbort() const override { return m_abort; }

  Adesk::Boolean circle(const AcGePoint3d& center, double radius, const AcGeVector3d& normal) const override {
    const AcGeVector3d n = normal.normal();
    const AcGeVector3d u = perpendicular(n);
    return arc(center, radius, n, u, 2 * M_PI, cadhost::GiPrimitive::kCircle);
  }
  Adesk::Boolean circularArc(const AcGePoint3d& center, double radius, const AcGeVector3d& normal,
                             const AcGeVector3d& startVector, double sweepAngle, AcGiArcType) const override {
    const AcGeVector3d n = normal.normal();
    AcGeVector3d u = startVector - n * startVector.dotProduct(n);
    if (u.isZeroLength()) u = perpendicular(n);
    return arc(center, radius, n, u.normal(), sweepAngle, cadhost::GiPrimitive::kArc);
  }
  Adesk::Boolean polyline(Adesk::UInt32 n, const AcGePoint3d* pts, const AcGeVector3d*, Adesk::LongPtr) const override {
    return points(n, pts, cadhost::GiPrimitive::kPolyline);
  }
  Adesk::Boolean polygon(Adesk::UInt32 n, const AcGePoint3d* pts) const override {
    return points(n, pts, cadhost::GiPrimitive::kPolygon);
  }
  Adesk::Boolean draw(AcGiDrawable* d) const override;
  Adesk::Boolean pushModelTransform(const AcGeMatrix3d& m) override {
    if (m_stack.size() > size_t(cadhost::kGiMaxNesting)) return m_abort = true;
    m_stack.push_back(m_stack.back() * m);
    return false;
  }
  Adesk::Boolean popModelTransform() override {
    if (m_stack.size() > 1) m_stack.pop_back();
    return false;
  }

 private:
  static AcGeVector3d perpendicular(const AcGeVector3d& n) {
    const AcGeVector3d a = std::fabs(n.x) < 0.9 ? AcGeVector3d::kXAxis : AcGeVector3d::kYAxis;
    return n.crossProduct(a).normal();
  }
  Adesk::Boolean points(Adesk::UInt32 n, const AcGePoint3d* pts, cadhost::GiPrimitive::Kind kind) const {
    if (!pts || n == 0) return m_abort;
    cadhost::GiPrimitive p;
    p.kind = kind;
    p.points.reserve(n);
    for (Adesk::UInt32 i = 0; i < n; ++i) p.points.push_back(AcGePoint3d(pts[i]).transformBy(m_stack.back()));
    m_out.push_back(std::move(p));
    return m_abort;
  }
  // A circle or an arc carried into the world: still one when the transform keeps its
  // shape (the two axes of its plane stay square and of one length), else a polyline.
  Adesk::Boolean arc(const AcGePoint3d& center, double radius, const AcGeVector3d& n, const AcGeVector3d& u,
                     double sweep, cadhost::GiPrimitive::Kind kind) const {
    if (!(radius > 0) || !std::isfinite(radius)) return m_abort;
    const AcGeMatrix3d& m = m_stack.back();
    const AcGeVector3d v = n.crossProduct(u);
    AcGeVector3d tu = u, tv = v;
    tu.transformBy(m);
    tv.transformBy(m);
    cadhost::GiPrimitive p;
    p.kind = kind;
    p.center = AcGePoint3d(center).transformBy(m);
    p.radius = radius * tu.length();
    p.normal = tu.crossProduct(tv).normal();
    p.start = tu.normal();
    p.sweep = sweep;
    const double lu = tu.length(), lv = tv.length();
    if (lu > 0 && std::fabs(lu - lv) <= 1e-9 * lu && std::fabs(tu.dotProduct(tv)) <= 1e-9 * lu * lv) {
      m_out.push_back(std::move(p));
      return m_abort;
    }
    cadhost::GiPrimitive line;
    line.kind = cadhost::GiPrimitive::kPolyline;
    const int steps = std::max(8, int(std::ceil(64 * std::fabs(sweep) / (2 * M_PI))));
    for (int i = 0; i <= steps; ++i) {
      const double a = sweep * i / steps;
      line.points.push_back(p.center + tu * (radius * std::cos(a)) + tv * (radius * std::sin(a)));
    }
    m_out.push_back(std::move(line));
    return m_abort;
  }

  mutable std::vector<AcGeMatrix3d> m_stack;
  bool m_expand;
  std::vector<cadhost::GiPrimitive>& m_out;
  mutable bool m_abort = false;
  mutable int m_depth = 0;
  mutable std::unordered_set<AcDbStub*> m_open;  // blocks being drawn
};

Adesk::Boolean Collector::draw(AcGiDrawable* d) const {
  if (!d || m_abort) return m_abort;
  if (m_depth >= cadhost::kGiMaxNesting) return m_abort = true;
  AcDbStub* block = nullptr;
  if (auto* ref = AcDbBlockReference::cast(d)) {
    block = ref->blockTableRecord().stub();
    if (!m_expand) {
      cadhost::GiPrimitive p;
      p.kind = cadhost::GiPrimitive::kBlock;
      p.block = ref->blockTableRecord();
      p.transform = m_stack.back() * ref->blockTransform();
      m_out.push_back(std::move(p));
      return m_abort;
    }
    if (!m_open.insert(block).second) return m_abort;  // a block that draws itself
  }
  ++m_depth;
  const size_t depth = m_stack.size();
  d->worldDraw(const_cast<Collector*>(this));
  m_stack.resize(depth);  // what the drawable pushed and left
  --m_depth;
  if (block) m_open.erase(block);
  return m_abort;
}
}  // namespace

Adesk::Boolean AcDbEntity::subWorldDraw(AcGiWorldDraw* mode) {
  AcGiWorldGeometry& g = mode->geometry();
  if (auto* line = AcDbLine::cast(this)) {
    const AcGePoint3d pts[2] = {line->startPoint(), line->endPoint()};
    g.polyline(2, pts);
  } else if (auto* point = AcDbPoint::cast(this)) {
    const AcGePoint3d p = point->position();
    g.polyline(1, &p);
  } else if (auto* circle = AcDbCircle::cast(this)) {
    g.circle(circle->center(), circle->radius(), circle->normal());
  } else if (auto* ellipse = AcDbEllipse::cast(this)) {
    const std::vector<AcGePoint3d> pts = ellipsePoints(ellipse);
    g.polyline(Adesk::UInt32(pts.size()), pts.data());
  } else if (auto* face = AcDbFace::cast(this)) {
    drawFace(face, g);
  } else if (auto* ref = AcDbBlockReference::cast(this)) {
    drawBlock(ref, g);
  }
  return Adesk::kTrue;
}

namespace cadhost {
void drawnPrimitives(const AcDbEntity* e, const AcGeMatrix3d& m, bool expandBlocks, std::vector<GiPrimitive>& out) {
  Collector collector(m, expandBlocks, out);
  collector.draw(const_cast<AcDbEntity*>(e));
}

std::vector<AcGePoint3d> arcPoints(const GiPrimitive& p) {
  const AcGeVector3d v = p.normal.crossProduct(p.start);
  const int steps = std::max(8, int(std::ceil(64 * std::fabs(p.sweep) / (2 * M_PI))));
  std::vector<AcGePoint3d> pts;
  for (int i = 0; i <= steps; ++i) {
    const double a = p.sweep * i / steps;
    pts.push_back(p.center + p.start * (p.radius * std::cos(a)) + v * (p.radius * std::sin(a)));
  }
  return pts;
}
}  // namespace cadhost
