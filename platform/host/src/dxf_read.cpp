// Reads a DXF drawing (R2000 and similar) into a database: tables, blocks, model-space
// entities with their extended data, handles and the handle seed. A malformed, truncated
// or oversized file is refused with the reason and its line, and the database is left
// as it was.
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include "dxf_text.h"
#include "dxf_tokens.h"
#include "dxflimits.h"
#include "dxfschema.h"
#include "hostimpl.h"

namespace {
using namespace dxf;

struct PendingInsert {
  AcDbBlockReference* ref;
  std::wstring block;
  size_t line;
};

class Reader {
 public:
  Reader(AcDbDatabase* db, const std::string& data) : m_db(db), m_d(*db->impl()), m_tok(data) {}

  void run() {
    Group g;
    for (;;) {
      if (!m_tok.next(g)) throw DxfError{"file ends without EOF (truncated)", m_tok.lineNo()};
      if (g.code != 0) throw DxfError{"group " + std::to_string(g.code) + " outside a section", g.line};
      if (g.value == "EOF") break;
      if (g.value != "SECTION") throw DxfError{"\"" + g.value.substr(0, 40) + "\" where SECTION was expected", g.line};
      Group name;
      if (!m_tok.next(name) || name.code != 2) throw DxfError{"section without a name", g.line};
      if (name.value == "HEADER") header();
      else if (name.value == "TABLES") tables();
      else if (name.value == "BLOCKS") blocks();
      else if (name.value == "ENTITIES") entities(modelSpace(), true);
      else if (name.value == "OBJECTS") objects();
      else skipSection();
    }
    finish();
  }
  // What the file holds that this host does not keep, for the caller to tell the user.
  std::string skippedText() const {
    if (!m_skipped) return "";
    std::string kinds;
    for (const std::string& k : m_skippedKinds) kinds += (kinds.empty() ? "" : ", ") + k;
    return std::to_string(m_skipped) + " entities of kinds this host does not keep were left out (" + kinds + ")";
  }

 private:
  std::wstring text(const std::string& s) { return dxf::decode(s, m_utf8); }

  void expectEndsec() {
    Group g;
    if (!m_tok.next(g)) throw DxfError{"file ends inside a section (truncated)", m_tok.lineNo()};
    if (g.code != 0 || g.value != "ENDSEC") throw DxfError{"ENDSEC expected", g.line};
  }

  void skipSection() {
    Group g;
    while (m_tok.next(g))
      if (g.code == 0 && g.value == "ENDSEC") return;
    throw DxfError{"file ends inside a section (truncated)", m_tok.lineNo()};
  }

  void header() {
    Group g;
    std::string var;
    while (m_tok.next(g)) {
      if (g.code == 0) {
        if (g.value != "ENDSEC") throw DxfError{"ENDSEC expected in HEADER", g.line};
        return;
      }
      if (g.code == 9) var = g.value;
      else if (var == "$ACADVER" && g.code == 1) m_utf8 = g.value >= "AC1021";
      else if (var == "$HANDSEED" && g.code == 5) m_handseed = toHandle(g);
    }
    throw DxfError{"file ends inside HEADER (truncated)", m_tok.lineNo()};
  }

  // --- tables -------------------------------------------------------------------

  AcDbObjectId addObject(AcDbObject* o, AcDbObjectId owner, Adesk::UInt64 handle, size_t line) {
    if (++m_objects > kDxfMaxObjects) {
      delete o;
      throw DxfError{"more objects than the reader's limit", line};
    }
    if (handle && m_d.find(handle)) {
      delete o;
      throw DxfError{"handle " + cadhost::toUtf8(cadhost::handleText(AcDbHandle(handle))) + " used twice", line};
    }
    if (handle && m_roleHandles.count(handle)) {
      delete o;
      throw DxfError{"handle used twice", line};
    }
    if (handle) {
      m_maxHandle = std::max(m_maxHandle, handle);
      return m_db->addObject(o, owner, AcDbHandle(handle));
    }
    // Made by the reader itself (a missing layer, a handle-less object): a handle of its
    // own once the file's handles are all known, so none of them is taken before it appears.
    AcDbObjectId id = m_db->addObject(o, owner, AcDbHandle(kTempHandleBase + m_deferred.size()));
    m_deferred.push_back(id.stub());
    return id;
  }

