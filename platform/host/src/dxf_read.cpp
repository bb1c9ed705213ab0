// Reads a DXF drawing (R12 and later, text or binary) into a database. A malformed,
// truncated or oversized file is refused with the reason and its line, and the database
// is left as it was. This file: the sections, the header and the tables.
#include <cctype>
#include <cstring>
#include <memory>
#include "dxf_reader.h"
#include "dxflimits.h"

namespace {
using dxf::DxfError;
using dxf::Group;

// The fewest bytes of an object with a handle: "0\nX\n5\n1\n" in a text file, as many in a
// binary one. A file holds no more objects than its size over this.
const size_t kSmallestObjectBytes = 8;

const char* const kModelledTables[] = {"BLOCK_RECORD", "LAYER", "LTYPE", "APPID"};

bool modelledTable(const std::string& name) {
  for (const char* t : kModelledTables)
    if (name == t) return true;
  return false;
}

// Groups whose values are handles: the object's own and its references to others.
bool isHandleCode(int code) {
  return code == 5 || code == 105 || (code >= 320 && code <= 369) || (code >= 390 && code <= 399) ||
         code == 480 || code == 481 || code == 1005;
}

bool knownVersion(const std::string& v) {
  return v.size() == 6 && v.compare(0, 4, "AC10") == 0 && std::isdigit((unsigned char)v[4]) &&
         std::isdigit((unsigned char)v[5]);
}

// The oldest version the host reads (R12), and the first with subclass markers (R13).
const char kOldestVersion[] = "AC1009";
const char kR13[] = "AC1012";
}  // namespace

namespace dxf {
bool isPaperMark(const Group& g) {
  if (g.code != 67) return false;
  size_t b = g.value.find_first_not_of(' '), e = g.value.find_last_not_of(' ');
  return b != std::string::npos && e == b && g.value[b] == '1';
}

bool plainText(std::string_view bytes, const std::wstring& text) {
  if (bytes.size() != text.size()) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char b = (unsigned char)bytes[i];
    if (b < 0x20 || b >= 0x7F || b == '\\' || (wchar_t)b != text[i]) return false;
  }
  return true;
}

size_t xdataStart(const std::vector<Group>& gs) {
  for (size_t i = 0; i < gs.size(); ++i)
    if (gs[i].code == 1001) return i;
  return gs.size();
}

void Reader::run() {
  Group g;
  bool anySection = false;
  for (;;) {
    if (!m_tok.next(g)) {
      // A file may end after its last section without EOF; one that ends at once is no drawing.
      if (!anySection) throw DxfError{"no sections (not a DXF drawing)", m_tok.lineNo()};
      break;
    }
    if (g.code == 9 && m_lastSection == "HEADER") {
      lateHeader(g);
      continue;
    }
    if (g.code != 0) throw DxfError{"group " + std::to_string(g.code) + " outside a section", g.line};
    if (g.value == "EOF") break;
    if (g.value != "SECTION") throw DxfError{"\"" + shownValue(g) + "\" where SECTION was expected", g.line};
    Group name;
    if (!m_tok.next(name) || name.code != 2) throw DxfError{"section without a name", g.line};
    if (name.value == "HEADER") {
      header();
      // The handles run up to the seed: room for them at once, as many as the file can hold.
      m_d.dense.reserve(std::min<size_t>(m_handseed, m_tok.bytes() / kSmallestObjectBytes));
    } else if (name.value == "CLASSES") {
      m_d.file.hasClasses = true;
      keepSection(m_d.file.classes);
    } else if (name.value == "TABLES") {
      tables();
    } else if (name.value == "BLOCKS") {
      blocks();
    } else if (name.value == "ENTITIES") {
      entities(blockNamed(L"*Model_Space", g.line), true);
    } else if (name.value == "OBJECTS") {
      objects();
    } else {
      m_d.file.sections.push_back({std::string(name.value), m_lastSection, {}});
      keepSection(m_d.file.sections.back().groups);
    }
    m_lastSection = name.value;
    anySection = true;
  }
  finish();
  m_d.file.comments = std::move(m_tok.comments());
  m_d.file.binary = m_tok.binary();
}

