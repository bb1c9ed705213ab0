// Writes a drawing as DXF: R2000 (AC1015) for a new drawing, the version and code page
// it was read in otherwise, with every header variable, section, table, entity and
// object kept from the file. Output goes through a buffer into a temporary file that is
// renamed into place only when everything was written. This file: the header, blocks
// and entities, the sections the host does not know.
#include <unistd.h>
#include <cerrno>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include "customentity.h"
#include "dxf_tokens.h"
#include "dxf_writer.h"
#include "dxflimits.h"
#include "dxfschema.h"
#include "standin.h"

namespace {
using dxf::ObjectOut;
using dxf::WriteContext;
using dxf::Writer;

template <class T>
T* objectOf(AcDbObjectId id) {
  return id.isValid() ? T::cast(id.stub()->object) : nullptr;
}

// --- header ---------------------------------------------------------------------------

// The extents a header variable held in the file (its 10/20/30 groups).
bool headerPoint(const std::vector<DxfGroup>* groups, double out[3]) {
  if (!groups) return false;
  int found = 0;
  for (const DxfGroup& g : *groups) {
    if (g.code != 10 && g.code != 20 && g.code != 30) continue;
    char* end = nullptr;
    double v = std::strtod(g.value.c_str(), &end);
    if (end == g.value.c_str()) return false;
    out[g.code / 10 - 1] = v;
    ++found;
  }
  return found >= 2;
}

bool hasForeignEntities(AcDbDatabase* db) {
  if (auto* ms = objectOf<AcDbBlockTableRecord>(db->modelSpaceId()))
    for (AcDbObjectId id : ms->entities())
      if (!id.isErased() && AcDbForeignEntity::cast(id.stub()->object)) return true;
  return false;
}

// Extents of model space: what the host measures, and for a drawing with entities the
// host does not model, also the extents the file stated (they cover those entities).
void measureExtents(WriteContext& c) {
  AcGePoint3d lo, hi;
  c.hasExtents = cadhost::drawingExtents(c.db, lo, hi);
  if (c.hasExtents) {
    double l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    std::memcpy(c.extMin, l, sizeof l);
    std::memcpy(c.extMax, h, sizeof h);
  }
  double fileMin[3] = {0, 0, 0}, fileMax[3] = {0, 0, 0};
  if (!hasForeignEntities(c.db) || !headerPoint(c.d->file.headerVar("$EXTMIN"), fileMin) ||
      !headerPoint(c.d->file.headerVar("$EXTMAX"), fileMax) || fileMin[0] > fileMax[0])
    return;
  for (int i = 0; i < 3; ++i) {
    c.extMin[i] = c.hasExtents ? std::min(c.extMin[i], fileMin[i]) : fileMin[i];
    c.extMax[i] = c.hasExtents ? std::max(c.extMax[i], fileMax[i]) : fileMax[i];
  }
  c.hasExtents = true;
}

void extentsVar(WriteContext& c, const char* name, bool max) {
  c.w.str(9, name);
  double none[3] = {max ? -1e20 : 1e20, max ? -1e20 : 1e20, max ? -1e20 : 1e20};
  c.w.point(10, c.hasExtents ? (max ? c.extMax : c.extMin) : none);
}

void defaultHeader(WriteContext& c) {
  Writer& w = c.w;
  w.str(9, "$ACADVER");
  w.str(1, "AC1015");
  w.str(9, "$DWGCODEPAGE");
  w.str(3, w.codec().pageName());
  w.str(9, "$INSBASE");
  double zero[3] = {0, 0, 0}, limits[2] = {420, 297};
  w.point(10, zero);
  extentsVar(c, "$EXTMIN", false);
  extentsVar(c, "$EXTMAX", true);
  w.str(9, "$LIMMIN");
  w.point(10, zero, 2);
  w.str(9, "$LIMMAX");
  w.point(10, limits, 2);
  // Millimetres, metric: what the system's drawings are measured in.
  w.str(9, "$INSUNITS");
  w.integer(70, 4);
  w.str(9, "$MEASUREMENT");
  w.integer(70, 1);
  w.str(9, "$HANDSEED");
  w.handle(5, c.d->nextHandle);
}

// The file's header with the values the host keeps up to date: the handle seed, the
// extents, and a code page when the file named none.
void keptHeader(WriteContext& c) {
  Writer& w = c.w;
  const auto& vars = c.d->file.header;
  bool seen[3] = {false, false, false};  // $HANDSEED, $EXTMIN, $EXTMAX
  bool needPage = !c.d->file.headerVar("$DWGCODEPAGE") && !w.codec().utf8();
  if (!c.d->file.headerVar("$ACADVER")) {
    w.str(9, "$ACADVER");
    w.str(1, "AC1015");
    if (needPage) {
      w.str(9, "$DWGCODEPAGE");
      w.str(3, w.codec().pageName());
    }
  }
  for (const auto& v : vars) {
    if (v.first == "$HANDSEED") {
      seen[0] = true;
      w.str(9, v.first);
      w.handle(5, c.d->nextHandle);
      continue;
    }
    if (v.first == "$EXTMIN" || v.first == "$EXTMAX") {
      seen[v.first == "$EXTMIN" ? 1 : 2] = true;
      extentsVar(c, v.first.c_str(), v.first == "$EXTMAX");
      continue;
    }
    w.str(9, v.first);
    if (v.first == "$ACADVER" && !dxf::upgradedFrom(c.d->file).empty() && !v.second.empty()) {
      w.str(1, dxf::kSavedVersion);
      w.groups(std::vector<DxfGroup>(v.second.begin() + 1, v.second.end()));
    } else {
      w.groups(v.second);
    }
    if (v.first == "$ACADVER" && needPage) {
      w.str(9, "$DWGCODEPAGE");
      w.str(3, w.codec().pageName());
    }
  }
  if (!seen[1]) extentsVar(c, "$EXTMIN", false);
  if (!seen[2]) extentsVar(c, "$EXTMAX", true);
  if (!seen[0]) {
    w.str(9, "$HANDSEED");
    w.handle(5, c.d->nextHandle);
  }
}

void writeHeader(WriteContext& c) {
  c.w.str(0, "SECTION");
  c.w.str(2, "HEADER");
  if (c.d->file.read && !c.d->file.header.empty()) keptHeader(c);
  else defaultHeader(c);
  c.w.str(0, "ENDSEC");
}

// --- blocks and entities ----------------------------------------------------------------

bool ownerErased(AcDbDatabase::Impl& d, const DxfKept& kept) {
  Adesk::UInt64 owner = kept.owner;
  AcDbStub* s = owner ? d.find(owner) : nullptr;
  return s && s->erased;
}

// The field values of a new entity of the kind.
const std::vector<DxfValue>& defaultValues(const DxfEntityKind* kind) {
  static std::map<const DxfEntityKind*, std::vector<DxfValue>> cache;
  auto it = cache.find(kind);
  if (it != cache.end()) return it->second;
  std::unique_ptr<AcDbEntity> fresh(kind->create(nullptr));
  std::vector<DxfValue> values(kind->fieldCount);
  for (size_t i = 0; i < kind->fieldCount; ++i)
    if (kind->fields[i].get) kind->fields[i].get(fresh.get(), values[i]);
  return cache[kind] = values;
}

// The parts that follow an entity in the file: its attributes, its vertices and their end.
bool isPart(const std::string& type) { return type == "ATTRIB" || type == "VERTEX" || type == "SEQEND"; }

bool sameValue(const DxfValue& a, const DxfValue& b) {
  return a.v[0] == b.v[0] && a.v[1] == b.v[1] && a.v[2] == b.v[2] && a.i == b.i && a.s == b.s;
}

// owner: the block's record; parent: the entity before the parts of an entity (its
// attributes, its vertices and their end), which own them.
void writeEntity(WriteContext& c, const AcDbEntity* e, Adesk::UInt64 owner, bool paper, Adesk::UInt64 parent) {
  const DxfKept* kept = e->objectId().stub()->dxf.get();
  if (kept && kept->verbatim) {
    if (!ownerErased(*c.d, *kept)) dxf::writeVerbatim(c.w, *kept, e, isPart(kept->type) && parent ? parent : owner);
    return;
  }
  const DxfEntityKind* kind = dxfKindOf(e);
  if (!kind) {
    if (cadhost::isCustomEntity(e)) dxf::writeCustomEntity(c, e, owner, paper);
    return;
  }
  const DxfEntityRead& fromFile = e->objectId().stub()->read;
  Writer& w = c.w;
  ObjectOut o(w, kind->dxfName, e->objectId().handle().value(), owner, kept);
  o.subclass("AcDbEntity");
  if (paper && !(kept && kept->find(67))) w.integer(67, 1);
  w.text(8, e->layerName());
  // Defaults (by layer) are left out, unless the file gave them.
  if (!cadhost::equalsNoCase(e->linetypeName(), L"ByLayer") || fromFile.linetype) w.text(6, e->linetypeName());
  if (e->colorIndex() != 256 || fromFile.color) w.integer(62, e->colorIndex());
  const std::vector<DxfValue>& defaults = defaultValues(kind);
  for (size_t i = 0; i < kind->fieldCount; ++i) {
    const DxfField& f = kind->fields[i];
    if (f.type == DxfType::kMarker) {
      o.subclass(f.label);
      continue;
    }
    DxfValue v;
    f.get(e, v);
    const uint32_t bit = i < 32 ? uint32_t(1) << i : 0;
    const bool read = fromFile.fields & bit;
    if (fromFile.fromFile && !read && sameValue(v, defaults[i])) continue;
    switch (f.type) {
      case DxfType::kNormal:
        if (v.v[0] == 0 && v.v[1] == 0 && v.v[2] == 1 && !read) break;
        // fall through
      case DxfType::kPoint: w.point(f.code, v.v, (fromFile.flat & bit) && v.v[2] == 0 ? 2 : 3); break;
      case DxfType::kReal: w.real(f.code, v.v[0]); break;
      case DxfType::kAngle: w.angle(f.code, v.v[0]); break;
      case DxfType::kInt: w.integer(f.code, v.i); break;
      case DxfType::kName: w.text(f.code, v.s); break;
      default: break;
    }
  }
  o.end();
  dxf::writeXData(w, e);
}

// The entities of a paper space go to the ENTITIES section, marked with group 67; one
// kept as read without that mark stays in its block, so that it stays in paper space.
bool inEntitiesSection(const AcDbEntity* e) {
  const DxfKept* kept = e->objectId().stub()->dxf.get();
  return !kept || !kept->verbatim || kept->find(67);
}

void writeEntities(WriteContext& c, AcDbBlockTableRecord* b, bool paper, bool section) {
  Adesk::UInt64 owner = b->objectId().handle().value(), parent = 0;
  for (AcDbObjectId id : b->entities()) {
    if (id.isErased()) continue;
    auto* e = static_cast<AcDbEntity*>(id.stub()->object);
    if (paper && inEntitiesSection(e) != section) continue;
    writeEntity(c, e, owner, paper, parent);
    const DxfKept* kept = id.stub()->dxf.get();
    if (!kept || !kept->verbatim || !isPart(kept->type)) parent = id.handle().value();
  }
}

DxfBlockEnds& blockEnds(AcDbDatabase::Impl& d, AcDbObjectId btr) {
  DxfBlockEnds& m = d.blockEnds[btr.handle().value()];
  if (m.begin == 0) m.begin = d.allocHandle();
  if (m.end == 0) m.end = d.allocHandle();
  return m;
}

// The entity part of a BLOCK or ENDBLK, then its own subclass.
void blockEntity(ObjectOut& o, Writer& w, bool paper, const char* subclass) {
  o.subclass("AcDbEntity");
  if (!o.kept()) {
    if (paper) w.integer(67, 1);
    w.str(8, "0");
  }
  o.subclass(subclass);
}

void writeBlocks(WriteContext& c) {
  Writer& w = c.w;
  w.str(0, "SECTION");
  w.str(2, "BLOCKS");
  AcDbBlockTable* bt = objectOf<AcDbBlockTable>(c.db->blockTableId());
  for (AcDbObjectId id : bt->records()) {
    if (id.isErased()) continue;
    auto* b = objectOf<AcDbBlockTableRecord>(id);
    DxfBlockEnds& ends = blockEnds(*c.d, id);
    bool model = cadhost::equalsNoCase(b->name(), L"*Model_Space");
    bool paper = cadhost::equalsNoCase(b->name(), L"*Paper_Space");
    Adesk::UInt64 owner = id.handle().value();
    ObjectOut begin(w, "BLOCK", ends.begin, owner, ends.read ? &ends.beginKept : nullptr);
    blockEntity(begin, w, paper, "AcDbBlockBegin");
    w.text(2, b->name());
    AcGePoint3d o = b->origin();
    double p[3] = {o.x, o.y, o.z};
    w.point(10, p);
    w.text(3, b->name());
    if (!begin.kept()) {
      // After the host's own groups, where a file's groups come back too.
      w.integer(70, 0);
      w.str(1, "");
    }
    begin.end();
    if (!model) writeEntities(c, b, paper, false);
    ObjectOut end(w, "ENDBLK", ends.end, owner, ends.read ? &ends.endKept : nullptr);
    blockEntity(end, w, paper, "AcDbBlockEnd");
    end.end();
  }
  w.str(0, "ENDSEC");

  w.str(0, "SECTION");
  w.str(2, "ENTITIES");
  AcDbObjectId ids[2];
  bt->getAt(L"*Model_Space", ids[0]);
  bt->getAt(L"*Paper_Space", ids[1]);
  for (int i = 0; i < 2; ++i)
    if (auto* b = objectOf<AcDbBlockTableRecord>(ids[i])) writeEntities(c, b, i == 1, true);
  w.str(0, "ENDSEC");
}

// --- sections the host does not know ------------------------------------------------------

// The sections the file had right after the section `anchor` (a known one, or "" for the
// start of the file), each followed by those it had right after that one. Names need not
// differ, so a section follows the one before it in the file, and each is written once.
void writeSectionsAfter(WriteContext& c, const std::string& anchor) {
  const auto& all = c.d->file.sections;
  c.sectionsWritten.resize(all.size(), 0);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].after != anchor || c.sectionsWritten[i]) continue;
    for (size_t k = i; k < all.size() && !c.sectionsWritten[k] && (k == i || all[k].after == all[k - 1].name); ++k) {
      c.sectionsWritten[k] = 1;
      c.w.str(0, "SECTION");
      c.w.str(2, all[k].name);
      c.w.groups(all[k].groups);
      c.w.str(0, "ENDSEC");
    }
  }
}

