// Picking entities at a point, entity names and selection sets.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include "adslib.h"
#include "customentity.h"
#include "dxfschema.h"
#include "hostimpl.h"

namespace {
// Block references nested deeper than this add nothing to extents (guards the stack).
const int kMaxExtentsNesting = 1000;

double segmentDistance2d(const AcGePoint3d& p, const AcGePoint3d& a, const AcGePoint3d& b) {
  double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::max(0.0, std::min(1.0, t));
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

struct Box {
  double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
  void add(const AcGePoint3d& p) {
    const double v[3] = {p.x, p.y, p.z};
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], v[i]);
      hi[i] = std::max(hi[i], v[i]);
    }
  }
  bool empty() const { return lo[0] > hi[0]; }
  double distance(const AcGePoint3d& p) const {
    double dx = std::max({lo[0] - p.x, 0.0, p.x - hi[0]});
    double dy = std::max({lo[1] - p.y, 0.0, p.y - hi[1]});
    return std::hypot(dx, dy);
  }
};

// Extents of entities: each entity's exact box; each block's box (in its own coordinates)
// measured once however often and however deep it is referenced, and kept with the
// drawing until anything in it changes. A reference counts as its block's box carried into
// place.
class Extents {
 public:
  // The box of a block, model space's included.
  const Box& block(AcDbObjectId id);

  void add(const AcDbEntity* e, Box& box) {
    if (auto* ref = AcDbBlockReference::cast(e)) {
      addBlock(ref->blockTableRecord(), ref->blockTransform(), box);
      return;
    }
    const DxfEntityKind* kind = dxfKindOf(e);
    if (!kind) {
      if (cadhost::isCustomEntity(e)) addDrawn(e, box);
      return;
    }
    AcGePoint3d lo, hi;
    if (kind->extents) {
      if (!kind->extents(e, lo, hi)) return;
      box.add(lo);
      box.add(hi);
    } else if (kind->outline) {  // a kind without a box of its own: the points of its outline
      Outline out;
      kind->outline(e, out);
      for (const auto& line : out)
        for (const AcGePoint3d& p : line) box.add(p);
    }
  }

  // A block's box carried into place by t.
  void addBlock(AcDbObjectId id, const AcGeMatrix3d& t, Box& box) {
    const Box& b = block(id);
    if (b.empty()) return;
    for (int k = 0; k < 8; ++k)
      box.add(AcGePoint3d(k & 1 ? b.hi[0] : b.lo[0], k & 2 ? b.hi[1] : b.lo[1], k & 4 ? b.hi[2] : b.lo[2]).transformBy(t));
  }

 private:
  // What a custom entity draws; one that draws nothing now counts as the graphics it was
  // read with.
  void addDrawn(const AcDbEntity* e, Box& box) {
    std::vector<cadhost::GiPrimitive> drawn;
    cadhost::drawnPrimitives(e, AcGeMatrix3d::kIdentity, false, drawn);
    const DxfKept* kept = e->objectId().stub() ? e->objectId().stub()->dxf.get() : nullptr;
    AcGePoint3d lo, hi;
    if (drawn.empty() && kept && cadhost::proxyGraphicsExtents(kept->proxyGraphics, lo, hi)) {
      box.add(lo);
      box.add(hi);
    }
    for (const cadhost::GiPrimitive& p : drawn) {
      if (p.kind == cadhost::GiPrimitive::kBlock) addBlock(p.block, p.transform, box);
      const bool round = p.kind == cadhost::GiPrimitive::kCircle || p.kind == cadhost::GiPrimitive::kArc;
      for (const AcGePoint3d& q : round ? cadhost::arcPoints(p) : p.points) box.add(q);
    }
  }

  std::unordered_map<AcDbStub*, Box> m_blocks;
  std::unordered_set<AcDbStub*> m_open;
  bool m_cut = false;  // a block was left out
};