  void role(const std::string& name, Adesk::UInt64 h, size_t line) {
    if (!h) return;
    m_maxHandle = std::max(m_maxHandle, h);
    if (m_d.find(h) || !m_roleHandles.insert(h).second) throw DxfError{"handle used twice", line};
    m_d.roleHandles[name] = h;
  }

  AcDbObjectId& tableSlot(const std::string& name) {
    static AcDbObjectId none;
    if (name == "BLOCK_RECORD") return m_d.blockTable;
    if (name == "LAYER") return m_d.layerTable;
    if (name == "LTYPE") return m_d.linetypeTable;
    if (name == "APPID") return m_d.regAppTable;
    none.setNull();
    return none;
  }

  AcDbSymbolTable* makeTable(const std::string& name, Adesk::UInt64 handle, size_t line) {
    AcDbObjectId& slot = tableSlot(name);
    if (name != "BLOCK_RECORD" && name != "LAYER" && name != "LTYPE" && name != "APPID") {
      role(name, handle, line);
      return nullptr;
    }
    if (!slot.isNull()) throw DxfError{"table " + name + " appears twice", line};
    AcDbSymbolTable* t;
    if (name == "BLOCK_RECORD") t = new AcDbBlockTable;
    else if (name == "LAYER") t = new AcDbLayerTable;
    else if (name == "LTYPE") t = new AcDbLinetypeTable;
    else t = new AcDbRegAppTable;
    slot = addObject(t, AcDbObjectId::kNull, handle, line);
    return t;
  }

  void tables() {
    Group g;
    while (m_tok.next(g)) {
      if (g.code != 0) throw DxfError{"TABLE expected", g.line};
      if (g.value == "ENDSEC") return;
      if (g.value != "TABLE") throw DxfError{"TABLE expected, found \"" + g.value.substr(0, 40) + "\"", g.line};
      std::vector<Group> head = readObject(m_tok);
      std::string name;
      Adesk::UInt64 handle = 0;
      for (const Group& h : head) {
        if (h.code == 2 && name.empty()) name = h.value;
        if ((h.code == 5 || h.code == 105) && !handle) handle = toHandle(h);
      }
      AcDbSymbolTable* table = makeTable(name, handle, g.line);
      for (;;) {
        Group r;
        if (!m_tok.next(r)) throw DxfError{"file ends inside table " + name + " (truncated)", m_tok.lineNo()};
        if (r.code != 0) throw DxfError{"record expected", r.line};
        if (r.value == "ENDTAB") break;
        record(name, table, r, readObject(m_tok));
      }
    }
    throw DxfError{"file ends inside TABLES (truncated)", m_tok.lineNo()};
  }

  void record(const std::string& table, AcDbSymbolTable* t, const Group& type, const std::vector<Group>& gs) {
    std::wstring name;
    Adesk::UInt64 handle = 0;
    int flags = 0, color = 7;
    std::wstring linetype;
    for (const Group& g : gs) {
      if (g.code == 2) name = text(g.value);
      else if ((g.code == 5 || g.code == 105) && !handle) handle = toHandle(g);
      else if (g.code == 70) flags = (int)toInt(g);
      else if (g.code == 62) color = (int)toInt(g);
      else if (g.code == 6) linetype = text(g.value);
    }
    if (name.empty()) throw DxfError{table + " record without a name", type.line};
    if (!t) {
      role(table + (table == "VPORT" ? "*ACTIVE" : ":" + cadhost::toUtf8(name)), handle, type.line);
      return;
    }
    if (t->has(name.c_str())) throw DxfError{table + " \"" + cadhost::toUtf8(name) + "\" appears twice", type.line};
    AcDbSymbolTableRecord* rec;
    if (table == "BLOCK_RECORD") {
      rec = new AcDbBlockTableRecord;
    } else if (table == "LAYER") {
      auto* l = new AcDbLayerTableRecord;
      l->setIsFrozen(flags & 1);
      l->setVPDFLT(flags & 2);
      l->setIsLocked(flags & 4);
      l->setIsOff(color < 0);
      AcCmColor c;
      c.setColorIndex((Adesk::UInt16)std::min(255, std::max(1, std::abs(color))));
      l->setColor(c);
      m_layerLinetypes.emplace_back(l, linetype);
      rec = l;
    } else if (table == "LTYPE") {
      rec = new AcDbLinetypeTableRecord;
    } else {
      rec = new AcDbRegAppTableRecord;
    }
    rec->setName(name.c_str());
    AcDbObjectId id = addObject(rec, t->objectId(), handle, type.line);
    t->records().push_back(id);
  }

