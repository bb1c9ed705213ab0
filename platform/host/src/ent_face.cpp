// 3DFACE: four corners in world coordinates (a triangle repeats its third) and the
// invisible-edge flags (bit k: edge k hidden).
#include "dxfschema.h"

AcDbFace::AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2,
                   const AcGePoint3d& p3, bool e0, bool e1, bool e2, bool e3)
    : m_vertex{p0, p1, p2, p3}, m_visible{e0, e1, e2, e3} {}

AcDbFace::AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, bool e0,
                   bool e1, bool e2, bool e3)
    : m_vertex{p0, p1, p2, p2}, m_visible{e0, e1, e2, e3} {}

Acad::ErrorStatus AcDbFace::getVertexAt(Adesk::UInt16 i, AcGePoint3d& p) const {
  if (i > 3) return Acad::eInvalidIndex;
  p = m_vertex[i];
  return Acad::eOk;
}
Acad::ErrorStatus AcDbFace::setVertexAt(Adesk::UInt16 i, const AcGePoint3d& p) {
  if (i > 3) return Acad::eInvalidIndex;
  m_vertex[i] = p;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbFace::isEdgeVisibleAt(Adesk::UInt16 i, bool& visible) const {
  if (i > 3) return Acad::eInvalidIndex;
  visible = m_visible[i];
  return Acad::eOk;
}
Acad::ErrorStatus AcDbFace::makeEdgeVisibleAt(Adesk::UInt16 i) {
  if (i > 3) return Acad::eInvalidIndex;
  m_visible[i] = true;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbFace::makeEdgeInvisibleAt(Adesk::UInt16 i) {
  if (i > 3) return Acad::eInvalidIndex;
  m_visible[i] = false;
  return Acad::eOk;
}

template <int K>
static void getVertex(const AcDbEntity* e, DxfValue& v) {
  AcGePoint3d p;
  static_cast<const AcDbFace*>(e)->getVertexAt(K, p);
  dxfSetPoint(v, p);
}
template <int K>
static void setVertex(AcDbEntity* e, const DxfValue& v) {
  static_cast<AcDbFace*>(e)->setVertexAt(K, dxfPoint(v));
}

static const DxfField kFields[] = {
    {100, DxfType::kMarker, "AcDbFace", nullptr, nullptr},
    {10, DxfType::kPoint, "vertex 1", getVertex<0>, setVertex<0>},
    {11, DxfType::kPoint, "vertex 2", getVertex<1>, setVertex<1>},
    {12, DxfType::kPoint, "vertex 3", getVertex<2>, setVertex<2>},
    {13, DxfType::kPoint, "vertex 4", getVertex<3>, setVertex<3>},
    {70, DxfType::kInt, "invisible edges",
     [](const AcDbEntity* e, DxfValue& v) {
       v.i = 0;
       for (int k = 0; k < 4; ++k) {
         bool vis = true;
         static_cast<const AcDbFace*>(e)->isEdgeVisibleAt(k, vis);
         if (!vis) v.i |= 1 << k;
       }
     },
     [](AcDbEntity* e, const DxfValue& v) {
       auto* f = static_cast<AcDbFace*>(e);
       for (int k = 0; k < 4; ++k) (v.i & (1 << k)) ? f->makeEdgeInvisibleAt(k) : f->makeEdgeVisibleAt(k);
     }},
};

static void outline(const AcDbEntity* e, Outline& out) {
  std::vector<AcGePoint3d> pts(5);
  for (int k = 0; k < 4; ++k) static_cast<const AcDbFace*>(e)->getVertexAt(k, pts[k]);
  pts[4] = pts[0];
  out.push_back(std::move(pts));
}

static bool extents(const AcDbEntity* e, AcGePoint3d& lo, AcGePoint3d& hi) {
  AcGePoint3d corners[4];
  for (int k = 0; k < 4; ++k) static_cast<const AcDbFace*>(e)->getVertexAt(k, corners[k]);
  return dxfBoxOf(corners, 4, lo, hi);
}

const DxfEntityKind kDxfFaceKind = {"3DFACE", &AcDbFace::desc, dxfCreate<AcDbFace>,
                                    kFields, DXF_COUNT(kFields), nullptr, outline, extents};
