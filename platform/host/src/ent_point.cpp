// POINT: a position in world coordinates.
#include "dxfschema.h"

static const DxfField kFields[] = {
    {100, DxfType::kMarker, "AcDbPoint", nullptr, nullptr},
    {10, DxfType::kPoint, "position",
     [](const AcDbEntity* e, DxfValue& v) { dxfSetPoint(v, static_cast<const AcDbPoint*>(e)->position()); },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbPoint*>(e)->setPosition(dxfPoint(v)); }},
};

static void outline(const AcDbEntity* e, Outline& out) {
  out.push_back({static_cast<const AcDbPoint*>(e)->position()});
}

static bool extents(const AcDbEntity* e, AcGePoint3d& lo, AcGePoint3d& hi) {
  const AcGePoint3d p = static_cast<const AcDbPoint*>(e)->position();
  return dxfBoxOf(&p, 1, lo, hi);
}

const DxfEntityKind kDxfPointKind = {"POINT", &AcDbPoint::desc, dxfCreate<AcDbPoint>,
                                     kFields, DXF_COUNT(kFields), nullptr, outline, extents};