  // --- blocks and entities ----------------------------------------------------------

  AcDbBlockTableRecord* blockNamed(const std::wstring& name, size_t line) {
    if (m_d.blockTable.isNull()) makeTable("BLOCK_RECORD", 0, line);
    auto* bt = static_cast<AcDbBlockTable*>(m_d.blockTable.stub()->object);
    AcDbObjectId id;
    if (bt->getAt(name.c_str(), id) == Acad::eOk) return static_cast<AcDbBlockTableRecord*>(id.stub()->object);
    auto* rec = new AcDbBlockTableRecord;
    rec->setName(name.c_str());
    bt->records().push_back(addObject(rec, bt->objectId(), 0, line));
    return rec;
  }

  AcDbBlockTableRecord* modelSpace() { return blockNamed(L"*Model_Space", m_tok.lineNo()); }

  void blocks() {
    Group g;
    while (m_tok.next(g)) {
      if (g.code != 0) throw DxfError{"BLOCK expected", g.line};
      if (g.value == "ENDSEC") return;
      if (g.value != "BLOCK") throw DxfError{"BLOCK expected, found \"" + g.value.substr(0, 40) + "\"", g.line};
      std::vector<Group> head = readObject(m_tok);
      std::wstring name;
      Adesk::UInt64 begin = 0;
      double origin[3] = {0, 0, 0};
      for (const Group& h : head) {
        if (h.code == 2) name = text(h.value);
        else if (h.code == 5) begin = toHandle(h);
        else if (h.code == 10 || h.code == 20 || h.code == 30) origin[h.code / 10 - 1] = toReal(h);
      }
      if (name.empty()) throw DxfError{"BLOCK without a name", g.line};
      AcDbBlockTableRecord* btr = blockNamed(name, g.line);
      btr->setOrigin(AcGePoint3d(origin[0], origin[1], origin[2]));
      Adesk::UInt64 end = entities(btr, false);
      Adesk::UInt64 key = btr->objectId().handle().value();
      if (begin) role("BLOCK:" + std::to_string(key), begin, g.line);
      if (end) role("ENDBLK:" + std::to_string(key), end, g.line);
      m_d.blockMarkers[key] = {begin, end};
    }
    throw DxfError{"file ends inside BLOCKS (truncated)", m_tok.lineNo()};
  }

  // Entities up to ENDSEC (the ENTITIES section) or ENDBLK (a block); the ENDBLK handle.
  Adesk::UInt64 entities(AcDbBlockTableRecord* btr, bool section) {
    Group g;
    while (m_tok.next(g)) {
      if (g.code != 0) throw DxfError{"entity expected", g.line};
      if (section && g.value == "ENDSEC") return 0;
      if (!section && g.value == "ENDBLK") {
        Adesk::UInt64 end = 0;
        for (const Group& e : readObject(m_tok))
          if (e.code == 5) end = toHandle(e);
        return end;
      }
      if (g.value == "ENDSEC" || g.value == "EOF" || g.value == "SECTION")
        throw DxfError{"\"" + g.value + "\" inside a block", g.line};
      std::vector<Group> gs = readObject(m_tok);
      const DxfEntityKind* kind = dxfKindNamed(g.value);
      if (!kind) {
        ++m_skipped;
        m_skippedKinds.insert(g.value.substr(0, 40));
        continue;
      }
      AcDbBlockTableRecord* target = btr;
      for (const Group& e : gs)
        if (section && e.code == 67 && toInt(e) == 1) target = blockNamed(L"*Paper_Space", g.line);
      entity(kind, gs, target, g.line);
    }
    throw DxfError{"file ends inside entities (truncated)", m_tok.lineNo()};
  }

