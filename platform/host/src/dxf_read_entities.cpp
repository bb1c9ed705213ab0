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

// The schema field a group belongs to and which of its values it is (a point's x, y or z);
// false when it belongs to none.
bool fieldOf(const DxfEntityKind* kind, int code, size_t& field, int& component) {
  for (size_t f = 0; f < kind->fieldCount; ++f) {
    const DxfField& d = kind->fields[f];
    bool point = d.type == DxfType::kPoint || d.type == DxfType::kNormal;
    if (d.type == DxfType::kMarker || d.type == DxfType::kName) continue;
    if (code == d.code || (point && (code == d.code + 10 || code == d.code + 20))) {
      field = f;
      component = (code - d.code) / 10;
      return true;
    }
  }
  return false;
}

// Sets the value of the schema field that group t.group belongs to; false when none does.
// seen: bit k of a field's entry for each of its values read. t takes the field and which
// of its values (as fieldOf gives them), and the group's number as the file gives it.
bool setField(const DxfEntityKind* kind, std::vector<DxfValue>& values, std::vector<uint8_t>& seen,
              dxf::TakenGroup& t) {
  const Group& g = *t.group;
  size_t& f = t.field;
  if (!fieldOf(kind, g.code, f, t.component)) return false;
  switch (kind->fields[f].type) {
    case DxfType::kInt: t.number = (double)(values[f].i = dxf::toInt(g)); break;
    case DxfType::kAngle: values[f].v[0] = (t.number = dxf::toReal(g, &t.hostText)) * M_PI / 180.0; break;
    default: values[f].v[t.component] = t.number = dxf::toReal(g, &t.hostText); break;
  }
  seen[f] |= uint8_t(1 << t.component);
  return true;
}

// The text the writer gives the value of a field.
std::string fieldText(DxfType type, const DxfValue& v, int component) {
  char tmp[dxf::kNumberChars];
  switch (type) {
    case DxfType::kInt: return std::to_string(v.i);
    case DxfType::kAngle: return std::string(tmp, dxf::angleText(v.v[0], tmp));
    default: return std::string(tmp, dxf::realText(v.v[component], tmp));
  }
}

// The host takes the first of each group it models; a second one is shadowed (written
// right after the host's own), so that the object reads back the same after a save.
bool takenBefore(const std::vector<const Group*>& taken, int code) {
  for (const Group* t : taken)
    if (t->code == code) return true;
  return false;
}

bool takenBefore(const std::vector<dxf::TakenGroup>& taken, int code) {
  for (const dxf::TakenGroup& t : taken)
    if (t.group->code == code) return true;
  return false;
}

// Whether a group's number stands for the value of a field (but for its last digits, which
// a change of coordinates may touch): a value the entity refused does not.
bool sameValue(DxfType type, const Group& g, const DxfValue& v, int component) {
  if (type == DxfType::kInt) return dxf::toInt(g) == v.i;
  double read = dxf::toReal(g) * (type == DxfType::kAngle ? M_PI / 180.0 : 1.0), held = v.v[component];
  return std::fabs(read - held) <= 1e-9 * std::max(1.0, std::fabs(held));
}

