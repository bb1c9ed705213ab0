// The DXF reader, continued: blocks, entities, extended data, objects, and what a
// drawing must have once everything is read.
#include <cmath>
#include <map>
#include <memory>
#include "customentity.h"
#include "dxf_reader.h"
#include "dxf_writer.h"
#include "dxflimits.h"

namespace {
using dxf::DxfError;
using dxf::Group;

size_t xdataStart(const std::vector<Group>& gs) {
  for (size_t i = 0; i < gs.size(); ++i)
    if (gs[i].code == 1001) return i;
  return gs.size();
}

// Sets the value of the schema field that a group belongs to; false when none does.
bool setField(const DxfEntityKind* kind, std::vector<DxfValue>& values, std::vector<bool>& seen, const Group& g) {
  for (size_t f = 0; f < kind->fieldCount; ++f) {
    const DxfField& field = kind->fields[f];
    switch (field.type) {
      case DxfType::kPoint:
      case DxfType::kNormal:
        if (g.code == field.code || g.code == field.code + 10 || g.code == field.code + 20) {
          values[f].v[(g.code - field.code) / 10] = dxf::toReal(g);
          seen[f] = true;
          return true;
        }
        break;
      case DxfType::kReal:
        if (g.code == field.code) {
          values[f].v[0] = dxf::toReal(g);
          seen[f] = true;
          return true;
        }
        break;
      case DxfType::kAngle:
        if (g.code == field.code) {
          values[f].v[0] = dxf::toReal(g) * M_PI / 180.0;
          seen[f] = true;
          return true;
        }
        break;
      case DxfType::kInt:
        if (g.code == field.code) {
          values[f].i = dxf::toInt(g);
          seen[f] = true;
          return true;
        }
        break;
      default:
        break;
    }
  }
  return false;
}
}  // namespace