  void entity(const DxfEntityKind* kind, const std::vector<Group>& gs, AcDbBlockTableRecord* btr, size_t line) {
    std::unique_ptr<AcDbEntity> owned(kind->create());
    AcDbEntity* e = owned.get();
    std::vector<DxfValue> values(kind->fieldCount);
    std::vector<bool> seen(kind->fieldCount, false);
    for (size_t i = 0; i < kind->fieldCount; ++i)
      if (kind->fields[i].get) kind->fields[i].get(e, values[i]);
    Adesk::UInt64 handle = 0;
    std::wstring layer = L"0", linetype, block;
    int color = 256;
    size_t i = 0;
    for (; i < gs.size(); ++i) {
      const Group& g = gs[i];
      if (g.code == 1001) break;
      if (g.code == 5) handle = toHandle(g);
      else if (g.code == 8) layer = text(g.value);
      else if (g.code == 6) linetype = text(g.value);
      else if (g.code == 62) color = (int)toInt(g);
      else if (g.code == 2 && kind == &kDxfInsertKind) block = text(g.value);
      else setField(kind, values, seen, g);
    }
    for (size_t f = 0; f < kind->fieldCount; ++f)
      if (seen[f] && kind->fields[f].set) kind->fields[f].set(e, values[f]);
    if (kind->afterRead) kind->afterRead(e);
    xdata(e, gs, i);
    AcDbObjectId id;
    id = addObject(owned.release(), btr->objectId(), handle, line);
    btr->entities().push_back(id);
    e->setIds(id, btr->objectId());
    id.stub()->writer = true;  // while the reader sets its properties
    ensureRecord(m_d.layerTable, layer, line);
    e->setLayer(layer.c_str());
    if (!linetype.empty()) {
      ensureRecord(m_d.linetypeTable, linetype, line);
      e->setLinetype(linetype.c_str());
    }
    if (color >= 0 && color <= 257) e->setColorIndex((Adesk::UInt16)color);
    id.stub()->writer = false;
    if (kind == &kDxfInsertKind) {
      if (block.empty()) throw DxfError{"INSERT without a block name", line};
      m_inserts.push_back({static_cast<AcDbBlockReference*>(e), block, line});
    }
  }

  void setField(const DxfEntityKind* kind, std::vector<DxfValue>& values, std::vector<bool>& seen, const Group& g) {
    for (size_t f = 0; f < kind->fieldCount; ++f) {
      const DxfField& field = kind->fields[f];
      switch (field.type) {
        case DxfType::kPoint:
        case DxfType::kNormal:
          if (g.code == field.code || g.code == field.code + 10 || g.code == field.code + 20) {
            values[f].v[(g.code - field.code) / 10] = toReal(g);
            seen[f] = true;
            return;
          }
          break;
        case DxfType::kReal:
          if (g.code == field.code) { values[f].v[0] = toReal(g); seen[f] = true; return; }
          break;
        case DxfType::kAngle:
          if (g.code == field.code) { values[f].v[0] = toReal(g) * M_PI / 180.0; seen[f] = true; return; }
          break;
        case DxfType::kInt:
          if (g.code == field.code) { values[f].i = toInt(g); seen[f] = true; return; }
          break;
        default:
          break;
      }
    }
  }

