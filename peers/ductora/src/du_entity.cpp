#include "du_entity.h"
#include <cmath>
#include <memory>
#include "du_host.h"
#include "du_limits.h"

ACRX_DXF_DEFINE_MEMBERS(DURAPart, AcDbEntity, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
                        AcDbProxyEntity::kEraseAllowed | AcDbProxyEntity::kColorChangeAllowed |
                            AcDbProxyEntity::kLayerChangeAllowed | AcDbProxyEntity::kLinetypeChangeAllowed |
                            AcDbProxyEntity::kLinetypeScaleChangeAllowed | AcDbProxyEntity::kVisibilityChangeAllowed |
                            AcDbProxyEntity::kLineWeightChangeAllowed | AcDbProxyEntity::kPlotStyleNameChangeAllowed,
                        DURAPART, L"Ductora")

namespace {
const Adesk::Int16 kFormat = 1;
DuEntityHooks g_hooks;

AcGePoint3d toPoint(const DuVec& v) { return AcGePoint3d(v.x, v.y, v.z); }
AcGeVector3d toVector(const DuVec& v) { return AcGeVector3d(v.x, v.y, v.z); }
DuVec fromPoint(const double* p) { return DuVec{p[0], p[1], p[2]}; }

bool custom(const DURAPart& e) { return e.partType == "EWAPART_CUSTOM"; }

// A custom part's frame: x along its direction, z its normal made square to it.
AcGeMatrix3d partFrame(const DURAPart& e) {
  const DuVec x = du_unit(e.direction);
  DuVec z = du_sub(e.normal, du_scale(x, du_dot(e.normal, x)));
  z = du_length(z) < kDuMinVectorLength ? DuVec{0, 0, 1} : du_unit(z);
  AcGeMatrix3d m;
  m.setCoordSystem(toPoint(e.position), toVector(x), toVector(du_cross(z, x)), toVector(z));
  return m;
}

AcDbObjectId blockOf(const DURAPart& e) {
  AcDbObjectId id;
  AcDbDatabase* db = e.database() ? e.database() : acdbHostApplicationServices()->workingDatabase();
  AcDbBlockTable* table = nullptr;
  if (e.blockName.empty() || !db || db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return id;
  table->getAt(du_wide(e.blockName).c_str(), id);
  table->close();
  return id;
}

Adesk::Boolean drawShape(const DuShape& s, AcGiWorldGeometry& g) {
  switch (s.kind) {
    case DuShape::POINT: {
      const AcGePoint3d p = toPoint(s.p[0]);
      return g.polyline(1, &p);
    }
    case DuShape::LINE: {
      const AcGePoint3d pts[2] = {toPoint(s.p[0]), toPoint(s.p[1])};
      return g.polyline(2, pts);
    }
    case DuShape::CIRCLE:
      return g.circle(toPoint(s.p[0]), s.radius, toVector(s.normal));
    default: {
      std::unique_ptr<AcDbEntity> e(du_shape_entity(s));
      return e ? g.draw(e.get()) : Adesk::kFalse;
    }
  }
}

bool finiteVec(const double* v, double most) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::fabs(v[0]) <= most &&
         std::fabs(v[1]) <= most && std::fabs(v[2]) <= most;
}
}  // namespace

AcDbEntity* du_shape_entity(const DuShape& s) {
  switch (s.kind) {
    case DuShape::POINT:
      return new AcDbPoint(toPoint(s.p[0]));
    case DuShape::LINE:
      return new AcDbLine(toPoint(s.p[0]), toPoint(s.p[1]));
    case DuShape::CIRCLE:
      return new AcDbCircle(toPoint(s.p[0]), toVector(s.normal), s.radius);
    case DuShape::ELLIPSE:
      return new AcDbEllipse(toPoint(s.p[0]), toVector(s.normal), toVector(s.axis), s.ratio, s.start, s.end);
    case DuShape::FACE:
      if (s.corners == 4)
        return new AcDbFace(toPoint(s.p[0]), toPoint(s.p[1]), toPoint(s.p[2]), toPoint(s.p[3]), s.visible[0],
                            s.visible[1], s.visible[2], s.visible[3]);
      // The repeated third corner's edge is the triangle's closing edge.
      return new AcDbFace(toPoint(s.p[0]), toPoint(s.p[1]), toPoint(s.p[2]), s.visible[0], s.visible[1],
                          s.visible[2], s.visible[2]);
  }
  return nullptr;
}

void du_set_entity_hooks(const DuEntityHooks& hooks) { g_hooks = hooks; }

