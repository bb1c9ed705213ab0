// LINE: start and end in world coordinates, extrusion direction.
#include "dxfschema.h"

static const DxfField kFields[] = {
    {100, DxfType::kMarker, "AcDbLine", nullptr, nullptr},
    {10, DxfType::kPoint, "start",
     [](const AcDbEntity* e, DxfValue& v) { dxfSetPoint(v, static_cast<const AcDbLine*>(e)->startPoint()); },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbLine*>(e)->setStartPoint(dxfPoint(v)); }},
    {11, DxfType::kPoint, "end",
     [](const AcDbEntity* e, DxfValue& v) { dxfSetPoint(v, static_cast<const AcDbLine*>(e)->endPoint()); },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbLine*>(e)->setEndPoint(dxfPoint(v)); }},
    {210, DxfType::kNormal, "normal",
     [](const AcDbEntity* e, DxfValue& v) { dxfSetVector(v, static_cast<const AcDbLine*>(e)->normal()); },
     [](AcDbEntity* e, const DxfValue& v) { static_cast<AcDbLine*>(e)->setNormal(dxfVector(v)); }},
};

static void outline(const AcDbEntity* e, Outline& out) {
  auto* l = static_cast<const AcDbLine*>(e);
  out.push_back({l->startPoint(), l->endPoint()});
}

static bool extents(const AcDbEntity* e, AcGePoint3d& lo, AcGePoint3d& hi) {
  auto* l = static_cast<const AcDbLine*>(e);
  const AcGePoint3d ends[2] = {l->startPoint(), l->endPoint()};
  return dxfBoxOf(ends, 2, lo, hi);
}

const DxfEntityKind kDxfLineKind = {"LINE", &AcDbLine::desc, dxfCreate<AcDbLine>,
                                    kFields, DXF_COUNT(kFields), nullptr, outline, extents};