  // Extended data from group i on; brace groups of 1000 texts are joined (see dxf_write).
  void xdata(AcDbEntity* e, const std::vector<Group>& gs, size_t i) {
    auto& apps = e->xDataApps();
    size_t count = 0;
    int depth = 0;
    bool joining = false;
    for (; i < gs.size(); ++i) {
      const Group& g = gs[i];
      if (++count > kDxfMaxXDataItems) throw DxfError{"more extended data than the reader's limit", g.line};
      if (g.code == 1001) {
        std::wstring name = text(g.value);
        if (name.empty()) throw DxfError{"extended data without an application name", g.line};
        ensureRecord(m_d.regAppTable, name, g.line);
        apps.push_back({name, {}});
        depth = 0;
        continue;
      }
      if (g.code < 1000) throw DxfError{"group " + std::to_string(g.code) + " inside extended data", g.line};
      if (apps.empty()) throw DxfError{"extended data before its application name", g.line};
      auto& items = apps.back().items;
      if (g.code == 1002) {
        if (g.value == "{") {
          if (++depth > kDxfMaxBlockNesting) throw DxfError{"extended data nested too deep", g.line};
          joining = depth == 1 && isTextGroup(gs, i + 1);
          if (joining) items.push_back(AcDbXDataItem());
        } else {
          if (depth == 0) throw DxfError{"unbalanced } in extended data", g.line};
          --depth;
          joining = false;
        }
        continue;
      }
      if (joining && g.code == 1000) {
        items.back().code = 1000;
        items.back().text += text(g.value);
        continue;
      }
      joining = false;
      AcDbXDataItem item;
      item.code = (short)g.code;
      if (g.code == 1000 || g.code == 1003 || g.code == 1005) {
        item.text = text(g.value);
      } else if (g.code >= 1010 && g.code <= 1013) {
        item.real[0] = toReal(g);
        for (int k = 1; k < 3 && i + 1 < gs.size() && gs[i + 1].code == g.code + 10 * k; ++k) item.real[k] = toReal(gs[++i]);
      } else if (g.code >= 1040 && g.code <= 1042) {
        item.real[0] = toReal(g);
      } else if (g.code == 1070 || g.code == 1071) {
        item.integer = (Adesk::Int32)toInt(g);
      } else {
        continue;  // binary chunks and layer references: not kept by this host
      }
      items.push_back(std::move(item));
    }
  }

  // A brace group holding only 1000 texts up to its closing brace: a split long text.
  static bool isTextGroup(const std::vector<Group>& gs, size_t i) {
    size_t n = 0;
    for (; i < gs.size(); ++i, ++n) {
      if (gs[i].code == 1002) return gs[i].value == "}" && n > 0;
      if (gs[i].code != 1000) return false;
    }
    return false;
  }

  void ensureRecord(AcDbObjectId& tableId, const std::wstring& name, size_t line) {
    if (tableId.isNull()) {
      std::string which = &tableId == &m_d.layerTable ? "LAYER" : &tableId == &m_d.linetypeTable ? "LTYPE" : "APPID";
      makeTable(which, 0, line);
    }
    auto* t = static_cast<AcDbSymbolTable*>(tableId.stub()->object);
    if (t->has(name.c_str())) return;
    AcDbSymbolTableRecord* rec;
    if (&tableId == &m_d.layerTable) {
      auto* l = new AcDbLayerTableRecord;
      AcCmColor c;
      c.setColorIndex(7);
      l->setColor(c);
      m_layerLinetypes.emplace_back(l, L"CONTINUOUS");
      rec = l;
    } else if (&tableId == &m_d.linetypeTable) {
      rec = new AcDbLinetypeTableRecord;
    } else {
      rec = new AcDbRegAppTableRecord;
    }
    rec->setName(name.c_str());
    t->records().push_back(addObject(rec, tableId, 0, line));
  }

  void objects() {
    // Dictionaries and layouts are rebuilt by the writer; only their handles are kept.
    Group g;
    Adesk::UInt64 first = 0;
    while (m_tok.next(g)) {
      if (g.code != 0) throw DxfError{"object expected", g.line};
      if (g.value == "ENDSEC") return;
      std::string type = g.value;
      std::vector<Group> gs = readObject(m_tok);
      Adesk::UInt64 h = 0;
      std::string layoutName;
      for (const Group& o : gs) {
        if (o.code == 5 && !h) h = toHandle(o);
        if (o.code == 1) layoutName = o.value;
      }
      if (type == "DICTIONARY" && !first) {
        first = h;
        role("DICT:root", h, g.line);
        for (size_t k = 0; k + 1 < gs.size(); ++k)
          if (gs[k].code == 3 && gs[k + 1].code == 350 &&
              (gs[k].value == "ACAD_GROUP" || gs[k].value == "ACAD_LAYOUT"))
            m_dictEntries["DICT:" + gs[k].value] = toHandle(gs[k + 1]);
      } else if (type == "LAYOUT" && (layoutName == "Model" || layoutName == "Layout1")) {
        role("LAYOUT:" + layoutName, h, g.line);
      } else if (h) {
        for (auto& e : m_dictEntries)
          if (e.second == h) role(e.first, h, g.line);
        m_roleHandles.insert(h);
        m_maxHandle = std::max(m_maxHandle, h);
      }
    }
    throw DxfError{"file ends inside OBJECTS (truncated)", m_tok.lineNo()};
  }

