// INSERT: a block reference. The file holds the position in the reference's own plane
// (object coordinates) and the rotation in degrees.
#include <cmath>
#include "dxfschema.h"
#include "hostimpl.h"

AcGeMatrix3d AcDbBlockReference::blockTransform() const {
  AcGeMatrix3d scale;
  scale.entry[0][0] = m_scale.sx;
  scale.entry[1][1] = m_scale.sy;
  scale.entry[2][2] = m_scale.sz;
  AcGeMatrix3d rotate = AcGeMatrix3d::rotation(m_rotation, AcGeVector3d::kZAxis);
  AcGeMatrix3d plane = AcGeMatrix3d::planeToWorld(m_normal);
  AcGePoint3d base;
  if (m_block.isValid()) {
    if (auto* btr = AcDbBlockTableRecord::cast(m_block.stub()->object)) base = btr->origin();
  }
  AcGeMatrix3d toBase = AcGeMatrix3d::translation(AcGePoint3d::kOrigin - base);
  return AcGeMatrix3d::translation(m_position.asVector()) * plane * rotate * scale * toBase;
}

static AcDbBlockReference* ref(AcDbEntity* e) { return static_cast<AcDbBlockReference*>(e); }
static const AcDbBlockReference* ref(const AcDbEntity* e) { return static_cast<const AcDbBlockReference*>(e); }

template <int K>
static void getScale(const AcDbEntity* e, DxfValue& v) {
  AcGeScale3d s = ref(e)->scaleFactors();
  v.v[0] = K == 0 ? s.sx : (K == 1 ? s.sy : s.sz);
}
template <int K>
static void setScale(AcDbEntity* e, const DxfValue& v) {
  AcGeScale3d s = ref(e)->scaleFactors();
  (K == 0 ? s.sx : (K == 1 ? s.sy : s.sz)) = v.v[0];
  ref(e)->setScaleFactors(s);
}

static const DxfField kFields[] = {
    {100, DxfType::kMarker, "AcDbBlockReference", nullptr, nullptr},
    {2, DxfType::kName, "block",
     [](const AcDbEntity* e, DxfValue& v) {
       AcDbObjectId b = ref(e)->blockTableRecord();
       v.s = b.isValid() ? static_cast<AcDbSymbolTableRecord*>(b.stub()->object)->name() : L"";
     },
     nullptr},
    {10, DxfType::kPoint, "position",
     [](const AcDbEntity* e, DxfValue& v) {
       dxfSetPoint(v, dxfToPlane(ref(e)->position(), ref(e)->normal()));
     },
     [](AcDbEntity* e, const DxfValue& v) { ref(e)->setPosition(dxfPoint(v)); }},
    {41, DxfType::kReal, "x scale", getScale<0>, setScale<0>},
    {42, DxfType::kReal, "y scale", getScale<1>, setScale<1>},
    {43, DxfType::kReal, "z scale", getScale<2>, setScale<2>},
    {50, DxfType::kAngle, "rotation", [](const AcDbEntity* e, DxfValue& v) { v.v[0] = ref(e)->rotation(); },
     [](AcDbEntity* e, const DxfValue& v) { ref(e)->setRotation(v.v[0]); }},
    {210, DxfType::kNormal, "normal", [](const AcDbEntity* e, DxfValue& v) { dxfSetVector(v, ref(e)->normal()); },
     [](AcDbEntity* e, const DxfValue& v) { ref(e)->setNormal(dxfVector(v)); }},
};

static void afterRead(AcDbEntity* e) {
  AcGePoint3d p = ref(e)->position();
  ref(e)->setPosition(p.transformBy(AcGeMatrix3d::planeToWorld(ref(e)->normal())));
}

const DxfEntityKind kDxfInsertKind = {"INSERT", &AcDbBlockReference::desc,
                                      dxfCreate<AcDbBlockReference>, kFields,
                                      DXF_COUNT(kFields), afterRead, nullptr, nullptr};

AcGePoint3d dxfToPlane(AcGePoint3d p, const AcGeVector3d& normal) {
  static const AcGeMatrix3d kWorld = AcGeMatrix3d::planeToWorld(AcGeVector3d::kZAxis).inverse();
  const bool world = normal.x == 0 && normal.y == 0 && normal.z == 1;
  return p.transformBy(world ? kWorld : AcGeMatrix3d::planeToWorld(normal).inverse());
}

bool dxfBoxOf(const AcGePoint3d* points, int count, AcGePoint3d& lo, AcGePoint3d& hi) {
  lo = hi = points[0];
  for (int k = 0; k < count; ++k) {
    const AcGePoint3d& p = points[k];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    lo = AcGePoint3d(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = AcGePoint3d(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
  }
  return true;
}

static const DxfEntityKind* const kKinds[] = {&kDxfLineKind, &kDxfPointKind, &kDxfCircleKind,
                                              &kDxfEllipseKind, &kDxfFaceKind, &kDxfInsertKind};

const DxfEntityKind* const* dxfEntityKinds(size_t& count) {
  count = DXF_COUNT(kKinds);
  return kKinds;
}

const DxfEntityKind* dxfKindOf(const AcDbEntity* e) {
  AcRxClass* cls = e->isA();
  for (const DxfEntityKind* k : kKinds)
    if (k->cls() == cls) return k;
  return nullptr;
}

const DxfEntityKind* dxfKindNamed(std::string_view name) {
  for (const DxfEntityKind* k : kKinds)
    if (name == k->dxfName) return k;
  return nullptr;
}
