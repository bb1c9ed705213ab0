// Writes a drawing as DXF R2000 (AC1015): header, tables, blocks, model-space entities,
// the dictionaries and layouts a reader expects. Output goes through a buffer into a
// temporary file that is renamed into place only when everything was written.
//
// Extended-data texts: DXF readers take at most 255 bytes in one 1000 group. A longer
// text is written as the braces 1002 "{" ... "}" around consecutive 1000 groups of at most
// kDxfXDataChunkBytes bytes each; the reader joins a brace group of plain 1000 groups back
// into one text. The host keeps no 1002 groups of its own, so the braces are unambiguous.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include "dxf_text.h"
#include "dxflimits.h"
#include "dxfschema.h"
#include "hostimpl.h"

namespace {
class Writer {
 public:
  explicit Writer(FILE* f) : m_file(f) { m_buf.reserve(1 << 20); }
  ~Writer() { flush(); }

  // Group codes right-aligned in three columns ("  0", " 10", "330", "1000").
  void code(int c) {
    char tmp[8];
    char* end = tmp + sizeof tmp;
    char* p = end;
    *--p = '\n';
    unsigned v = (unsigned)c;
    do {
      *--p = (char)('0' + v % 10);
      v /= 10;
    } while (v);
    while (end - p < 4) *--p = ' ';
    m_buf.append(p, end - p);
  }
  void str(int c, const char* s) { code(c); m_buf += s; m_buf += '\n'; maybeFlush(); }
  void str(int c, const std::string& s) { str(c, s.c_str()); }
  void text(int c, const std::wstring& s) { code(c); dxf::appendEncoded(m_buf, s); m_buf += '\n'; maybeFlush(); }
  void real(int c, double v) {
    code(c);
    char tmp[32];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    m_buf.append(tmp, r.ptr);
    if (std::string_view(tmp, r.ptr - tmp).find_first_of(".en") == std::string_view::npos) m_buf += ".0";
    m_buf += '\n';
  }
  // Degrees from radians: 15 digits, so that 30 degrees comes back as 30.0 after the
  // conversion there and back.
  void angle(int c, double radians) {
    char tmp[40];
    std::snprintf(tmp, sizeof tmp, "%.15g", radians * 180.0 / M_PI);
    code(c);
    m_buf += tmp;
    if (!std::strpbrk(tmp, ".en")) m_buf += ".0";
    m_buf += '\n';
  }
  void integer(int c, long long v) {
    code(c);
    char tmp[24];
    auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
    m_buf.append(tmp, r.ptr);
    m_buf += '\n';
  }
  void handle(int c, Adesk::UInt64 h) {
    char tmp[24];
    char* end = tmp + sizeof tmp;
    char* p = end;
    *--p = 0;
    do {
      *--p = "0123456789ABCDEF"[h & 15];
      h >>= 4;
    } while (h);
    str(c, p);
  }
  void point(int c, const double* v, int dims = 3) {
    for (int i = 0; i < dims; ++i) real(c + 10 * i, v[i]);
  }
  bool ok() const { return m_ok; }
  void flush() {
    if (!m_buf.empty() && std::fwrite(m_buf.data(), 1, m_buf.size(), m_file) != m_buf.size()) m_ok = false;
    m_buf.clear();
  }