  // Defaults a drawing must have, block names of references, the handle seed.
  void finish() {
    for (PendingInsert& p : m_inserts) {
      auto* bt = static_cast<AcDbBlockTable*>(m_d.blockTable.stub()->object);
      AcDbObjectId id;
      if (bt->getAt(p.block.c_str(), id) != Acad::eOk)
        throw DxfError{"INSERT names block \"" + cadhost::toUtf8(p.block) + "\" which is not defined", p.line};
      p.ref->setBlockTableRecord(id);
    }
    modelSpace();
    blockNamed(L"*Paper_Space", m_tok.lineNo());
    for (const wchar_t* lt : {L"ByBlock", L"ByLayer", L"CONTINUOUS"}) ensureRecord(m_d.linetypeTable, lt, 0);
    ensureRecord(m_d.layerTable, L"0", 0);
    ensureRecord(m_d.regAppTable, L"ACAD", 0);
    auto* lts = static_cast<AcDbSymbolTable*>(m_d.linetypeTable.stub()->object);
    for (auto& l : m_layerLinetypes) {
      AcDbObjectId id;
      lts->getAt(l.second.empty() ? L"CONTINUOUS" : l.second.c_str(), id);
      if (id.isNull()) lts->getAt(L"CONTINUOUS", id);
      l.first->setLinetypeObjectId(id);
    }
    for (Adesk::UInt64 h : m_roleHandles) m_maxHandle = std::max(m_maxHandle, h);
    m_d.nextHandle = std::max(m_maxHandle + 1, m_handseed);
    for (AcDbStub* s : m_deferred) {
      m_d.erase(s->handle.value());
      s->handle = AcDbHandle(m_d.allocHandle());
      m_d.insert(s->handle.value(), s);
    }
  }

  AcDbDatabase* m_db;
  AcDbDatabase::Impl& m_d;
  Tokenizer m_tok;
  bool m_utf8 = false;
  Adesk::UInt64 m_handseed = 0;
  size_t m_objects = 0, m_skipped = 0;
  std::set<std::string> m_skippedKinds;
  Adesk::UInt64 m_maxHandle = 0;
  std::vector<AcDbStub*> m_deferred;
  static constexpr Adesk::UInt64 kTempHandleBase = Adesk::UInt64(1) << 62;
  std::vector<PendingInsert> m_inserts;
  std::vector<std::pair<AcDbLayerTableRecord*, std::wstring>> m_layerLinetypes;
  std::set<Adesk::UInt64> m_roleHandles;
  std::map<std::string, Adesk::UInt64> m_dictEntries;
};

}  // namespace

namespace cadhost {
// Reads DXF text into a fresh database; eOk or eBadDxfSequence with the reason.
Acad::ErrorStatus dxfInFromText(AcDbDatabase* db, const std::string& data, std::wstring* message) {
  AcDbDatabase scratch(false);
  try {
    Reader r(&scratch, data);
    r.run();
    if (message) *message = fromUtf8(r.skippedText());
  } catch (const DxfError& e) {
    if (message) *message = fromUtf8("line " + std::to_string(e.line) + ": " + e.what);
    return Acad::eBadDxfSequence;
  } catch (const std::bad_alloc&) {
    if (message) *message = L"out of memory";
    return Acad::eOutOfMemory;
  }
  // Take over what was read; the scratch database ends with the old contents.
  std::swap(*db->impl(), *scratch.impl());
  for (AcDbStub& s : db->impl()->stubs) s.db = db;
  for (AcDbStub& s : scratch.impl()->stubs) s.db = &scratch;
  return Acad::eOk;
}
}  // namespace cadhost

Acad::ErrorStatus AcDbDatabase::dxfIn(const ACHAR* fileName, std::wstring* message) {
  if (!fileName || !*fileName) return Acad::eInvalidInput;
  std::string data;
  if (!readFile(cadhost::toUtf8(fileName), data, message)) return Acad::eFileNotFound;
  Acad::ErrorStatus es = cadhost::dxfInFromText(this, data, message);
  if (es == Acad::eOk) m_impl->fileName = fileName;
  return es;
}
