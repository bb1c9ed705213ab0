// The DXF group codes of each entity kind as data: one table per kind, read by the DXF
// reader, the DXF writer and the LIST command alike.
#pragma once
#include <string>
#include <string_view>
#include <vector>
#include "dbents.h"
#include "objectpool.h"

struct DxfValue {
  double v[3] = {0, 0, 0};
  long long i = 0;
  std::wstring s;
};

enum class DxfType : char {
  kMarker,  // group 100 with the subclass name in label; no value
  kPoint,   // code, code + 10, code + 20
  kNormal,  // as kPoint, written only when it is not (0, 0, 1)
  kReal,
  kAngle,   // degrees in the file, radians in the entity
  kInt,
  kName,    // block name of a reference: resolved by the reader after all blocks
};

struct DxfField {
  short code;
  DxfType type;
  const char* label;
  void (*get)(const AcDbEntity* e, DxfValue& v);
  void (*set)(AcDbEntity* e, const DxfValue& v);
};

typedef std::vector<std::vector<AcGePoint3d>> Outline;

struct DxfEntityKind {
  const char* dxfName;
  AcRxClass* (*cls)();
  AcDbEntity* (*create)(ObjectPool* pool);
  const DxfField* fields;
  size_t fieldCount;
  // After all groups of an entity are read (object coordinates to world), or null.
  void (*afterRead)(AcDbEntity* e);
  // Polylines that stand for the entity's shape, for picking (null: picked by the host).
  void (*outline)(const AcDbEntity* e, Outline& out);
  // The box of the entity's shape, exact (a circle's and an ellipse's in closed form), for
  // the drawing's extents; false when it has none (null: the points of its outline).
  bool (*extents)(const AcDbEntity* e, AcGePoint3d& lo, AcGePoint3d& hi);
};

// The box of points; false when one is not finite.
bool dxfBoxOf(const AcGePoint3d* points, int count, AcGePoint3d& lo, AcGePoint3d& hi);
// A point of the world in the coordinates of the plane of `normal` (object coordinates),
// as the inverse of planeToWorld gives it; that of the world's own plane is made once.
AcGePoint3d dxfToPlane(AcGePoint3d p, const AcGeVector3d& normal);

// A new entity of class T: in the pool when one is given (its database keeps it), else on
// the heap.
template <class T>
AcDbEntity* dxfCreate(ObjectPool* pool) {
  return pool ? pool->make<T>() : new T;
}

extern const DxfEntityKind kDxfLineKind, kDxfPointKind, kDxfCircleKind, kDxfEllipseKind,
    kDxfFaceKind, kDxfInsertKind;

// All kinds, for lookup by DXF name or by run-time class.
const DxfEntityKind* const* dxfEntityKinds(size_t& count);
const DxfEntityKind* dxfKindOf(const AcDbEntity* e);
const DxfEntityKind* dxfKindNamed(std::string_view dxfName);

#define DXF_COUNT(a) (sizeof(a) / sizeof((a)[0]))

inline void dxfSetPoint(DxfValue& v, const AcGePoint3d& p) { v.v[0] = p.x; v.v[1] = p.y; v.v[2] = p.z; }
inline void dxfSetVector(DxfValue& v, const AcGeVector3d& p) { v.v[0] = p.x; v.v[1] = p.y; v.v[2] = p.z; }
inline AcGePoint3d dxfPoint(const DxfValue& v) { return {v.v[0], v.v[1], v.v[2]}; }
inline AcGeVector3d dxfVector(const DxfValue& v) { return {v.v[0], v.v[1], v.v[2]}; }