const Box& Extents::block(AcDbObjectId id) {
  static const Box kNone;
  AcDbStub* stub = id.stub();
  auto it = m_blocks.find(stub);
  if (it != m_blocks.end()) return it->second;
  // A block being measured adds nothing to itself (a drawing with a cycle is refused on
  // reading; one made later stays finite).
  if (!id.isValid()) return kNone;
  if (m_open.count(stub) || (int)m_open.size() >= kMaxExtentsNesting) {
    m_cut = true;
    return kNone;
  }
  auto* btr = AcDbBlockTableRecord::cast(stub->object);
  if (!btr) return kNone;
  AcDbDatabase::Impl& d = *stub->db->impl();
  auto kept = d.blockBoxes.find(stub);
  Box b;
  if (kept != d.blockBoxes.end() && kept->second.changes == d.changes) {
    if (!kept->second.empty) {
      b.add(kept->second.lo);
      b.add(kept->second.hi);
    }
    return m_blocks[stub] = b;
  }
  m_open.insert(stub);
  for (AcDbObjectId e : btr->entities())
    if (!e.isErased()) add(static_cast<AcDbEntity*>(e.stub()->object), b);
  m_open.erase(stub);
  // Kept only when whole: no block was left out for a cycle or the nesting limit.
  if (!m_cut) {
    AcDbDatabase::Impl::BlockBox& keep = d.blockBoxes[stub];
    keep.changes = d.changes;
    keep.empty = b.empty();
    if (!b.empty()) {
      keep.lo = AcGePoint3d(b.lo[0], b.lo[1], b.lo[2]);
      keep.hi = AcGePoint3d(b.hi[0], b.hi[1], b.hi[2]);
    }
  }
  return m_blocks[stub] = b;
}

// Distance in the XY plane from the pick point to what a custom entity draws; a block it
// draws counts as the block's box.
double drawnDistance(Extents& extents, const AcDbEntity* e, const AcGePoint3d& p) {
  std::vector<cadhost::GiPrimitive> drawn;
  cadhost::drawnPrimitives(e, AcGeMatrix3d::kIdentity, false, drawn);
  double best = DBL_MAX;
  for (cadhost::GiPrimitive& d : drawn) {
    if (d.kind == cadhost::GiPrimitive::kBlock) {
      Box box;
      extents.addBlock(d.block, d.transform, box);
      if (!box.empty()) best = std::min(best, box.distance(p));
      continue;
    }
    std::vector<AcGePoint3d> line =
        d.kind == cadhost::GiPrimitive::kCircle || d.kind == cadhost::GiPrimitive::kArc ? cadhost::arcPoints(d) : d.points;
    if (d.kind == cadhost::GiPrimitive::kPolygon && !line.empty()) line.push_back(line.front());
    if (line.size() == 1) best = std::min(best, std::hypot(p.x - line[0].x, p.y - line[0].y));
    for (size_t i = 1; i < line.size(); ++i) best = std::min(best, segmentDistance2d(p, line[i - 1], line[i]));
  }
  return best;
}