namespace dxf {
AcDbBlockTableRecord* Reader::blockNamed(const std::wstring& name, size_t line) {
  if (m_d.blockTable.isNull()) makeTable("BLOCK_RECORD", 0, line);
  auto* bt = static_cast<AcDbBlockTable*>(m_d.blockTable.stub()->object);
  AcDbObjectId id;
  if (bt->getAt(name.c_str(), id) == Acad::eOk) return static_cast<AcDbBlockTableRecord*>(id.stub()->object);
  auto* rec = new AcDbBlockTableRecord;
  rec->setName(name.c_str());
  bt->appendRecord(addObject(rec, bt->objectId(), 0, line));
  return rec;
}

void Reader::blocks() {
  Group g;
  std::set<Adesk::UInt64> defined;
  while (m_tok.next(g)) {
    if (g.code != 0) throw DxfError{"BLOCK expected", g.line};
    if (g.value == "ENDSEC") return;
    if (g.value != "BLOCK") throw DxfError{"BLOCK expected, found \"" + g.value.substr(0, 40) + "\"", g.line};
    std::vector<Group> head = readObject(m_tok);
    noteHandles(head);
    std::wstring name;
    Adesk::UInt64 begin = 0, end = 0;
    double origin[3] = {0, 0, 0};
    bool owned = false;
    DxfBlockEnds ends;
    ends.read = true;
    keepGroups(head, head.size(), {"AcDbEntity", "AcDbBlockBegin"}, [&](const Group& h) {
      if (h.code == 2 && name.empty()) name = this->name(h);
      else if (h.code == 5 && !begin) begin = toHandle(h);
      else if (h.code == 330 && !owned) owned = true;
      else if (h.code == 10 || h.code == 20 || h.code == 30) origin[h.code / 10 - 1] = toReal(h);
      else return h.code == 3;
      return true;
    }, ends.beginKept);
    if (name.empty()) throw DxfError{"BLOCK without a name", g.line};
    AcDbBlockTableRecord* btr = blockNamed(name, g.line);
    Adesk::UInt64 key = btr->objectId().handle().value();
    if (!defined.insert(key).second) throw DxfError{"block \"" + cadhost::toUtf8(name) + "\" defined twice", g.line};
    btr->setOrigin(AcGePoint3d(origin[0], origin[1], origin[2]));
    std::vector<Group> tail = entities(btr, false);
    noteHandles(tail);
    owned = false;
    keepGroups(tail, tail.size(), {"AcDbEntity", "AcDbBlockEnd"}, [&](const Group& h) {
      if (h.code == 5 && !end) end = toHandle(h);
      else if (h.code == 330 && !owned) owned = true;
      else return false;
      return true;
    }, ends.endKept);
    reserveHandle(begin, g.line);
    reserveHandle(end, g.line);
    ends.begin = begin;
    ends.end = end;
    m_d.blockEnds[key] = std::move(ends);
  }
  throw DxfError{"file ends inside BLOCKS (truncated)", m_tok.lineNo()};
}

// Entities up to ENDSEC (the ENTITIES section) or ENDBLK (a block: its groups returned).
std::vector<Group> Reader::entities(AcDbBlockTableRecord* btr, bool section) {
  Group g;
  AcDbBlockTableRecord* last = btr;
  while (m_tok.next(g)) {
    if (g.code != 0) throw DxfError{"entity expected", g.line};
    if (section && g.value == "ENDSEC") return {};
    if (!section && g.value == "ENDBLK") return readObject(m_tok);
    if (g.value == "ENDSEC" || g.value == "EOF" || g.value == "SECTION" || g.value == "BLOCK" || g.value == "ENDBLK")
      throw DxfError{"\"" + g.value + "\" among entities", g.line};
    std::vector<Group> gs = readObject(m_tok);
    noteHandles(gs);
    AcDbBlockTableRecord* target = btr;
    if (section && (g.value == "ATTRIB" || g.value == "VERTEX" || g.value == "SEQEND")) {
      target = last;  // the parts of an entity stay with it
    } else if (section) {
      // The entities of the active paper space layout are in this section too.
      for (size_t i = 0, end = xdataStart(gs); i < end; ++i)
        if (gs[i].code == 67 && toInt(gs[i]) == 1) target = blockNamed(L"*Paper_Space", g.line);
    }
    last = target;
    if (const DxfEntityKind* kind = dxfKindNamed(g.value)) entity(kind, gs, target, g.line);
    else if (AcRxClass* cls = cadhost::customEntityClass(g.value)) customEntity(cls, g.value, gs, target, g.line);
    else target->entities().push_back(foreignObject(g.value, gs, true, g.line, target->objectId()));
  }
  throw DxfError{"file ends inside entities (truncated)", m_tok.lineNo()};
}

void Reader::entity(const DxfEntityKind* kind, const std::vector<Group>& gs, AcDbBlockTableRecord* btr, size_t line) {
  std::unique_ptr<AcDbEntity> owned(kind->create());
  AcDbEntity* e = owned.get();
  std::vector<DxfValue> values(kind->fieldCount);
  std::vector<bool> seen(kind->fieldCount, false);
  for (size_t i = 0; i < kind->fieldCount; ++i)
    if (kind->fields[i].get) kind->fields[i].get(e, values[i]);
  Adesk::UInt64 handle = 0;
  std::wstring layer = L"0", linetype, block;
  int color = 256;
  bool ownerSeen = false;
  std::vector<const char*> markers{"AcDbEntity"};
  for (size_t i = 0; i < kind->fieldCount; ++i)
    if (kind->fields[i].type == DxfType::kMarker) markers.push_back(kind->fields[i].label);
  auto kept = std::make_shared<DxfKept>();
  size_t end = xdataStart(gs);
  // The mark of paper space is the host's to write for every entity of that space.
  const bool paper = cadhost::equalsNoCase(btr->name(), L"*Paper_Space");
  keepGroups(gs, end, markers, [&](const Group& g) {
    if (g.code == 5 && !handle) handle = toHandle(g);
    else if (g.code == 330 && !ownerSeen) ownerSeen = true;
    else if (g.code == 67 && paper && toInt(g) == 1) return true;
    else if (g.code == 8) layer = name(g);
    else if (g.code == 6) linetype = name(g);
    else if (g.code == 62) color = (int)toInt(g);
    else if (g.code == 2 && kind == &kDxfInsertKind) block = name(g);
    else return setField(kind, values, seen, g);
    return true;
  }, *kept);
  for (size_t f = 0; f < kind->fieldCount; ++f) {
    if (!seen[f]) continue;
    if (kind->fields[f].set) kind->fields[f].set(e, values[f]);
    if (f < 32) kept->fieldsRead |= uint32_t(1) << f;
  }
  if (kind->afterRead) kind->afterRead(e);
  if (kind == &kDxfInsertKind && block.empty()) throw DxfError{"INSERT without a block name", line};
  AcDbObjectId id = addObject(owned.release(), btr->objectId(), handle, line);
  id.stub()->dxf = kept;
  btr->entities().push_back(id);
  xdata(e, gs, end);
  setProperties(e, layer, linetype, color, line);
  if (kind == &kDxfInsertKind) m_inserts.push_back({static_cast<AcDbBlockReference*>(e), btr->objectId(), block, line});
}

// An empty layer name (no layer can have it) puts the entity on layer 0, as no layer name does.
void Reader::setProperties(AcDbEntity* e, const std::wstring& layerName, const std::wstring& linetype, int color,
                           size_t line) {
  const std::wstring& layer = layerName.empty() ? L"0" : layerName;
  AcDbStub* stub = e->objectId().stub();
  stub->writer = true;  // while the reader sets its properties
  ensureRecord(m_d.layerTable, layer, line);
  e->setLayer(layer.c_str());
  if (!linetype.empty()) {
    ensureRecord(m_d.linetypeTable, linetype, line);
    e->setLinetype(linetype.c_str());
  }
  if (color >= 0 && color <= 257) e->setColorIndex((Adesk::UInt16)color);
  stub->writer = false;
}

// Extended data from group `from` on, every item kept as read.
void Reader::xdata(AcDbObject* o, const std::vector<Group>& gs, size_t from) {
  auto& apps = o->xDataApps();
  int depth = 0;
  if (gs.size() - from > kDxfMaxXDataItems) throw DxfError{"more extended data than the reader's limit", gs[from].line};
  for (size_t i = from; i < gs.size(); ++i) {
    const Group& g = gs[i];
    if (g.code == 1001) {
      std::wstring name = this->name(g);
      if (name.empty()) throw DxfError{"extended data without an application name", g.line};
      if (depth != 0) throw DxfError{"unbalanced { in extended data", g.line};
      m_xdataApps.insert(name);
      apps.push_back({name, {}});
      continue;
    }
    AcDbXDataItem item;
    item.code = (short)g.code;
    if (g.code == 1000 || g.code == 1003 || g.code == 1005) {
      item.text = text(g);
    } else if (g.code == 1002) {
      if (g.value == "{") {
        if (++depth > kDxfMaxBlockNesting) throw DxfError{"extended data nested too deep", g.line};
      } else if (g.value == "}") {
        if (depth-- == 0) throw DxfError{"unbalanced } in extended data", g.line};
      } else {
        throw DxfError{"group 1002 holds \"" + g.value.substr(0, 40) + "\", not a brace", g.line};
      }
      item.text = cadhost::fromUtf8(g.value);
    } else if (g.code == 1004) {
      if (g.value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || g.value.size() % 2)
        throw DxfError{"group 1004: binary data that is not hexadecimal", g.line};
      item.text = cadhost::fromUtf8(g.value);
    } else if (g.code >= 1010 && g.code <= 1013) {
      item.real[0] = toReal(g);
      for (int k = 1; k < 3 && i + 1 < gs.size() && gs[i + 1].code == g.code + 10 * k; ++k) item.real[k] = toReal(gs[++i]);
    } else if (g.code >= 1040 && g.code <= 1042) {
      item.real[0] = toReal(g);
    } else if (g.code == 1070 || g.code == 1071) {
      item.integer = (Adesk::Int32)toInt(g);
    } else {
      throw DxfError{"group " + std::to_string(g.code) + " inside extended data", g.line};
    }
    apps.back().items.push_back(std::move(item));
  }
  if (depth != 0) throw DxfError{"unbalanced { in extended data", gs.back().line};
}

void Reader::objects() {
  m_d.file.hasObjects = true;
  Group g;
  while (m_tok.next(g)) {
    if (g.code != 0) throw DxfError{"object expected", g.line};
    if (g.value == "ENDSEC") return;
    std::vector<Group> gs = readObject(m_tok);
    noteHandles(gs);
    m_d.file.objects.push_back(foreignObject(g.value, gs, false, g.line));
  }
  throw DxfError{"file ends inside OBJECTS (truncated)", m_tok.lineNo()};
}

// A block that inserts itself, directly or through others, has no extents and no end:
// such a drawing is refused, naming the block and the reference that closes the circle.
void Reader::refuseBlockCycles() {
  std::map<AcDbStub*, std::vector<const PendingInsert*>> refs;
  for (const PendingInsert& p : m_inserts) refs[p.owner.stub()].push_back(&p);
  enum { kNew, kOpen, kDone };
  std::map<AcDbStub*, int> state;
  struct Frame {
    AcDbStub* block;
    size_t next;
  };
  for (auto& start : refs) {
    if (state[start.first] != kNew) continue;
    std::vector<Frame> stack{{start.first, 0}};
    state[start.first] = kOpen;
    while (!stack.empty()) {
      Frame& f = stack.back();
      auto& out = refs[f.block];
      if (f.next == out.size()) {
        state[f.block] = kDone;
        stack.pop_back();
        continue;
      }
      const PendingInsert* p = out[f.next++];
      AcDbStub* to = p->ref->blockTableRecord().stub();
      int& s = state[to];
      if (s == kOpen) {
        std::string name = cadhost::toUtf8(static_cast<AcDbSymbolTableRecord*>(to->object)->name());
        throw DxfError{"block \"" + name.substr(0, 80) + "\" inserts itself" +
                           (stack.back().block == to ? "" : " through other blocks"),
                       p->line};
      }
      if (s == kNew) {
        s = kOpen;
        stack.push_back({to, 0});
      }
    }
  }
}

// Block names of references, what every drawing has, the handle seed.
void Reader::finish() {
  blockNamed(L"*Model_Space", m_tok.lineNo());
  auto* bt = static_cast<AcDbBlockTable*>(m_d.blockTable.stub()->object);
  for (PendingInsert& p : m_inserts) {
    AcDbObjectId id;
    if (bt->getAt(p.block.c_str(), id) != Acad::eOk)
      throw DxfError{"INSERT names block \"" + cadhost::toUtf8(p.block) + "\" which is not defined", p.line};
    p.ref->setBlockTableRecord(id);
  }
  refuseBlockCycles();
  blockNamed(L"*Paper_Space", m_tok.lineNo());
  for (const wchar_t* lt : {L"ByBlock", L"ByLayer", L"CONTINUOUS"}) ensureRecord(m_d.linetypeTable, lt, 0);
  ensureRecord(m_d.layerTable, L"0", 0);
  ensureRecord(m_d.regAppTable, L"ACAD", 0);
  for (const std::wstring& app : m_xdataApps) ensureRecord(m_d.regAppTable, app, 0);
  auto* lts = static_cast<AcDbSymbolTable*>(m_d.linetypeTable.stub()->object);
  for (auto& l : m_layerLinetypes) {
    AcDbObjectId id;
    lts->getAt(l.second.empty() ? L"CONTINUOUS" : l.second.c_str(), id);
    if (id.isNull()) lts->getAt(L"CONTINUOUS", id);
    l.first->setLinetypeObjectId(id);
  }
  // A seed beyond the range is no use to anyone: new objects follow the file's handles.
  m_d.nextHandle = std::max(m_maxHandle + 1, m_handseed <= kDxfHandleLimit ? m_handseed : 0);
  for (AcDbStub* s : m_deferred) {
    m_d.erase(s->handle.value());
    s->handle = AcDbHandle(m_d.allocHandle());
    m_d.insert(s->handle.value(), s);
  }
  // Handled now, so that a save never needs a handle the session's new objects took.
  if (!reserveFileHandles(m_db))
    throw DxfError{"the drawing would run out of handles: its handles leave too few below the host's limit " +
                       cadhost::toUtf8(cadhost::handleText(AcDbHandle(kDxfHandleLimit))),
                   m_tok.lineNo()};
  m_d.file.read = true;
}
}  // namespace dxf
