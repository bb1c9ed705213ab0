// Entities: line, circle, ellipse, 3-D face, point and block reference.
#pragma once
#include "dbmain.h"

class ACHOST_API AcDbLine : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLine);
  AcDbLine() = default;
  AcDbLine(const AcGePoint3d& start, const AcGePoint3d& end) : m_start(start), m_end(end) {}
  AcGePoint3d startPoint() const { return m_start; }
  AcGePoint3d endPoint() const { return m_end; }
  Acad::ErrorStatus setStartPoint(const AcGePoint3d& p) { m_start = p; return Acad::eOk; }
  Acad::ErrorStatus setEndPoint(const AcGePoint3d& p) { m_end = p; return Acad::eOk; }
  AcGeVector3d normal() const { return m_normal; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& n) { m_normal = n; return Acad::eOk; }

 private:
  AcGePoint3d m_start, m_end;
  AcGeVector3d m_normal = AcGeVector3d(0, 0, 1);
};

class ACHOST_API AcDbPoint : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbPoint);
  AcDbPoint() = default;
  explicit AcDbPoint(const AcGePoint3d& p) : m_position(p) {}
  AcGePoint3d position() const { return m_position; }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p) { m_position = p; return Acad::eOk; }

 private:
  AcGePoint3d m_position;
};

class ACHOST_API AcDbCircle : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbCircle);
  AcDbCircle() = default;
  AcDbCircle(const AcGePoint3d& center, const AcGeVector3d& normal, double radius)
      : m_center(center), m_normal(normal), m_radius(radius) {}
  AcGePoint3d center() const { return m_center; }
  AcGeVector3d normal() const { return m_normal; }
  double radius() const { return m_radius; }
  Acad::ErrorStatus setCenter(const AcGePoint3d& p) { m_center = p; return Acad::eOk; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& n) { m_normal = n; return Acad::eOk; }
  Acad::ErrorStatus setRadius(double r) { m_radius = r; return Acad::eOk; }

 private:
  AcGePoint3d m_center;
  AcGeVector3d m_normal = AcGeVector3d(0, 0, 1);
  double m_radius = 0;
};

class ACHOST_API AcDbEllipse : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbEllipse);
  AcDbEllipse() = default;
  AcDbEllipse(const AcGePoint3d& center, const AcGeVector3d& unitNormal,
              const AcGeVector3d& majorAxis, double radiusRatio, double startAngle = 0.0,
              double endAngle = 6.28318530717958647692)
      : m_center(center), m_normal(unitNormal), m_majorAxis(majorAxis), m_ratio(radiusRatio),
        m_start(startAngle), m_end(endAngle) {}
  AcGePoint3d center() const { return m_center; }
  AcGeVector3d normal() const { return m_normal; }
  AcGeVector3d majorAxis() const { return m_majorAxis; }
  double radiusRatio() const { return m_ratio; }
  double startAngle() const { return m_start; }
  double endAngle() const { return m_end; }
  Acad::ErrorStatus set(const AcGePoint3d& center, const AcGeVector3d& unitNormal,
                        const AcGeVector3d& majorAxis, double radiusRatio, double startAngle = 0.0,
                        double endAngle = 6.28318530717958647692);

 private:
  AcGePoint3d m_center;
  AcGeVector3d m_normal = AcGeVector3d(0, 0, 1);
  AcGeVector3d m_majorAxis = AcGeVector3d(1, 0, 0);
  double m_ratio = 1, m_start = 0, m_end = 6.28318530717958647692;
};

// A 3-D face of three or four vertices; a three-vertex face repeats its third vertex.
class ACHOST_API AcDbFace : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbFace);
  AcDbFace() = default;
  AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2,
           const AcGePoint3d& p3, bool e0vis = true, bool e1vis = true, bool e2vis = true,
           bool e3vis = true);
  AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2,
           bool e0vis = true, bool e1vis = true, bool e2vis = true, bool e3vis = true);
  Acad::ErrorStatus getVertexAt(Adesk::UInt16 index, AcGePoint3d& p) const;
  Acad::ErrorStatus setVertexAt(Adesk::UInt16 index, const AcGePoint3d& p);
  Acad::ErrorStatus isEdgeVisibleAt(Adesk::UInt16 index, bool& visible) const;
  Acad::ErrorStatus makeEdgeVisibleAt(Adesk::UInt16 index);
  Acad::ErrorStatus makeEdgeInvisibleAt(Adesk::UInt16 index);

 private:
  AcGePoint3d m_vertex[4];
  bool m_visible[4] = {true, true, true, true};
};

class ACHOST_API AcDbBlockReference : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbBlockReference);
  AcDbBlockReference() = default;
  AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
      : m_position(position), m_block(blockTableRecord) {}
  AcDbObjectId blockTableRecord() const { return m_block; }
  Acad::ErrorStatus setBlockTableRecord(AcDbObjectId id) { m_block = id; return Acad::eOk; }
  AcGePoint3d position() const { return m_position; }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p) { m_position = p; return Acad::eOk; }
  double rotation() const { return m_rotation; }  // radians about the normal
  Acad::ErrorStatus setRotation(double r) { m_rotation = r; return Acad::eOk; }
  AcGeVector3d normal() const { return m_normal; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& n) { m_normal = n; return Acad::eOk; }
  AcGeScale3d scaleFactors() const { return m_scale; }
  Acad::ErrorStatus setScaleFactors(const AcGeScale3d& s) { m_scale = s; return Acad::eOk; }
  // Block coordinates to world: scale, rotate about the normal, plane of the normal,
  // move to the position (the block's base point goes to the position).
  AcGeMatrix3d blockTransform() const;

 private:
  AcGePoint3d m_position;
  AcDbObjectId m_block;
  double m_rotation = 0;
  AcGeVector3d m_normal = AcGeVector3d(0, 0, 1);
  AcGeScale3d m_scale;
};
