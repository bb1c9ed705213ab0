// Graphics interface: how an entity tells the host what it looks like. The host asks an
// entity to draw itself (worldDraw) whenever it needs its shape: to measure the drawing,
// to pick, and to write the proxy graphics a custom entity carries in a DXF file. The
// entity answers with primitives in its own coordinates under the model transforms it
// pushes; the host carries them into the world.
#pragma once
#include "acge.h"
#include "adesk.h"
#include "rxobject.h"

class AcGiWorldDraw;

enum AcGiArcType {
  kAcGiArcSimple = 0,  // just the arc
  kAcGiArcSector,      // with the two radii
  kAcGiArcChord,       // with the chord
};

// Something that can draw itself: every object of the drawing.
class ACHOST_API AcGiDrawable : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcGiDrawable);
  // The object's graphics; true when it drew all it has.
  Adesk::Boolean worldDraw(AcGiWorldDraw* mode) { return subWorldDraw(mode); }

 protected:
  // What a class draws. The host draws the entities it models itself; a custom entity
  // overrides this. The default draws nothing.
  virtual Adesk::Boolean subWorldDraw(AcGiWorldDraw* mode);
};

// The primitives. Each returns true when the host wants no more (the drawing is nested too
// deep, or the host has what it needs): the entity then stops drawing.
class ACHOST_API AcGiWorldGeometry {
 public:
  virtual ~AcGiWorldGeometry();
  virtual Adesk::Boolean circle(const AcGePoint3d& center, double radius, const AcGeVector3d& normal) const = 0;
  // An arc from startVector (from the center, in the plane of the normal) sweeping by
  // sweepAngle radians counterclockwise about the normal.
  virtual Adesk::Boolean circularArc(const AcGePoint3d& center, double radius, const AcGeVector3d& normal,
                                     const AcGeVector3d& startVector, double sweepAngle,
                                     AcGiArcType arcType = kAcGiArcSimple) const = 0;
  // Open line through the points; one point is a dot.
  virtual Adesk::Boolean polyline(Adesk::UInt32 nbPoints, const AcGePoint3d* pVertexList,
                                  const AcGeVector3d* pNormal = nullptr,
                                  Adesk::LongPtr lBaseSubEntMarker = -1) const = 0;
  // Closed outline through the points.
  virtual Adesk::Boolean polygon(Adesk::UInt32 nbPoints, const AcGePoint3d* pVertexList) const = 0;
  // Another drawable (an entity of a block, a block reference made for the purpose) under
  // the current transforms.
  virtual Adesk::Boolean draw(AcGiDrawable* pDrawable) const = 0;
  // Transforms: what follows is carried by xMat, then by the transforms already pushed.
  virtual Adesk::Boolean pushModelTransform(const AcGeMatrix3d& xMat) = 0;
  virtual Adesk::Boolean popModelTransform() = 0;
};

class ACHOST_API AcGiWorldDraw {
 public:
  virtual ~AcGiWorldDraw();
  virtual AcGiWorldGeometry& geometry() const = 0;
  // True when the host wants the entity to stop drawing.
  virtual Adesk::Boolean regenAbort() const = 0;
};