void writeDrawing(WriteContext& c) {
  measureExtents(c);
  dxf::reserveFileHandles(c.db);
  for (const std::string& comment : c.d->file.comments) c.w.str(dxf::kCommentCode, comment);
  writeSectionsAfter(c, "");
  writeHeader(c);
  writeSectionsAfter(c, "HEADER");
  dxf::writeClasses(c);
  writeSectionsAfter(c, "CLASSES");
  dxf::writeTables(c);
  writeSectionsAfter(c, "TABLES");
  writeBlocks(c);
  writeSectionsAfter(c, "BLOCKS");
  writeSectionsAfter(c, "ENTITIES");
  dxf::writeObjects(c);
  writeSectionsAfter(c, "OBJECTS");
  c.w.str(0, "EOF");
}
}  // namespace

namespace dxf {
Codec drawingCodec(const AcDbDatabase::Impl& d) {
  if (!d.file.read) return dxf::Codec();
  const auto* version = d.file.headerVar("$ACADVER");
  const auto* page = d.file.headerVar("$DWGCODEPAGE");
  return dxf::Codec::forDrawing(version && !version->empty() ? version->front().value : "AC1015",
                                page && !page->empty() ? page->front().value : "");
}

bool reserveFileHandles(AcDbDatabase* db) {
  AcDbDatabase::Impl& d = *db->impl();
  reserveTableHandles(d);
  if (auto* bt = objectOf<AcDbBlockTable>(db->blockTableId()))
    for (AcDbObjectId id : bt->records()) blockEnds(d, id);
  return d.nextHandle <= kDxfHandleLimit;
}

const char kSavedVersion[] = "AC1015";

std::string upgradedFrom(const DxfFileKept& file) {
  std::string version = file.headerValue("$ACADVER");
  return !version.empty() && version < kSavedVersion ? version : std::string();
}

std::string releaseName(const std::string& acadver) {
  static const char* const kReleases[][2] = {{"AC1009", "R12"}, {"AC1012", "R13"}, {"AC1014", "R14"}};
  for (auto& r : kReleases)
    if (acadver == r[0]) return std::string(r[1]) + " (" + acadver + ")";
  return acadver;
}
}  // namespace dxf