void Reader::keepSection(std::vector<DxfGroup>& out) {
  Group g;
  while (m_tok.next(g)) {
    if (g.code == 0 && g.value == "ENDSEC") return;
    out.push_back({g.code, std::string(g.value)});
  }
  throw DxfError{"file ends inside a section (truncated)", m_tok.lineNo()};
}

void Reader::header() {
  Group g;
  while (m_tok.next(g)) {
    if (g.code == 0) {
      if (g.value != "ENDSEC") throw DxfError{"ENDSEC expected in HEADER", g.line};
      version(g.line);
      return;
    }
    headerGroup(g);
  }
  throw DxfError{"file ends inside HEADER (truncated)", m_tok.lineNo()};
}

void Reader::headerGroup(const Group& g) {
  auto& vars = m_d.file.header;
  if (g.code == 9) {
    vars.push_back({std::string(g.value), {}});
    return;
  }
  if (vars.empty()) throw DxfError{"group " + std::to_string(g.code) + " before the first header variable", g.line};
  vars.back().second.push_back({g.code, std::string(g.value)});
  if (vars.back().first == "$HANDSEED" && g.code == 5) m_handseed = toHandle(g, true);
}

// Header variables after the end of the HEADER section, as some writers leave them: read
// as part of the header, as tolerant readers do, and said.
void Reader::lateHeader(const Group& first) {
  if (m_warning.empty())
    m_warning = "line " + std::to_string(first.line) + ": header variables after the end of the HEADER section, " +
                "read as part of it";
  Group g = first;
  do {
    if (g.code == 0) {
      m_tok.pushBack(g);
      break;
    }
    headerGroup(g);
  } while (m_tok.next(g));
  version(first.line);
}

// The drawing's version and code page from its header.
void Reader::version(size_t line) {
  std::string acadver = m_d.file.headerValue("$ACADVER");
  if (!acadver.empty() && !knownVersion(acadver))
    throw DxfError{"\"" + acadver.substr(0, 40) + "\" is not a drawing version this host knows", line};
  if (!acadver.empty() && acadver < kOldestVersion)
    throw DxfError{"drawing version " + acadver + " is older than R12 (AC1009); save it as R12 or later", line};
  m_r12 = !acadver.empty() && acadver < kR13;
  m_codec = Codec::forDrawing(acadver, m_d.file.headerValue("$DWGCODEPAGE"));
}

// --- texts, objects and handles ------------------------------------------------------

std::wstring Reader::text(const Group& g) const {
  std::wstring t = m_codec.decode(g.value);
  if (t.size() > kDxfMaxTextChars)
    throw DxfError{"group " + std::to_string(g.code) + ": a text longer than " + std::to_string(kDxfMaxTextChars) +
                       " characters",
                   g.line};
  return t;
}

std::wstring Reader::name(const Group& g) const {
  std::wstring t = text(g);
  if (t.find(L'\0') != std::wstring::npos)
    throw DxfError{"group " + std::to_string(g.code) + ": a name with a NUL character", g.line};
  return t;
}

void Reader::checkHandle(Adesk::UInt64 h, size_t line) const {
  if (h >= kDxfHandleLimit)
    throw DxfError{"handle " + cadhost::toUtf8(cadhost::handleText(AcDbHandle(h))) +
                       " is beyond the host's range (it leaves no handles for new objects)",
                   line};
}

AcDbObjectId Reader::addObject(AcDbObject* o, AcDbObjectId owner, Adesk::UInt64 handle, size_t line,
                               bool pooled) {
  PooledPtr<AcDbObject> owned(o, {pooled});
  if (++m_objects > kDxfMaxObjects) throw DxfError{"more objects than the reader's limit", line};
  checkHandle(handle, line);
  if (handle && (m_d.find(handle) || m_reserved.count(handle)))
    throw DxfError{"handle " + cadhost::toUtf8(cadhost::handleText(AcDbHandle(handle))) + " used twice", line};
  if (handle) {
    m_maxHandle = std::max(m_maxHandle, handle);
    AcDbObjectId id = m_db->addObject(owned.release(), owner, AcDbHandle(handle));
    id.stub()->pooled = pooled;
    return id;
  }
  // Made by the reader itself (a missing layer, an object without a handle): a handle of
  // its own once the file's handles are all known, so none of them is taken before it appears.
  AcDbObjectId id = m_db->addObject(owned.release(), owner, AcDbHandle(kDxfTempHandleBase + m_deferred.size()));
  id.stub()->pooled = pooled;
  m_deferred.push_back(id.stub());
  return id;
}