// Distance in the XY plane from the pick point to the entity's shape; a block reference
// counts as its extents box, a face as its inside too.
double pickDistance(Extents& extents, const AcDbEntity* e, const AcGePoint3d& p) {
  if (AcDbBlockReference::cast(e)) {
    Box box;
    extents.add(e, box);
    return box.empty() ? DBL_MAX : box.distance(p);
  }
  const DxfEntityKind* kind = dxfKindOf(e);
  if (!kind && cadhost::isCustomEntity(e)) return drawnDistance(extents, e, p);
  if (!kind || !kind->outline) return DBL_MAX;
  Outline out;
  kind->outline(e, out);
  double best = DBL_MAX;
  for (auto& line : out) {
    if (line.size() == 1) best = std::min(best, std::hypot(p.x - line[0].x, p.y - line[0].y));
    for (size_t i = 1; i < line.size(); ++i) best = std::min(best, segmentDistance2d(p, line[i - 1], line[i]));
  }
  if (AcDbFace::cast(e) && !out.empty() && out[0].size() >= 4) {
    // Inside test by winding of the corner polygon.
    const auto& v = out[0];
    bool inside = false;
    for (size_t i = 0, j = v.size() - 2; i + 1 < v.size(); j = i++)
      if (((v[i].y > p.y) != (v[j].y > p.y)) &&
          p.x < (v[j].x - v[i].x) * (p.y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
        inside = !inside;
    if (inside) best = 0;
  }
  return best;
}

AcDbBlockTableRecord* modelSpace(AcDbDatabase* db) {
  if (!db) return nullptr;
  AcDbObjectId ms = db->modelSpaceId();
  return ms.isValid() ? AcDbBlockTableRecord::cast(ms.stub()->object) : nullptr;
}

std::unordered_set<std::vector<AcDbObjectId>*>& liveSets() {
  static std::unordered_set<std::vector<AcDbObjectId>*> sets;
  return sets;
}

std::vector<AcDbObjectId>* setOf(const ads_name ss) {
  auto* set = reinterpret_cast<std::vector<AcDbObjectId>*>(ss[0]);
  return liveSets().count(set) ? set : nullptr;
}

void nameOf(AcDbObjectId id, ads_name name) {
  name[0] = reinterpret_cast<Adesk::LongPtr>(id.stub());
  name[1] = 0;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

enum class PickAnswer { kEntity, kMiss, kEnter, kCancel };

// One pick: "x,y[,z]" (the entity under it) or "#HANDLE"; a line that is neither gets a
// message and the prompt again.
PickAnswer pickOnce(const std::wstring& prompt, AcDbObjectId& id, AcGePoint3d& at) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  for (;;) {
    std::string line;
    if (!cadhost::readAnswer(cadhost::toUtf8(prompt), line)) return PickAnswer::kCancel;
    std::string t = trim(line);
    if (t == "*cancel*") {
      cadhost::printUtf8("*Cancel*\n");
      return PickAnswer::kCancel;
    }
    if (t.empty()) return PickAnswer::kEnter;
    if (t[0] == '#') {
      AcDbHandle h(cadhost::fromUtf8(t.substr(1)).c_str());
      AcDbObjectId found;
      if (!h.isNull() && db && db->getAcDbObjectId(found, false, h) == Acad::eOk && !found.isErased() &&
          AcDbEntity::cast(found.stub()->object)) {
        id = found;
        at = AcGePoint3d::kOrigin;
        return PickAnswer::kEntity;
      }
      cadhost::printUtf8("No entity with that handle.\n");
      return PickAnswer::kMiss;
    }
    if (!cadhost::parsePoint(t, at)) {
      cadhost::printUtf8("Invalid point.\n");
      continue;
    }
    id = cadhost::pickEntity(db, at);
    return id.isNull() ? PickAnswer::kMiss : PickAnswer::kEntity;
  }
}

int newSet(std::vector<AcDbObjectId> ids, ads_name ss) {
  auto* set = new std::vector<AcDbObjectId>(std::move(ids));
  liveSets().insert(set);
  ss[0] = reinterpret_cast<Adesk::LongPtr>(set);
  ss[1] = 0;
  return RTNORM;
}
}  // namespace

namespace cadhost {
AcDbObjectId pickEntity(AcDbDatabase* db, const AcGePoint3d& p) {
  AcDbBlockTableRecord* ms = modelSpace(db);
  if (!ms) return AcDbObjectId::kNull;
  Extents extents;
  const Box& all = extents.block(ms->objectId());
  double diag = all.empty() ? 0 : std::hypot(all.hi[0] - all.lo[0], all.hi[1] - all.lo[1]);
  double pickBox = std::max(diag * 0.01, 1e-3);
  AcDbObjectId best;
  double bestDist = DBL_MAX;
  // Latest first, so that of equally near entities the one drawn last is picked.
  const auto& ents = ms->entities();
  for (size_t i = ents.size(); i-- > 0;) {
    if (ents[i].isErased()) continue;
    double d = pickDistance(extents, static_cast<AcDbEntity*>(ents[i].stub()->object), p);
    if (d <= pickBox && d < bestDist) {
      bestDist = d;
      best = ents[i];
    }
  }
  return best;
}

bool drawingExtents(AcDbDatabase* db, AcGePoint3d& lo, AcGePoint3d& hi) {
  AcDbBlockTableRecord* ms = modelSpace(db);
  if (!ms) return false;
  Extents extents;
  const Box& all = extents.block(ms->objectId());
  if (all.empty()) return false;
  lo = AcGePoint3d(all.lo[0], all.lo[1], all.lo[2]);
  hi = AcGePoint3d(all.hi[0], all.hi[1], all.hi[2]);
  return true;
}

AcDbObjectId lastEntity(AcDbDatabase* db) {
  AcDbBlockTableRecord* ms = modelSpace(db);
  if (!ms) return AcDbObjectId::kNull;
  const auto& ents = ms->entities();
  for (size_t i = ents.size(); i-- > 0;)
    if (!ents[i].isErased()) return ents[i];
  return AcDbObjectId::kNull;
}
}  // namespace cadhost

int acedEntSel(const ACHAR* prompt, ads_name entity, ads_point pickedPoint) {
  AcDbObjectId id;
  AcGePoint3d at;
  switch (pickOnce(prompt ? prompt : L"Select object: ", id, at)) {
    case PickAnswer::kCancel: return RTCAN;
    case PickAnswer::kEnter:
    case PickAnswer::kMiss: return RTERROR;
    default: break;
  }
  nameOf(id, entity);
  if (pickedPoint) {
    pickedPoint[0] = at.x;
    pickedPoint[1] = at.y;
    pickedPoint[2] = at.z;
  }
  return RTNORM;
}

int acedSSGet(const ACHAR* mode, const void* pt1, const void*, const resbuf*, ads_name ss) {
  std::wstring m = mode ? mode : L"";
  if (m == L"L" || m == L"l") {
    AcDbObjectId last = cadhost::lastEntity(acdbHostApplicationServices()->workingDatabase());
    if (last.isNull()) return RTERROR;
    return newSet({last}, ss);
  }
  bool single = m == L":$:S" || m == L":S:$" || m == L":S";
  std::wstring prompt = L"Select objects: ";
  if (m.find(L":$") != std::wstring::npos && pt1) {
    const ACHAR* const* prompts = static_cast<const ACHAR* const*>(pt1);
    if (prompts[0] && *prompts[0]) prompt = prompts[0];
  } else if (!m.empty() && !single) {
    return RTERROR;
  }
  std::vector<AcDbObjectId> picked;
  for (;;) {
    AcDbObjectId id;
    AcGePoint3d at;
    PickAnswer a = pickOnce(prompt, id, at);
    if (a == PickAnswer::kCancel) return RTCAN;
    if (a == PickAnswer::kEnter) break;
    if (a == PickAnswer::kMiss) {
      cadhost::printUtf8("0 found\n");
      continue;
    }
    if (std::find(picked.begin(), picked.end(), id) == picked.end()) picked.push_back(id);
    if (single) break;
    cadhost::printUtf8("1 found, " + std::to_string(picked.size()) + " total\n");
  }
  if (picked.empty()) return RTERROR;
  return newSet(std::move(picked), ss);
}

int acedSSName(const ads_name ss, Adesk::Int32 index, ads_name entity) {
  auto* set = setOf(ss);
  if (!set || index < 0 || (size_t)index >= set->size()) return RTERROR;
  nameOf((*set)[index], entity);
  return RTNORM;
}

int acedSSLength(const ads_name ss, Adesk::Int32* length) {
  auto* set = setOf(ss);
  if (!set || !length) return RTERROR;
  *length = (Adesk::Int32)set->size();
  return RTNORM;
}

int acedSSFree(const ads_name ss) {
  auto* set = setOf(ss);
  if (!set) return RTERROR;
  liveSets().erase(set);
  delete set;
  return RTNORM;
}

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name entity) {
  id = AcDbObjectId(reinterpret_cast<AcDbStub*>(entity[0]));
  return id.isNull() ? Acad::eNullObjectId : Acad::eOk;
}

Acad::ErrorStatus acdbGetAdsName(ads_name entity, AcDbObjectId id) {
  if (id.isNull()) return Acad::eNullObjectId;
  nameOf(id, entity);
  return Acad::eOk;
}