namespace cadhost {
bool dxfWrite(AcDbDatabase* db, FILE* f) {
  dxf::Codec codec = dxf::drawingCodec(*db->impl());
  dxf::Writer w(f, codec);
  WriteContext c{db, db->impl(), w, false, {}, {}, {}};
  writeDrawing(c);
  w.flush();
  return w.ok() && std::fflush(f) == 0;
}
}  // namespace cadhost

// Saved through a temporary beside the file (standin.h): a crash at any moment leaves the
// old drawing or the new one, and the file keeps its mode.
Acad::ErrorStatus AcDbDatabase::dxfOut(const ACHAR* fileName, std::wstring* message) {
  if (!fileName || !*fileName) return Acad::eInvalidInput;
  if (m_impl->blockTable.isNull() || m_impl->layerTable.isNull()) return Acad::eNoDatabase;
  std::string path = cadhost::toUtf8(fileName);
  if (!dxf::reserveFileHandles(this)) {
    if (message) *message = L"cannot write " + cadhost::fromUtf8(path + ": the drawing has used every handle there is");
    return Acad::eOutOfMemory;
  }
  auto failed = [&](int err) {
    if (message) *message = L"cannot write " + cadhost::fromUtf8(path + ": " + std::strerror(err));
    return Acad::eFileNotFound;
  };
  standin::SafeSave save;
  if (standin::safeSaveBegin(save, path, 0666) != 0) return failed(errno);
  int fd = dup(save.fd);
  FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!f) {
    int err = errno;
    if (fd >= 0) close(fd);
    standin::safeSaveAbort(save);
    return failed(err);
  }
  errno = 0;
  bool ok = cadhost::dxfWrite(this, f);
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    int err = errno ? errno : EIO;
    standin::safeSaveAbort(save);
    return failed(err);
  }
  if (standin::safeSaveCommit(save) != 0) return failed(errno);
  // The file is what was saved now: an older version or a binary file is said once.
  DxfFileKept& file = m_impl->file;
  std::string said;
  if (!dxf::upgradedFrom(file).empty()) {
    said = "Drawing upgraded from " + dxf::releaseName(dxf::upgradedFrom(file)) + " to R2000 (" + dxf::kSavedVersion + ").";
    for (auto& var : file.header)
      if (var.first == "$ACADVER" && !var.second.empty()) var.second.front().value = dxf::kSavedVersion;
  }
  if (file.binary) {
    said += std::string(said.empty() ? "" : "\n") + "Saved as text DXF (the drawing was opened as binary DXF).";
    file.binary = false;
  }
  if (message) *message = cadhost::fromUtf8(said);
  return Acad::eOk;
}