void Reader::reserveHandle(Adesk::UInt64 h, size_t line) {
  if (!h) return;
  checkHandle(h, line);
  m_maxHandle = std::max(m_maxHandle, h);
  if (m_d.find(h) || !m_reserved.insert(h).second) throw DxfError{"handle used twice", line};
}

// The handle seed stays above every handle the file names, its references included, so
// that no new object takes a handle that a kept reference points to.
void Reader::noteHandles(const std::vector<Group>& gs) {
  Adesk::UInt64 h;
  for (const Group& g : gs)
    if (isHandleCode(g.code) && parseHex(g.value, h) && h < kDxfHandleLimit) m_maxHandle = std::max(m_maxHandle, h);
}

// --- tables ---------------------------------------------------------------------------

AcDbSymbolTable* Reader::makeTable(const std::string& name, Adesk::UInt64 handle, size_t line) {
  AcDbObjectId* slot = name == "BLOCK_RECORD" ? &m_d.blockTable
                       : name == "LAYER"      ? &m_d.layerTable
                       : name == "LTYPE"      ? &m_d.linetypeTable
                                              : &m_d.regAppTable;
  if (!slot->isNull()) throw DxfError{"table " + name + " appears twice", line};
  AcDbSymbolTable* t;
  if (name == "BLOCK_RECORD") t = new AcDbBlockTable;
  else if (name == "LAYER") t = new AcDbLayerTable;
  else if (name == "LTYPE") t = new AcDbLinetypeTable;
  else t = new AcDbRegAppTable;
  *slot = addObject(t, AcDbObjectId::kNull, handle, line);
  return t;
}

void Reader::tables() {
  Group g;
  while (m_tok.next(g)) {
    if (g.code != 0) throw DxfError{"TABLE expected", g.line};
    if (g.value == "ENDSEC") return;
    if (g.value != "TABLE") throw DxfError{"TABLE expected, found \"" + shownValue(g) + "\"", g.line};
    std::vector<Group> head = readObject(m_tok);
    noteHandles(head);
    std::string name;
    Adesk::UInt64 handle = 0;
    for (const Group& h : head) {
      if (h.code == 2 && name.empty()) name = h.value;
      if ((h.code == 5 || h.code == 105) && !handle) handle = toHandle(h);
    }
    if (name.empty()) throw DxfError{"TABLE without a name", g.line};
    if (!m_tablesSeen.insert(name).second) throw DxfError{"table " + name.substr(0, 40) + " appears twice", g.line};
    AcDbSymbolTable* table = nullptr;
    if (modelledTable(name)) {
      table = makeTable(name, handle, g.line);
      auto kept = std::make_shared<DxfKept>();
      bool named = false, owned = false, handled = false;
      keepGroups(head, xdataStart(head), {"AcDbSymbolTable"}, [&](const Group& h) {
        if (h.code == 2 && !named) return named = true;
        if (h.code == 330 && !owned) return owned = true;
        if (h.code == 5 || h.code == 105) {
          // The first is the table's handle; another is kept after it, not taken for it.
          if (handled) kept->shadowed.push_back({h.code, std::string(h.value)});
          else if (h.code == 5 && handle) asRead(*kept, 5, handleText(handle), h.value);
          handled = handled || toHandle(h) != 0;
          return true;
        }
        return h.code == 70;
      }, *kept);
      table->objectId().stub()->dxf = kept;
      xdata(table, head, xdataStart(head));
      m_d.file.tables.push_back({name, table->objectId(), {}});
    } else {
      m_d.file.tables.push_back({name, foreignObject("TABLE", head, false, g.line), {}});
    }
    for (;;) {
      Group r;
      if (!m_tok.next(r)) throw DxfError{"file ends inside table " + name + " (truncated)", m_tok.lineNo()};
      if (r.code != 0) throw DxfError{"record expected", r.line};
      if (r.value == "ENDTAB") break;
      readObject(m_tok, m_groups);
      const std::vector<Group>& gs = m_groups;
      noteHandles(gs);
      if (table) record(name, table, r, gs);
      else m_d.file.tables.back().records.push_back(foreignObject(r.value, gs, false, r.line, m_d.file.tables.back().head));
    }
  }
  throw DxfError{"file ends inside TABLES (truncated)", m_tok.lineNo()};
}