 private:
  void maybeFlush() {
    if (m_buf.size() > (1 << 20)) flush();
  }
  FILE* m_file;
  std::string m_buf;
  bool m_ok = true;
};

struct Context {
  AcDbDatabase* db;
  AcDbDatabase::Impl* d;
  Writer& w;
};

template <class T>
T* objectOf(AcDbObjectId id) {
  return id.isValid() ? T::cast(id.stub()->object) : nullptr;
}

std::vector<AcDbObjectId> liveRecords(AcDbObjectId tableId) {
  std::vector<AcDbObjectId> out;
  if (auto* t = objectOf<AcDbSymbolTable>(tableId))
    for (AcDbObjectId r : t->records())
      if (!r.isErased()) out.push_back(r);
  return out;
}

void tableHead(Context& c, const char* name, Adesk::UInt64 handle, size_t count, bool dimstyle = false) {
  c.w.str(0, "TABLE");
  c.w.str(2, name);
  c.w.handle(5, handle);
  c.w.str(330, "0");
  c.w.str(100, "AcDbSymbolTable");
  c.w.integer(70, (long long)count);
  if (dimstyle) c.w.str(100, "AcDbDimStyleTable");
}

void recordHead(Context& c, const char* type, Adesk::UInt64 handle, Adesk::UInt64 owner, const char* subclass,
                int handleCode = 5) {
  c.w.str(0, type);
  c.w.handle(handleCode, handle);
  c.w.handle(330, owner);
  c.w.str(100, "AcDbSymbolTableRecord");
  c.w.str(100, subclass);
}

void writeXData(Context& c, const AcDbObject* o) {
  for (const AcDbXDataApp& app : o->xDataApps()) {
    c.w.text(1001, app.appName);
    for (const AcDbXDataItem& item : app.items) {
      short code = item.code;
      if (code == 1000 || code == 1003 || code == 1005) {
        std::string enc = dxf::encode(item.text);
        if (enc.size() <= 255 || code != 1000) {
          c.w.str(code, enc);
          continue;
        }
        // Split at character boundaries: an escape \U+XXXX is never cut.
        c.w.str(1002, "{");
        std::string chunk;
        for (wchar_t ch : item.text) {
          std::string one = dxf::encode(std::wstring(1, ch));
          if (chunk.size() + one.size() > kDxfXDataChunkBytes) {
            c.w.str(1000, chunk);
            chunk.clear();
          }
          chunk += one;
        }
        if (!chunk.empty()) c.w.str(1000, chunk);
        c.w.str(1002, "}");
      } else if (code >= 1010 && code <= 1013) {
        c.w.point(code, item.real);
      } else if (code >= 1040 && code <= 1042) {
        c.w.real(code, item.real[0]);
      } else {
        c.w.integer(code, item.integer);
      }
    }
  }
}

void writeEntity(Context& c, const AcDbEntity* e, Adesk::UInt64 owner) {
  const DxfEntityKind* kind = dxfKindOf(e);
  if (!kind) return;
  c.w.str(0, kind->dxfName);
  c.w.handle(5, e->objectId().handle().value());
  c.w.handle(330, owner);
  c.w.str(100, "AcDbEntity");
  c.w.text(8, e->layerName());
  if (!cadhost::equalsNoCase(e->linetypeName(), L"ByLayer")) c.w.text(6, e->linetypeName());
  if (e->colorIndex() != 256) c.w.integer(62, e->colorIndex());
  DxfValue v;
  for (size_t i = 0; i < kind->fieldCount; ++i) {
    const DxfField& f = kind->fields[i];
    if (f.type == DxfType::kMarker) {
      c.w.str(100, f.label);
      continue;
    }
    f.get(e, v);
    switch (f.type) {
      case DxfType::kNormal:
        if (v.v[0] == 0 && v.v[1] == 0 && v.v[2] == 1) break;
        // fall through
      case DxfType::kPoint: c.w.point(f.code, v.v); break;
      case DxfType::kReal: c.w.real(f.code, v.v[0]); break;
      case DxfType::kAngle: c.w.angle(f.code, v.v[0]); break;
      case DxfType::kInt: c.w.integer(f.code, v.i); break;
      case DxfType::kName: c.w.text(f.code, v.s); break;
      default: break;
    }
  }
  writeXData(c, e);
}

void writeHeader(Context& c) {
  Writer& w = c.w;
  w.str(0, "SECTION");
  w.str(2, "HEADER");
  w.str(9, "$ACADVER");
  w.str(1, "AC1015");
  w.str(9, "$DWGCODEPAGE");
  w.str(3, "ANSI_1252");
  w.str(9, "$INSBASE");
  double zero[3] = {0, 0, 0};
  w.point(10, zero);
  w.str(9, "$HANDSEED");
  w.handle(5, c.d->nextHandle);
  w.str(0, "ENDSEC");
  w.str(0, "SECTION");
  w.str(2, "CLASSES");
  w.str(0, "ENDSEC");
}

void writeTables(Context& c) {
  Writer& w = c.w;
  AcDbDatabase::Impl& d = *c.d;
  w.str(0, "SECTION");
  w.str(2, "TABLES");

  tableHead(c, "VPORT", d.roleHandle("VPORT"), 1);
  recordHead(c, "VPORT", d.roleHandle("VPORT*ACTIVE"), d.roleHandle("VPORT"), "AcDbViewportTableRecord");
  w.str(2, "*Active");
  w.integer(70, 0);
  double v0[3] = {0, 0, 0}, v1[3] = {1, 1, 0}, vc[3] = {0.5, 0.5, 0}, vz[3] = {0, 0, 1};
  w.point(10, v0, 2);
  w.point(11, v1, 2);
  w.point(12, vc, 2);
  w.point(16, vz);
  w.real(40, 1000);
  w.real(41, 1.34);
  w.str(0, "ENDTAB");

  auto linetypes = liveRecords(c.db->linetypeTableId());
  tableHead(c, "LTYPE", c.db->linetypeTableId().handle().value(), linetypes.size());
  for (AcDbObjectId id : linetypes) {
    recordHead(c, "LTYPE", id.handle().value(), c.db->linetypeTableId().handle().value(), "AcDbLinetypeTableRecord");
    w.text(2, objectOf<AcDbSymbolTableRecord>(id)->name());
    w.integer(70, 0);
    w.str(3, "");
    w.integer(72, 65);
    w.integer(73, 0);
    w.real(40, 0.0);
  }
  w.str(0, "ENDTAB");

  auto layers = liveRecords(c.db->layerTableId());
  tableHead(c, "LAYER", c.db->layerTableId().handle().value(), layers.size());
  for (AcDbObjectId id : layers) {
    auto* l = objectOf<AcDbLayerTableRecord>(id);
    recordHead(c, "LAYER", id.handle().value(), c.db->layerTableId().handle().value(), "AcDbLayerTableRecord");
    w.text(2, l->name());
    w.integer(70, (l->isFrozen() ? 1 : 0) | (l->VPDFLT() ? 2 : 0) | (l->isLocked() ? 4 : 0));
    int color = l->color().colorIndex();
    if (color < 1 || color > 255) color = 7;
    w.integer(62, l->isOff() ? -color : color);
    auto* lt = objectOf<AcDbSymbolTableRecord>(l->linetypeObjectId());
    w.text(6, lt ? lt->name() : L"CONTINUOUS");
  }
  w.str(0, "ENDTAB");

  tableHead(c, "STYLE", d.roleHandle("STYLE"), 1);
  recordHead(c, "STYLE", d.roleHandle("STYLE:Standard"), d.roleHandle("STYLE"), "AcDbTextStyleTableRecord");
  w.str(2, "Standard");
  w.integer(70, 0);
  w.real(40, 0);
  w.real(41, 1);
  w.real(50, 0);
  w.integer(71, 0);
  w.real(42, 2.5);
  w.str(3, "txt");
  w.str(4, "");
  w.str(0, "ENDTAB");

  tableHead(c, "VIEW", d.roleHandle("VIEW"), 0);
  w.str(0, "ENDTAB");
  tableHead(c, "UCS", d.roleHandle("UCS"), 0);
  w.str(0, "ENDTAB");

  auto apps = liveRecords(c.db->regAppTableId());
  tableHead(c, "APPID", c.db->regAppTableId().handle().value(), apps.size());
  for (AcDbObjectId id : apps) {
    recordHead(c, "APPID", id.handle().value(), c.db->regAppTableId().handle().value(), "AcDbRegAppTableRecord");
    w.text(2, objectOf<AcDbSymbolTableRecord>(id)->name());
    w.integer(70, 0);
  }
  w.str(0, "ENDTAB");

  tableHead(c, "DIMSTYLE", d.roleHandle("DIMSTYLE"), 1, true);
  recordHead(c, "DIMSTYLE", d.roleHandle("DIMSTYLE:Standard"), d.roleHandle("DIMSTYLE"), "AcDbDimStyleTableRecord", 105);
  w.str(2, "Standard");
  w.integer(70, 0);
  w.str(0, "ENDTAB");

  auto blocks = liveRecords(c.db->blockTableId());
  tableHead(c, "BLOCK_RECORD", c.db->blockTableId().handle().value(), blocks.size());
  for (AcDbObjectId id : blocks) {
    auto* b = objectOf<AcDbBlockTableRecord>(id);
    recordHead(c, "BLOCK_RECORD", id.handle().value(), c.db->blockTableId().handle().value(), "AcDbBlockTableRecord");
    w.text(2, b->name());
    if (cadhost::equalsNoCase(b->name(), L"*Model_Space")) w.handle(340, d.roleHandle("LAYOUT:Model"));
    else if (cadhost::equalsNoCase(b->name(), L"*Paper_Space")) w.handle(340, d.roleHandle("LAYOUT:Layout1"));
    else w.str(340, "0");
  }
  w.str(0, "ENDTAB");
  w.str(0, "ENDSEC");
}

std::pair<Adesk::UInt64, Adesk::UInt64> blockMarkers(Context& c, AcDbObjectId btr) {
  auto& m = c.d->blockMarkers[btr.handle().value()];
  if (m.first == 0) m.first = c.d->allocHandle();
  if (m.second == 0) m.second = c.d->allocHandle();
  return m;
}

void writeBlocks(Context& c) {
  Writer& w = c.w;
  w.str(0, "SECTION");
  w.str(2, "BLOCKS");
  for (AcDbObjectId id : liveRecords(c.db->blockTableId())) {
    auto* b = objectOf<AcDbBlockTableRecord>(id);
    auto markers = blockMarkers(c, id);
    bool model = cadhost::equalsNoCase(b->name(), L"*Model_Space");
    bool paper = cadhost::equalsNoCase(b->name(), L"*Paper_Space");
    w.str(0, "BLOCK");
    w.handle(5, markers.first);
    w.handle(330, id.handle().value());
    w.str(100, "AcDbEntity");
    if (paper) w.integer(67, 1);
    w.str(8, "0");
    w.str(100, "AcDbBlockBegin");
    w.text(2, b->name());
    w.integer(70, 0);
    AcGePoint3d o = b->origin();
    double p[3] = {o.x, o.y, o.z};
    w.point(10, p);
    w.text(3, b->name());
    w.str(1, "");
    if (!model)
      for (AcDbObjectId e : b->entities())
        if (!e.isErased()) writeEntity(c, static_cast<AcDbEntity*>(e.stub()->object), id.handle().value());
    w.str(0, "ENDBLK");
    w.handle(5, markers.second);
    w.handle(330, id.handle().value());
    w.str(100, "AcDbEntity");
    if (paper) w.integer(67, 1);
    w.str(8, "0");
    w.str(100, "AcDbBlockEnd");
  }
  w.str(0, "ENDSEC");

  w.str(0, "SECTION");
  w.str(2, "ENTITIES");
  AcDbObjectId ms = c.db->modelSpaceId();
  if (auto* b = objectOf<AcDbBlockTableRecord>(ms))
    for (AcDbObjectId e : b->entities())
      if (!e.isErased()) writeEntity(c, static_cast<AcDbEntity*>(e.stub()->object), ms.handle().value());
  w.str(0, "ENDSEC");
}

void dictionary(Context& c, Adesk::UInt64 handle, Adesk::UInt64 owner,
                const std::vector<std::pair<const char*, Adesk::UInt64>>& entries) {
  c.w.str(0, "DICTIONARY");
  c.w.handle(5, handle);
  c.w.handle(330, owner);
  c.w.str(100, "AcDbDictionary");
  c.w.integer(281, 1);
  for (auto& e : entries) {
    c.w.str(3, e.first);
    c.w.handle(350, e.second);
  }
}

void layout(Context& c, const char* name, Adesk::UInt64 handle, Adesk::UInt64 owner, Adesk::UInt64 block, int order) {
  Writer& w = c.w;
  w.str(0, "LAYOUT");
  w.handle(5, handle);
  w.handle(330, owner);
  w.str(100, "AcDbPlotSettings");
  w.str(1, "");
  w.str(2, "none_device");
  w.str(4, "");
  w.str(6, "");
  for (int code = 40; code <= 49; ++code) w.real(code, 0);
  w.real(140, 0);
  w.real(141, 0);
  w.real(142, 1);
  w.real(143, 1);
  w.integer(70, order == 0 ? 1024 : 0);
  w.integer(72, 1);
  w.integer(73, 0);
  w.integer(74, 5);
  w.str(7, "");
  w.integer(75, 16);
  w.real(147, 1);
  w.real(148, 0);
  w.real(149, 0);
  w.str(100, "AcDbLayout");
  w.str(1, name);
  w.integer(70, 1);
  w.integer(71, order);
  double z[3] = {0, 0, 0}, lim[3] = {420, 297, 0}, emin[3] = {1e20, 1e20, 1e20}, emax[3] = {-1e20, -1e20, -1e20};
  double xa[3] = {1, 0, 0}, ya[3] = {0, 1, 0};
  w.point(10, z, 2);
  w.point(11, lim, 2);
  w.point(12, z);
  w.point(14, emin);
  w.point(15, emax);
  w.real(146, 0);
  w.point(13, z);
  w.point(16, xa);
  w.point(17, ya);
  w.integer(76, 0);
  w.handle(330, block);
}

void writeObjects(Context& c) {
  AcDbDatabase::Impl& d = *c.d;
  c.w.str(0, "SECTION");
  c.w.str(2, "OBJECTS");
  Adesk::UInt64 root = d.roleHandle("DICT:root"), group = d.roleHandle("DICT:ACAD_GROUP"),
                layouts = d.roleHandle("DICT:ACAD_LAYOUT"), model = d.roleHandle("LAYOUT:Model"),
                paper = d.roleHandle("LAYOUT:Layout1");
  dictionary(c, root, 0, {{"ACAD_GROUP", group}, {"ACAD_LAYOUT", layouts}});
  dictionary(c, group, root, {});
  dictionary(c, layouts, root, {{"Layout1", paper}, {"Model", model}});
  AcDbBlockTable* bt = objectOf<AcDbBlockTable>(c.db->blockTableId());
  AcDbObjectId ms, ps;
  if (bt) {
    bt->getAt(L"*Model_Space", ms);
    bt->getAt(L"*Paper_Space", ps);
  }
  layout(c, "Model", model, layouts, ms.handle().value(), 0);
  layout(c, "Layout1", paper, layouts, ps.handle().value(), 1);
  c.w.str(0, "ENDSEC");
  c.w.str(0, "EOF");
}

// Every handle the file will carry must exist before the header states the seed.
void reserveHandles(Context& c) {
  for (const char* role : {"VPORT", "VPORT*ACTIVE", "STYLE", "STYLE:Standard", "VIEW", "UCS", "DIMSTYLE",
                           "DIMSTYLE:Standard", "DICT:root", "DICT:ACAD_GROUP", "DICT:ACAD_LAYOUT",
                           "LAYOUT:Model", "LAYOUT:Layout1"})
    c.d->roleHandle(role);
  for (AcDbObjectId id : liveRecords(c.db->blockTableId())) blockMarkers(c, id);
}
}  // namespace

Acad::ErrorStatus AcDbDatabase::dxfOut(const ACHAR* fileName, std::wstring* message) {
  if (!fileName || !*fileName) return Acad::eInvalidInput;
  if (m_impl->blockTable.isNull() || m_impl->layerTable.isNull()) return Acad::eNoDatabase;
  std::string path = cadhost::toUtf8(fileName);
  std::string tmp = path + ".tmp" + std::to_string(getpid());
  std::remove(tmp.c_str());  // a leftover of an earlier crash (unlinks a link, never its target)
  FILE* f = std::fopen(tmp.c_str(), "wbx");
  if (!f) {
    if (message) *message = L"cannot create " + cadhost::fromUtf8(tmp);
    return Acad::eFileNotFound;
  }
  bool ok;
  {
    Writer w(f);
    Context c{this, m_impl, w};
    reserveHandles(c);
    writeHeader(c);
    writeTables(c);
    writeBlocks(c);
    writeObjects(c);
    w.flush();
    ok = w.ok();
  }
  ok = (std::fflush(f) == 0) && ok;
  ok = (fsync(fileno(f)) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    if (message) *message = L"cannot write " + cadhost::fromUtf8(path);
    return Acad::eFileNotFound;
  }
  return Acad::eOk;
}
