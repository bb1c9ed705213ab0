// Custom entities inside the host: the classes modules added (rxboiler.h), what an entity
// draws as the host sees it, its proxy graphics, and its DXF form.
#pragma once
#include <string>
#include <string_view>
#include <vector>
#include "dxf_tokens.h"
#include "dxf_writer.h"
#include "hostimpl.h"

namespace cadhost {
// The entity class a module added under that DXF name, or null.
AcRxClass* customEntityClass(std::string_view dxfName);
// An entity of a class a module added.
bool isCustomEntity(const AcDbEntity* e);
// Whether any module has added a class.
bool anyCustomClass();

// One primitive of what an entity draws, in world coordinates.
struct GiPrimitive {
  enum Kind { kPolyline, kPolygon, kCircle, kArc, kBlock } kind = kPolyline;
  std::vector<AcGePoint3d> points;  // kPolyline, kPolygon
  AcGePoint3d center;               // kCircle, kArc
  double radius = 0, sweep = 0;
  AcGeVector3d normal, start;       // unit normal; kArc: unit vector to its start
  AcDbObjectId block;               // kBlock: a block drawn by a reference ...
  AcGeMatrix3d transform;           // ... carried from block coordinates to world by this
};

// What the entity draws, carried by m. With expandBlocks a block a reference draws is
// drawn entity by entity; without, it is one kBlock primitive (for measuring, which sizes
// each block once). Drawings nested deeper than kGiMaxNesting and blocks that draw
// themselves add nothing. Circles and arcs under a transform that does not keep their
// shape become polylines.
const int kGiMaxNesting = 32;
void drawnPrimitives(const AcDbEntity* e, const AcGeMatrix3d& m, bool expandBlocks, std::vector<GiPrimitive>& out);
// Points along a circle or an arc (kCircle, kArc), for picking and outlines.
std::vector<AcGePoint3d> arcPoints(const GiPrimitive& p);

// The proxy graphics of expanded primitives: the bytes a DXF file carries in groups 92 and
// 310 (extents first, then polylines, polygons, circles and arcs); empty for none.
std::string proxyGraphics(const std::vector<GiPrimitive>& primitives);
// The box that graphics state in their extents record; false when they state none.
bool proxyGraphicsExtents(const std::string& graphics, AcGePoint3d& lo, AcGePoint3d& hi);
}  // namespace cadhost

namespace dxf {
// A custom entity: group 0 its class's DXF name, the host's groups, its proxy graphics
// (what it draws now; the graphics it was read with when it draws nothing), its own groups
// (dxfOutFields), its extended data.
void writeCustomEntity(WriteContext& c, const AcDbEntity* e, Adesk::UInt64 owner, bool paper);
// The CLASSES entries of the custom classes the drawing has entities of, after those the
// file had (a class the file named already is not named again).
void writeCustomClasses(WriteContext& c);

// A custom entity's groups (up to its extended data) read into a new entity of the class:
// the groups of the host's part taken (handle, layer, linetype, colour, paper-space mark,
// proxy graphics), the rest of that part kept, the class's own part given to its
// dxfInFields. Null when the class's part does not read (the caller keeps the groups as
// read); why says what did not.
struct CustomEntityProps {
  Adesk::UInt64 handle = 0;
  std::wstring layer = L"0", linetype;
  int color = 256;
};
AcDbEntity* readCustomEntity(AcRxClass* cls, const std::vector<Group>& gs, const Codec& codec, bool paper,
                             DxfKept& kept, CustomEntityProps& props, std::string& why);
}  // namespace dxf