void Reader::record(const std::string& table, AcDbSymbolTable* t, const Group& type, const std::vector<Group>& gs) {
  std::wstring name, linetype;
  Adesk::UInt64 handle = 0;
  long long flags = 0, color = 7;
  bool named = false, owned = false, isLayer = table == "LAYER";
  const Group *nameAsRead = nullptr, *handleAsRead = nullptr, *flagsAsRead = nullptr, *colorAsRead = nullptr,
              *linetypeAsRead = nullptr;
  DxfKept keptGroups;  // kept with the record only when it holds something
  DxfKept* kept = &keptGroups;
  const char* subclass = table == "BLOCK_RECORD" ? "AcDbBlockTableRecord"
                         : isLayer               ? "AcDbLayerTableRecord"
                         : table == "LTYPE"      ? "AcDbLinetypeTableRecord"
                                                 : "AcDbRegAppTableRecord";
  size_t end = xdataStart(gs);
  // The name is the first group 2 of the record's own subclass; a group 2 before it (in a
  // section the host does not know) is kept, as the host writes it back there.
  size_t own = 0;
  while (own < end && !(gs[own].code == 100 && gs[own].value == subclass)) ++own;
  if (own == end) own = 0;
  static const std::vector<const char*> kMarkers[] = {
      {"AcDbSymbolTableRecord", "AcDbBlockTableRecord"}, {"AcDbSymbolTableRecord", "AcDbLayerTableRecord"},
      {"AcDbSymbolTableRecord", "AcDbLinetypeTableRecord"}, {"AcDbSymbolTableRecord", "AcDbRegAppTableRecord"}};
  const std::vector<const char*>& markers =
      kMarkers[table == "BLOCK_RECORD" ? 0 : isLayer ? 1 : table == "LTYPE" ? 2 : 3];
  keepGroups(gs, end, markers, [&](const Group& g) {
    if (g.code == 2 && !named && size_t(&g - gs.data()) >= own) {
      name = this->name(g);
      nameAsRead = &g;
      return named = true;
    }
    if ((g.code == 5 || g.code == 105) && !handle) {
      handle = toHandle(g);
      if (g.code == 5) handleAsRead = &g;
      return true;
    }
    if (g.code == 330 && !owned) return owned = true;
    if (!isLayer) return false;
    // The first of each; a second one is shadowed.
    if ((g.code == 70 && flagsAsRead) || (g.code == 62 && colorAsRead) || (g.code == 6 && linetypeAsRead)) {
      kept->shadowed.push_back({g.code, std::string(g.value)});
      return true;
    }
    if (g.code == 70) {
      flags = toInt(g);
      flagsAsRead = &g;
    } else if (g.code == 62) {
      color = toInt(g);
      colorAsRead = &g;
    } else if (g.code == 6) {
      linetype = this->name(g);
      linetypeAsRead = &g;
    } else {
      return false;
    }
    return true;
  }, keptGroups);
  if (name.empty()) throw DxfError{table + " record without a name", type.line};
  if (t->has(name.c_str())) throw DxfError{table + " \"" + cadhost::toUtf8(name) + "\" appears twice", type.line};
  AcDbSymbolTableRecord* rec;
  if (table == "BLOCK_RECORD") {
    rec = m_d.pool.make<AcDbBlockTableRecord>();
  } else if (isLayer) {
    auto* l = m_d.pool.make<AcDbLayerTableRecord>();
    l->setIsFrozen(flags & 1);
    l->setVPDFLT(flags & 2);
    l->setIsLocked(flags & 4);
    l->setIsOff(color < 0);
    kept->extraFlags = (int)(flags & ~7);
    // The colour as the file has it (0, by block, included); one out of range is white.
    AcCmColor c;
    c.setColorIndex((Adesk::UInt16)(color >= -257 && color <= 257 ? std::llabs(color) : 7));
    l->setColor(c);
    if (flagsAsRead) asRead(*kept, 70, std::to_string((int)flags), flagsAsRead->value);
    if (colorAsRead) asRead(*kept, 62, std::to_string(layerColor(l)), colorAsRead->value, [&] { return color == layerColor(l); });
    // Its linetype now when the table has it (files give linetypes first), else at the end.
    AcDbObjectId lt;
    auto* lts = m_d.linetypeTable.isNull() ? nullptr : static_cast<AcDbSymbolTable*>(m_d.linetypeTable.stub()->object);
    if (linetype.empty() || !lts || lts->getAt(linetype.c_str(), lt) != Acad::eOk) {
      const std::string spelled = linetypeAsRead ? std::string(linetypeAsRead->value) : "";
      m_layerLinetypes.push_back({l, linetype, linetypeAsRead != nullptr, spelled});
    } else {
      l->setLinetypeObjectId(lt);
      const std::wstring& ltName = static_cast<AcDbSymbolTableRecord*>(lt.stub()->object)->name();
      if (!plainText(linetypeAsRead->value, ltName))
        asRead(*kept, 6, m_codec.encode(ltName), linetypeAsRead->value, [&] { return sameName(linetypeAsRead->value, ltName); });
    }
    rec = l;
  } else if (table == "LTYPE") {
    rec = m_d.pool.make<AcDbLinetypeTableRecord>();
  } else {
    rec = m_d.pool.make<AcDbRegAppTableRecord>();
  }
  rec->setName(name.c_str());
  AcDbObjectId id = addObject(rec, t->objectId(), handle, type.line, true);
  if (!plainText(nameAsRead->value, name)) asRead(*kept, 2, m_codec.encode(name), nameAsRead->value);
  if (handleAsRead) asRead(*kept, 5, handleText(handle), handleAsRead->value);
  id.stub()->read.fromFile = true;
  if (!kept->empty()) id.stub()->dxf = std::allocate_shared<DxfKept>(PoolAllocator<DxfKept>(&m_d.pool), std::move(keptGroups));
  t->appendRecord(id);
  xdata(rec, gs, end);
}