void du_entity_take(DURAPart& e, const DuPart& part) {
  e.partClass = part.className;
  e.partType = part.typeDefine;
  e.position = part.position;
  e.direction = part.direction;
  e.normal = part.normal;
  e.blockName = part.blockName;
  e.shapes = du_part_shapes(part);
  e.shapesKnown = true;
}

std::string du_entity_handle(const AcDbObject* object) {
  ACHAR buf[40];
  return object && object->objectId().handle().getIntoAsciiBuffer(buf, 40) ? du_narrow(buf) : "";
}

Adesk::Boolean DURAPart::subWorldDraw(AcGiWorldDraw* mode) {
  if (!shapesKnown && g_hooks.fill) g_hooks.fill(*this);
  AcGiWorldGeometry& g = mode->geometry();
  const AcGeMatrix3d frame =
      custom(*this) ? partFrame(*this) : AcGeMatrix3d::translation(toVector(position));
  if (g.pushModelTransform(frame)) return Adesk::kTrue;
  const AcDbObjectId block = blockOf(*this);
  if (!block.isNull()) {
    AcDbBlockReference ref(AcGePoint3d::kOrigin, block);
    g.draw(&ref);
  }
  for (const DuShape& s : shapes)
    if (drawShape(s, g) || mode->regenAbort()) break;
  g.popModelTransform();
  return Adesk::kTrue;
}

Acad::ErrorStatus DURAPart::subErase(Adesk::Boolean erasing) {
  if (erasing && g_hooks.erased) g_hooks.erased(du_entity_handle(this));
  return Acad::eOk;
}

Acad::ErrorStatus DURAPart::dxfOutFields(AcDbDxfFiler* filer) const {
  filer->writeString(AcDb::kDxfSubclass, L"DURAPart");
  filer->writeInt16(AcDb::kDxfInt16, kFormat);
  filer->writeString(AcDb::kDxfText, du_wide(partClass).c_str());
  filer->writeString(AcDb::kDxfXTextString, du_wide(partType).c_str());
  filer->writePoint3d(AcDb::kDxfXCoord, toPoint(position));
  filer->writeVector3d(AcDb::DxfCode(11), toVector(direction));
  filer->writeVector3d(AcDb::kDxfNormalX, toVector(normal));
  if (!blockName.empty()) filer->writeString(AcDb::kDxfBlockName, du_wide(blockName).c_str());
  return filer->filerStatus();
}

// Strict: a group the part does not know, a second one of a kind, a missing class or a
// number out of Ductora's ranges leaves the entity as read.
Acad::ErrorStatus DURAPart::dxfInFields(AcDbDxfFiler* filer) {
  if (!filer->atSubclassData(L"DURAPart"))
    return filer->setError(Acad::eBadDxfSequence, L"no DURAPart data");
  resbuf rb;
  Acad::ErrorStatus es;
  int seen = 0;
  while ((es = filer->readResBuf(&rb)) == Acad::eOk) {
    const int bit = rb.restype == 70 ? 1 : rb.restype == 1 ? 2 : rb.restype == 3 ? 4 : rb.restype == 10 ? 8
                    : rb.restype == 11 ? 16 : rb.restype == 210 ? 32 : rb.restype == 2 ? 64 : 0;
    if (!bit || (seen & bit)) return filer->setError(Acad::eBadDxfSequence, L"DURAPart: group %d", rb.restype);
    seen |= bit;
    switch (rb.restype) {
      case 70:
        if (rb.resval.rint != kFormat)
          return filer->setError(Acad::eBadDxfSequence, L"DURAPart: format %d", rb.resval.rint);
        break;
      case 1: partClass = du_narrow(rb.resval.rstring); break;
      case 3: partType = du_narrow(rb.resval.rstring); break;
      case 2: blockName = du_narrow(rb.resval.rstring); break;
      default: {
        const bool point = rb.restype == 10;
        const double* v = rb.resval.rpoint;
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (!finiteVec(v, point ? kDuMaxCoordinate : kDuMaxVectorLength) ||
            (!point && length < kDuMinVectorLength))
          return filer->setError(Acad::eBadDxfSequence, L"DURAPart: group %d out of range", rb.restype);
        (point ? position : rb.restype == 11 ? direction : normal) = fromPoint(v);
      }
    }
  }
  if (es != Acad::eEndOfFile) return es;
  if ((seen & 63) != 63 || partClass.empty())
    return filer->setError(Acad::eBadDxfSequence, L"DURAPart: incomplete");
  shapesKnown = false;
  return Acad::eOk;
}