// R12's names of the layouts' blocks.
std::wstring layoutBlockName(const std::wstring& name) {
  if (cadhost::equalsNoCase(name, L"$MODEL_SPACE")) return L"*Model_Space";
  if (cadhost::equalsNoCase(name, L"$PAPER_SPACE")) return L"*Paper_Space";
  return name;
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
    if (g.value != "BLOCK") throw DxfError{"BLOCK expected, found \"" + shownValue(g) + "\"", g.line};
    std::vector<Group> head = readObject(m_tok);
    noteHandles(head);
    std::wstring name;
    Adesk::UInt64 begin = 0, end = 0;
    double origin[3] = {0, 0, 0};
    bool owned = false;
    DxfBlockEnds ends;
    ends.read = true;
    std::vector<const Group*> taken;
    keepGroups(head, head.size(), {"AcDbEntity", "AcDbBlockBegin"}, [&](const Group& h) {
      if (h.code == 330) {
        if (owned) return false;
        return owned = true;
      }
      if (takenBefore(taken, h.code)) {
        ends.beginKept.shadowed.push_back({h.code, std::string(h.value)});
        return true;
      }
      if (h.code == 2) name = this->name(h);
      else if (h.code == 5) begin = toHandle(h);
      else if (h.code == 10 || h.code == 20 || h.code == 30) origin[h.code / 10 - 1] = toReal(h);
      else if (h.code != 3) return false;
      taken.push_back(&h);
      return true;
    }, ends.beginKept);
    if (name.empty()) throw DxfError{"BLOCK without a name", g.line};
    const std::wstring fileName = name;
    if (m_r12) name = layoutBlockName(name);
    AcDbBlockTableRecord* btr = blockNamed(name, g.line);
    // As the file gave them, but for a layout's block that R12 named otherwise.
    for (const Group* h : taken) {
      if ((h->code == 2 || h->code == 3) && name != fileName) continue;
      char tmp[kNumberChars];
      if (h->code == 2 || h->code == 3)
        asRead(ends.beginKept, h->code, m_codec.encode(btr->name()), h->value, [&] { return sameName(h->value, btr->name()); });
      else
        asRead(ends.beginKept, h->code, h->code == 5 ? handleText(begin) : std::string(tmp, realText(origin[h->code / 10 - 1], tmp)),
               h->value);
    }
    Adesk::UInt64 key = btr->objectId().handle().value();
    if (!defined.insert(key).second) throw DxfError{"block \"" + cadhost::toUtf8(name) + "\" defined twice", g.line};
    btr->setOrigin(AcGePoint3d(origin[0], origin[1], origin[2]));
    std::vector<Group> tail = entities(btr, false);
    noteHandles(tail);
    owned = false;
    keepGroups(tail, tail.size(), {"AcDbEntity", "AcDbBlockEnd"}, [&](const Group& h) {
      if (h.code == 5 && !end) {
        end = toHandle(h);
        asRead(ends.endKept, 5, handleText(end), h.value);
      } else if (h.code == 330 && !owned) {
        owned = true;
      } else {
        return false;
      }
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
  // Each entity is stored before the next is read: what its groups took goes with it.
  const Tokenizer::Mark room = m_tok.mark();
  for (m_tok.release(room); m_tok.next(g); m_tok.release(room)) {
    if (g.code != 0) throw DxfError{"entity expected", g.line};
    const std::string_view type = g.value;
    if (section && type == "ENDSEC") return {};
    if (!section && type == "ENDBLK") return readObject(m_tok);
    if (type == "ENDSEC" || type == "EOF" || type == "SECTION" || type == "BLOCK" || type == "ENDBLK")
      throw DxfError{"\"" + std::string(g.value) + "\" among entities", g.line};
    readObject(m_tok, m_groups);
    const std::vector<Group>& gs = m_groups;
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
    else
      target->entities().push_back(
          foreignObject(g.value, gs, true, g.line, target->objectId(), cadhost::equalsNoCase(target->name(), L"*Model_Space")));
  }
  throw DxfError{"file ends inside entities (truncated)", m_tok.lineNo()};
}

void Reader::entity(const DxfEntityKind* kind, const std::vector<Group>& gs, AcDbBlockTableRecord* btr, size_t line) {
  PooledPtr<AcDbEntity> owned(kind->create(&m_d.pool), {true});
  AcDbEntity* e = owned.get();
  std::vector<DxfValue>& values = m_values;
  std::vector<uint8_t>& seen = m_seen;
  values.assign(kind->fieldCount, DxfValue());
  seen.assign(kind->fieldCount, 0);
  for (size_t i = 0; i < kind->fieldCount; ++i)
    if (kind->fields[i].get) kind->fields[i].get(e, values[i]);
  Adesk::UInt64 handle = 0;
  LayerSpelling* layer = nullptr;
  std::wstring linetype, block;
  std::string blockAsRead;
  int color = 256;
  bool ownerSeen = false;
  std::vector<const char*>& markers = m_markers[kind];
  if (markers.empty()) {
    markers.push_back("AcDbEntity");
    for (size_t i = 0; i < kind->fieldCount; ++i)
      if (kind->fields[i].type == DxfType::kMarker) markers.push_back(kind->fields[i].label);
  }
  DxfKept kept;  // most entities keep nothing else: it is stored only when it holds something
  DxfEntityRead read;
  read.fromFile = true;
  size_t end = xdataStart(gs);
  // The mark of paper space is the host's to write for every entity of that space; one on
  // an entity of model space (in its block) is dropped, as it would move the entity.
  if (btr->objectId() != m_spaceOf) {
    m_spaceOf = btr->objectId();
    m_paper = cadhost::equalsNoCase(btr->name(), L"*Paper_Space");
    m_model = !m_paper && cadhost::equalsNoCase(btr->name(), L"*Model_Space");
  }
  const bool paper = m_paper, model = m_model;
  std::vector<TakenGroup>& taken = m_taken;  // the groups the host models, for their form as read
  taken.clear();
  keepGroups(gs, end, markers, [&](const Group& g) {
    if (g.code == 330) {
      if (ownerSeen) return false;
      return ownerSeen = true;
    }
    if (g.code == 67 && ((paper && toInt(g) == 1) || (model && isPaperMark(g)))) return true;
    if (takenBefore(taken, g.code)) {
      kept.shadowed.push_back({g.code, std::string(g.value)});
      return true;
    }
    if (g.code == 5) {
      handle = toHandle(g);
    } else if (g.code == 8) {
      layer = &layerSpelling(&g);
    } else if (g.code == 6) {
      linetype = name(g);
    } else if (g.code == 62) {
      color = (int)toInt(g);
    } else if (g.code == 2 && kind == &kDxfInsertKind) {
      if (!block.empty()) {
        kept.shadowed.push_back({g.code, std::string(g.value)});
        return true;
      }
      block = name(g);
      blockAsRead = g.value;
      return true;
    } else {
      TakenGroup t{&g, 0, 0, 0, false};
      if (!setField(kind, values, seen, t)) return false;
      taken.push_back(t);
      return true;
    }
    taken.push_back({&g, 0, 0, -1, false});
    return true;
  }, kept);
  for (size_t f = 0; f < kind->fieldCount; ++f) {
    if (!seen[f]) continue;
    if (kind->fields[f].set) kind->fields[f].set(e, values[f]);
    if (f < 32) read.fields |= uint32_t(1) << f;
    if (f < 32 && seen[f] == 3) read.flat |= uint32_t(1) << f;
  }
  if (kind->afterRead) kind->afterRead(e);
  if (kind == &kDxfInsertKind && block.empty()) throw DxfError{"INSERT without a block name", line};
  AcDbObjectId id = addObject(owned.release(), btr->objectId(), handle, line, true);
  btr->entities().push_back(id);
  xdata(e, gs, end);
  setProperties(e, layer ? *layer : layerSpelling(nullptr), linetype, color, line);
  noteEntityAsRead(kind, e, taken, kept, read);
  id.stub()->read = read;
  if (!kept.empty()) id.stub()->dxf = std::allocate_shared<DxfKept>(PoolAllocator<DxfKept>(&m_d.pool), std::move(kept));
  if (kind == &kDxfInsertKind)
    m_inserts.push_back({static_cast<AcDbBlockReference*>(e), btr->objectId(), block, blockAsRead, line});
}

// Each group the host models keeps the form the file gave it while its value stays.
void Reader::noteEntityAsRead(const DxfEntityKind* kind, const AcDbEntity* e, const std::vector<TakenGroup>& taken,
                              DxfKept& kept, DxfEntityRead& read) {
  std::vector<DxfValue>& values = m_values;  // now the values the entity holds
  values.clear();
  for (const TakenGroup& t : taken) {
    const Group* g = t.group;
    const size_t f = t.field;
    const int k = t.component;
    if (k >= 0) {
      if (values.empty()) {
        values.resize(kind->fieldCount);
        for (size_t i = 0; i < kind->fieldCount; ++i)
          if (kind->fields[i].get) kind->fields[i].get(e, values[i]);
      }
      const DxfType type = kind->fields[f].type;
      // Most numbers are in the host's form already, and the entity holds them as read.
      double held = type == DxfType::kAngle ? values[f].v[0] * 180.0 / M_PI : values[f].v[k];
      if (type != DxfType::kInt && held == t.number && t.hostText) continue;
      asRead(kept, g->code, fieldText(type, values[f], k), g->value, [&] { return sameValue(type, *g, values[f], k); });
      continue;
    }
    switch (g->code) {
      case 5: asRead(kept, 5, handleText(e->objectId().handle().value()), g->value); break;
      case 8:
        if (plainText(g->value, e->layerName())) break;
        asRead(kept, 8, m_codec.encode(e->layerName()), g->value, [&] { return sameName(g->value, e->layerName()); });
        break;
      case 6:
        read.linetype = true;
        if (plainText(g->value, e->linetypeName())) break;
        asRead(kept, 6, m_codec.encode(e->linetypeName()), g->value, [&] { return sameName(g->value, e->linetypeName()); });
        break;
      case 62:
        read.color = true;
        asRead(kept, 62, std::to_string(e->colorIndex()), g->value, [&] { return toInt(*g) == e->colorIndex(); });
        break;
    }
  }
}

Reader::LayerSpelling& Reader::layerSpelling(const Group* g) {
  const std::string_view bytes = g ? g->value : std::string_view();
  const size_t slots = sizeof m_layerSpellings / sizeof m_layerSpellings[0];
  LayerSpelling& s = m_layerSpellings[std::hash<std::string_view>()(bytes) % slots];
  if (s.used && s.bytes == bytes) return s;
  // A drawing of many layers passes through the cache: a spelling takes its slot's place.
  s.name = g ? name(*g) : L"";
  s.bytes.assign(bytes);
  s.id = AcDbObjectId();
  s.used = true;
  return s;
}

// An empty layer name (no layer can have it) puts the entity on layer 0, as no layer name does.
void Reader::setProperties(AcDbEntity* e, LayerSpelling& layerSpelling, const std::wstring& linetype, int color,
                           size_t line) {
  AcDbStub* stub = e->objectId().stub();
  stub->writer = true;  // while the reader sets its properties
  // A layer or linetype the tables lack is made.
  if (layerSpelling.id.isNull() || e->setLayer(layerSpelling.id) != Acad::eOk) {
    const std::wstring& layer = layerSpelling.name.empty() ? L"0" : layerSpelling.name;
    if (e->setLayer(layer.c_str()) != Acad::eOk) {
      ensureRecord(m_d.layerTable, layer, line);
      e->setLayer(layer.c_str());
    }
    layerSpelling.id = e->layerId();
  }
  if (!linetype.empty() && e->setLinetype(linetype.c_str()) != Acad::eOk) {
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
        throw DxfError{"group 1002 holds \"" + shownValue(g) + "\", not a brace", g.line};
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
  const Tokenizer::Mark room = m_tok.mark();
  for (m_tok.release(room); m_tok.next(g); m_tok.release(room)) {
    if (g.code != 0) throw DxfError{"object expected", g.line};
    if (g.value == "ENDSEC") return;
    readObject(m_tok, m_groups);
    noteHandles(m_groups);
    m_d.file.objects.push_back(foreignObject(g.value, m_groups, false, g.line));
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
  // From each block in the order the file first inserts from it, so the message is the same
  // at every reading.
  for (const PendingInsert& first : m_inserts) {
    AcDbStub* start = first.owner.stub();
    if (state[start] != kNew) continue;
    std::vector<Frame> stack{{start, 0}};
    state[start] = kOpen;
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
    const std::wstring& name = static_cast<AcDbSymbolTableRecord*>(id.stub()->object)->name();
    if (!plainText(p.blockAsRead, name))
      asRead(p.ref->objectId(), 2, m_codec.encode(name), p.blockAsRead, [&] { return sameName(p.blockAsRead, name); });
  }
  refuseBlockCycles();
  blockNamed(L"*Paper_Space", m_tok.lineNo());
  for (const wchar_t* lt : {L"ByBlock", L"ByLayer", L"CONTINUOUS"}) ensureRecord(m_d.linetypeTable, lt, 0);
  ensureRecord(m_d.layerTable, L"0", 0);
  ensureRecord(m_d.regAppTable, L"ACAD", 0);
  for (const std::wstring& app : m_xdataApps) ensureRecord(m_d.regAppTable, app, 0);
  auto* lts = static_cast<AcDbSymbolTable*>(m_d.linetypeTable.stub()->object);
  const std::wstring* lastName = nullptr;  // most layers name the linetype the one before did
  AcDbObjectId id;
  for (LayerLinetype& l : m_layerLinetypes) {
    // A layer's linetype the table lacks is made, as an entity's is.
    const wchar_t* linetype = l.name.empty() ? L"CONTINUOUS" : l.name.c_str();
    if (!lastName || *lastName != l.name) {
      if (lts->getAt(linetype, id) != Acad::eOk) {
        ensureRecord(m_d.linetypeTable, linetype, 0);
        lts->getAt(linetype, id);
      }
      lastName = &l.name;
    }
    l.layer->setLinetypeObjectId(id);
    const std::wstring& name = static_cast<AcDbSymbolTableRecord*>(id.stub()->object)->name();
    if (l.given && !plainText(l.asRead, name))
      asRead(l.layer->objectId(), 6, m_codec.encode(name), l.asRead, [&] { return sameName(l.asRead, name); });
  }
  // A seed beyond the range is no use to anyone: new objects follow the file's handles.
  m_d.nextHandle = std::max(m_maxHandle + 1, m_handseed <= kDxfHandleLimit ? m_handseed : 0);
  for (AcDbStub* s : m_deferred) {
    Adesk::UInt64 made = s->handle.value();
    m_d.erase(made);
    s->handle = AcDbHandle(m_d.allocHandle());
    m_d.insert(s->handle.value(), s);
    // A block record the file did not have keeps the handles and groups of its BLOCK and ENDBLK.
    auto ends = m_d.blockEnds.find(made);
    if (ends != m_d.blockEnds.end()) {
      DxfBlockEnds moved = std::move(ends->second);
      m_d.blockEnds.erase(ends);
      m_d.blockEnds[s->handle.value()] = std::move(moved);
    }
  }
  // Handled now, so that a save never needs a handle the session's new objects took.
  if (!reserveFileHandles(m_db))
    throw DxfError{"the drawing would run out of handles: its handles leave too few below the host's limit " +
                       cadhost::toUtf8(cadhost::handleText(AcDbHandle(kDxfHandleLimit))),
                   m_tok.lineNo()};
  m_d.file.read = true;
}
}  // namespace dxf