bool Reader::sameName(std::string_view read, const std::wstring& name) const {
  return !name.empty() && cadhost::equalsNoCase(m_codec.decode(read), name);
}

std::string Reader::handleText(Adesk::UInt64 h) const {
  char tmp[kHandleChars];
  return std::string(handleChars(h, tmp));
}

// An object the host does not model: every group kept as read, its handle (5, or 105 in
// a dimension style) registered, its layer made when it is an entity.
AcDbObjectId Reader::foreignObject(std::string_view type, const std::vector<Group>& gs, bool entity, size_t line,
                                   AcDbObjectId owner, bool dropPaperMark) {
  auto kept = std::allocate_shared<DxfKept>(PoolAllocator<DxfKept>(&m_d.pool));
  kept->type.assign(type);
  kept->verbatim = true;
  size_t end = xdataStart(gs);
  size_t bytes = 0;
  for (size_t i = 0; i < end; ++i) bytes += gs[i].value.size() + 6;
  kept->text.reserve(bytes);
  Adesk::UInt64 handle = 0;
  std::wstring layer;
  // A dimension style's handle is group 105: its group 5 (R12's arrow block) is no handle.
  const bool dimstyle = type == "DIMSTYLE";
  int braces = 0;
  bool ownerSought = true;  // the owner is the first 330 outside application data, before any 100
  for (size_t i = 0; i < end; ++i) {
    const Group& g = gs[i];
    if (dropPaperMark && isPaperMark(g)) continue;
    bool isHandle = false;
    if ((g.code == 105 || (g.code == 5 && !dimstyle)) && !kept->hasHandle) {
      handle = toHandle(g);
      // Zero is no handle: the object gets one of its own, written in its place.
      if (handle == 0) continue;
      kept->hasHandle = isHandle = true;
    } else if (entity && g.code == 8 && layer.empty()) {
      layer = name(g);
    } else if (g.code == 102) {
      braces += g.value == "}" ? -1 : 1;
    } else if (g.code == 100) {
      ownerSought = false;
    } else if (g.code == 330) {
      kept->namesOwner = true;
      Adesk::UInt64 h;
      if (ownerSought && braces <= 0 && parseHex(g.value, h)) kept->owner = h;
      if (braces <= 0) ownerSought = false;
    }
    appendGroup(kept->text, g.code, g.value);
    if (isHandle) kept->afterHandle = kept->text.size();
  }
  AcDbObject* o = entity ? static_cast<AcDbObject*>(m_d.pool.make<AcDbForeignEntity>())
                         : m_d.pool.make<AcDbForeignObject>();
  AcDbObjectId id = addObject(o, owner, handle, line, true);
  id.stub()->dxf = kept;
  xdata(o, gs, end);
  if (entity && !layer.empty()) {
    ensureRecord(m_d.layerTable, layer, line);
    id.stub()->writer = true;
    static_cast<AcDbEntity*>(o)->setLayer(layer.c_str());
    id.stub()->writer = false;
  }
  return id;
}

void Reader::ensureRecord(AcDbObjectId& tableId, const std::wstring& name, size_t line) {
  if (tableId.isNull())
    makeTable(&tableId == &m_d.layerTable ? "LAYER" : &tableId == &m_d.linetypeTable ? "LTYPE" : "APPID", 0, line);
  auto* t = static_cast<AcDbSymbolTable*>(tableId.stub()->object);
  if (t->has(name.c_str())) return;
  AcDbSymbolTableRecord* rec;
  if (&tableId == &m_d.layerTable) {
    auto* l = new AcDbLayerTableRecord;
    AcCmColor c;
    c.setColorIndex(7);
    l->setColor(c);
    m_layerLinetypes.push_back({l, L"CONTINUOUS", false, ""});
    rec = l;
  } else if (&tableId == &m_d.linetypeTable) {
    rec = new AcDbLinetypeTableRecord;
  } else {
    rec = new AcDbRegAppTableRecord;
  }
  rec->setName(name.c_str());
  t->appendRecord(addObject(rec, tableId, 0, line));
}
}  // namespace dxf

namespace cadhost {
// Reads DXF text into a fresh database; eOk or eBadDxfSequence with the reason.
Acad::ErrorStatus dxfInFromText(AcDbDatabase* db, std::string_view data, std::wstring* message) {
  AcDbDatabase scratch(false);
  const bool binary = dxf::isBinaryDxf(data);
  try {
    // A byte order mark some writers put before UTF-8 text.
    bool bom = data.compare(0, 3, "\xEF\xBB\xBF") == 0;
    dxf::Reader r(&scratch, data, bom ? 3 : 0);
    r.run();
    if (message) *message = fromUtf8(r.warning());
  } catch (const dxf::DxfError& e) {
    if (message) *message = fromUtf8((binary ? "byte " : "line ") + std::to_string(e.line) + ": " + e.what);
    return Acad::eBadDxfSequence;
  } catch (const std::bad_alloc&) {
    if (message) *message = L"out of memory";
    return Acad::eOutOfMemory;
  }
  // Take over what was read; the scratch database ends with the old contents.
  std::swap(*db->impl(), *scratch.impl());
  db->impl()->stubs.each([&](AcDbStub& s) { s.db = db; });
  scratch.impl()->stubs.each([&](AcDbStub& s) { s.db = &scratch; });
  return Acad::eOk;
}
}  // namespace cadhost

Acad::ErrorStatus AcDbDatabase::dxfIn(const ACHAR* fileName, std::wstring* message) {
  if (!fileName || !*fileName) return Acad::eInvalidInput;
  dxf::FileData data;
  if (!data.read(cadhost::toUtf8(fileName), message)) return Acad::eFileNotFound;
  Acad::ErrorStatus es = cadhost::dxfInFromText(this, data.view(), message);
  if (es == Acad::eOk) m_impl->fileName = fileName;
  return es;
}
