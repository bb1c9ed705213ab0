// The DXF writer, continued: classes, tables and objects. Tables and objects read from
// a file are written back as read; those a new drawing lacks get the defaults R2000
// readers expect (a view of the content, plot styles, layouts).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include "customentity.h"
#include "dxf_tokens.h"
#include "dxf_writer.h"

namespace {
using dxf::ObjectOut;
using dxf::WriteContext;
using dxf::Writer;

const char* const kTableOrder[] = {"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"};
const size_t kTableCount = sizeof kTableOrder / sizeof kTableOrder[0];
const char* const kObjectRoles[] = {"DICT:root", "DICT:ACAD_GROUP", "DICT:ACAD_LAYOUT", "DICT:ACAD_PLOTSTYLENAME",
                                    "PLOTSTYLE:Normal", "LAYOUT:Model", "LAYOUT:Layout1"};
const double kViewAspect = 1.34;  // width over height of the view a new drawing opens in
const double kViewMargin = 1.1;

template <class T>
T* objectOf(AcDbObjectId id) {
  return id.isValid() ? T::cast(id.stub()->object) : nullptr;
}

size_t tableIndex(const std::string& name) {
  for (size_t i = 0; i < kTableCount; ++i)
    if (name == kTableOrder[i]) return i;
  return kTableCount;
}

const DxfTable* keptTable(const DxfFileKept& file, const std::string& name) {
  for (const DxfTable& t : file.tables)
    if (t.name == name) return &t;
  return nullptr;
}
const DxfTable* keptTable(const WriteContext& c, const std::string& name) { return keptTable(c.d->file, name); }

// The file's tables in its order, with each table it lacks before the first that follows
// it in the usual order.
std::vector<std::string> tableOrder(const WriteContext& c) {
  std::vector<std::string> order;
  for (const DxfTable& t : c.d->file.tables) order.push_back(t.name);
  for (size_t i = 0; i < kTableCount; ++i) {
    if (std::find(order.begin(), order.end(), kTableOrder[i]) != order.end()) continue;
    auto pos = std::find_if(order.begin(), order.end(), [&](const std::string& n) {
      size_t k = tableIndex(n);
      return k < kTableCount && k > i;
    });
    order.insert(pos, kTableOrder[i]);
  }
  return order;
}

// --- the view ------------------------------------------------------------------------------

struct View {
  double center[2] = {210, 148.5};
  double height = 297 * kViewMargin;
};

View contentView(const WriteContext& c) {
  View v;
  if (!c.hasExtents) return v;
  double w = c.extMax[0] - c.extMin[0], h = c.extMax[1] - c.extMin[1];
  v.center[0] = (c.extMin[0] + c.extMax[0]) / 2;
  v.center[1] = (c.extMin[1] + c.extMax[1]) / 2;
  v.height = std::max(h, w / kViewAspect) * kViewMargin;
  if (!(v.height > 0)) v.height = 1000;
  return v;
}

// The active viewport of a kept VPORT table, moved onto the content when its view does not
// show all of it; a view that does is kept as the user left it.
DxfKept activeViewport(const WriteContext& c, const DxfKept& kept) {
  std::string_view name;
  if (!c.hasExtents || !kept.find(2, &name) || strcasecmp(std::string(name).c_str(), "*ACTIVE") != 0) return kept;
  double center[2] = {0, 0}, height = 0, aspect = 1;
  size_t at = 0;
  int code;
  std::string_view value;
  while (dxf::nextGroup(kept.text, at, code, value)) {
    double v = std::strtod(std::string(value).c_str(), nullptr);
    if (code == 12) center[0] = v;
    else if (code == 22) center[1] = v;
    else if (code == 40) height = v;
    else if (code == 41) aspect = v;
  }
  double halfW = height * aspect / 2, halfH = height / 2;
  if (c.extMin[0] >= center[0] - halfW && c.extMax[0] <= center[0] + halfW && c.extMin[1] >= center[1] - halfH &&
      c.extMax[1] <= center[1] + halfH)
    return kept;
  View v = contentView(c);
  if (aspect > 0) v.height = std::max(c.extMax[1] - c.extMin[1], (c.extMax[0] - c.extMin[0]) / aspect) * kViewMargin;
  DxfKept out = kept;
  out.text.clear();
  at = 0;
  while (dxf::nextGroup(kept.text, at, code, value)) {
    char buf[dxf::kNumberChars];
    double moved = code == 12 ? v.center[0] : code == 22 ? v.center[1] : v.height;
    if (code == 12 || code == 22 || code == 40) value = std::string_view(buf, dxf::realText(moved, buf));
    dxf::appendGroup(out.text, code, value);
    if (at == kept.afterHandle) out.afterHandle = out.text.size();
  }
  return out;
}

// --- tables ----------------------------------------------------------------------------------

void keptTableOut(WriteContext& c, const DxfTable& t) {
  const DxfKept* head = t.head.stub()->dxf.get();
  dxf::writeVerbatim(c.w, *head, t.head.stub()->object);
  Adesk::UInt64 owner = t.head.handle().value();
  for (AcDbObjectId id : t.records) {
    if (id.isErased()) continue;
    const DxfKept& kept = *id.stub()->dxf;
    if (t.name == "VPORT") dxf::writeVerbatim(c.w, activeViewport(c, kept), id.stub()->object, owner);
    else dxf::writeVerbatim(c.w, kept, id.stub()->object, owner);
  }
  c.w.str(0, "ENDTAB");
}

void tableHead(WriteContext& c, const char* name, Adesk::UInt64 handle, size_t count, const AcDbObject* table = nullptr,
               bool dimstyle = false) {
  std::wstring wname(name, name + std::strlen(name));
  const DxfKept* kept = table ? table->objectId().stub()->dxf.get() : nullptr;
  ObjectOut o(c.w, "TABLE", handle, 0, kept, 5, &wname);
  o.subclass("AcDbSymbolTable");
  c.w.integer(70, (long long)count);
  if (dimstyle) o.subclass("AcDbDimStyleTable");
  o.end();
  if (table) dxf::writeXData(c.w, table);
}

std::vector<AcDbObjectId> liveRecords(AcDbObjectId tableId) {
  std::vector<AcDbObjectId> out;
  if (auto* t = objectOf<AcDbSymbolTable>(tableId))
    for (AcDbObjectId r : t->records())
      if (!r.isErased()) out.push_back(r);
  return out;
}

// The plot style a new layer names: the drawing's "Normal" style.
std::string plotStyle(WriteContext& c) {
  if (!c.d->file.hasObjects) {
    Adesk::UInt64 h = c.d->roleHandle("PLOTSTYLE:Normal");
    return cadhost::toUtf8(cadhost::handleText(AcDbHandle(h)));
  }
  AcDbObjectId zero;
  if (auto* t = objectOf<AcDbSymbolTable>(c.db->layerTableId())) t->getAt(L"0", zero);
  const DxfKept* kept = zero.isValid() ? zero.stub()->dxf.get() : nullptr;
  std::string_view style;
  return kept && kept->find(390, &style) ? std::string(style) : std::string();
}

// A table the host models: its head, then each record with the groups the host writes
// (fields) and, for a record from a file, its kept groups in their sections.
template <class Fields>
void modelledTable(WriteContext& c, const char* name, const char* type, const char* subclass, AcDbObjectId tableId,
                   Fields fields) {
  auto records = liveRecords(tableId);
  Adesk::UInt64 th = tableId.handle().value();
  tableHead(c, name, th, records.size(), tableId.stub()->object);
  for (AcDbObjectId id : records) {
    auto* rec = objectOf<AcDbSymbolTableRecord>(id);
    ObjectOut o(c.w, type, id.handle().value(), th, id.stub()->dxf.get());
    o.subclass("AcDbSymbolTableRecord");
    o.subclass(subclass);
    c.w.text(2, rec->name());
    fields(rec, id.stub()->read.fromFile);
    o.end();
    dxf::writeXData(c.w, rec);
  }
  c.w.str(0, "ENDTAB");
}

void layersOut(WriteContext& c) {
  std::string style = plotStyle(c);
  modelledTable(c, "LAYER", "LAYER", "AcDbLayerTableRecord", c.db->layerTableId(),
                [&](AcDbSymbolTableRecord* r, bool kept) {
                  auto* l = AcDbLayerTableRecord::cast(r);
                  const DxfKept* k = r->objectId().stub()->dxf.get();
                  c.w.integer(70, (l->isFrozen() ? 1 : 0) | (l->VPDFLT() ? 2 : 0) | (l->isLocked() ? 4 : 0) |
                                      (k ? k->extraFlags : 0));
                  c.w.integer(62, dxf::layerColor(l));
                  auto* lt = objectOf<AcDbSymbolTableRecord>(l->linetypeObjectId());
                  c.w.text(6, lt ? lt->name() : L"CONTINUOUS");
                  if (kept) return;
                  c.w.integer(370, -3);  // lineweight: the default
                  if (!style.empty()) c.w.str(390, style);
                });
}

void linetypesOut(WriteContext& c) {
  modelledTable(c, "LTYPE", "LTYPE", "AcDbLinetypeTableRecord", c.db->linetypeTableId(),
                [&](AcDbSymbolTableRecord* r, bool kept) {
                  if (kept) return;
                  c.w.integer(70, 0);
                  c.w.str(3, cadhost::equalsNoCase(r->name(), L"CONTINUOUS") ? "Solid line" : "");
                  c.w.integer(72, 65);
                  c.w.integer(73, 0);
                  c.w.real(40, 0.0);
                });
}

void appsOut(WriteContext& c) {
  modelledTable(c, "APPID", "APPID", "AcDbRegAppTableRecord", c.db->regAppTableId(),
                [&](AcDbSymbolTableRecord*, bool kept) {
                  if (!kept) c.w.integer(70, 0);
                });
}

void blockRecordsOut(WriteContext& c) {
  bool ownLayouts = !c.d->file.hasObjects;
  modelledTable(c, "BLOCK_RECORD", "BLOCK_RECORD", "AcDbBlockTableRecord", c.db->blockTableId(),
                [&](AcDbSymbolTableRecord* r, bool kept) {
                  if (kept) return;
                  if (ownLayouts && cadhost::equalsNoCase(r->name(), L"*Model_Space"))
                    c.w.handle(340, c.d->roleHandle("LAYOUT:Model"));
                  else if (ownLayouts && cadhost::equalsNoCase(r->name(), L"*Paper_Space"))
                    c.w.handle(340, c.d->roleHandle("LAYOUT:Layout1"));
                  else c.w.str(340, "0");
                });
}

void recordHead(WriteContext& c, const char* type, const char* role, const char* table, const char* subclass,
                int handleCode = 5) {
  ObjectOut o(c.w, type, c.d->roleHandle(role), c.d->roleHandle(table), nullptr, handleCode);
  o.subclass("AcDbSymbolTableRecord");
  o.subclass(subclass);
}

void defaultTable(WriteContext& c, const std::string& name) {
  Writer& w = c.w;
  AcDbDatabase::Impl& d = *c.d;
  if (name == "VPORT") {
    tableHead(c, "VPORT", d.roleHandle("VPORT"), 1);
    recordHead(c, "VPORT", "VPORT*ACTIVE", "VPORT", "AcDbViewportTableRecord");
    w.str(2, "*Active");
    w.integer(70, 0);
    View v = contentView(c);
    double lo[2] = {0, 0}, hi[2] = {1, 1}, zero[2] = {0, 0}, spacing[2] = {10, 10}, dir[3] = {0, 0, 1},
           target[3] = {0, 0, 0};
    w.point(10, lo, 2);
    w.point(11, hi, 2);
    w.point(12, v.center, 2);
    w.point(13, zero, 2);
    w.point(14, spacing, 2);
    w.point(15, spacing, 2);
    w.point(16, dir);
    w.point(17, target);
    w.real(40, v.height);
    w.real(41, kViewAspect);
    w.real(42, 50);
    w.real(43, 0);
    w.real(44, 0);
    w.real(50, 0);
    w.real(51, 0);
    for (int code : {71, 72, 73, 74, 75, 76, 77, 78}) w.integer(code, code == 72 ? 100 : code == 73 || code == 74 ? 1 : 0);
  } else if (name == "STYLE") {
    tableHead(c, "STYLE", d.roleHandle("STYLE"), 1);
    recordHead(c, "STYLE", "STYLE:Standard", "STYLE", "AcDbTextStyleTableRecord");
    w.str(2, "Standard");
    w.integer(70, 0);
    w.real(40, 0);
    w.real(41, 1);
    w.real(50, 0);
    w.integer(71, 0);
    w.real(42, 2.5);
    w.str(3, "txt");
    w.str(4, "");
  } else if (name == "VIEW" || name == "UCS") {
    tableHead(c, name.c_str(), d.roleHandle(name), 0);
  } else if (name == "DIMSTYLE") {
    tableHead(c, "DIMSTYLE", d.roleHandle("DIMSTYLE"), 1, nullptr, true);
    recordHead(c, "DIMSTYLE", "DIMSTYLE:Standard", "DIMSTYLE", "AcDbDimStyleTableRecord", 105);
    w.str(2, "Standard");
    w.integer(70, 0);
  }
  w.str(0, "ENDTAB");
}

// --- objects ---------------------------------------------------------------------------------

void reactors(Writer& w, Adesk::UInt64 owner) {
  w.str(102, "{ACAD_REACTORS");
  w.handle(330, owner);
  w.str(102, "}");
}

void dictionary(WriteContext& c, const char* type, Adesk::UInt64 handle, Adesk::UInt64 owner,
                const std::vector<std::pair<const char*, Adesk::UInt64>>& entries) {
  Writer& w = c.w;
  w.str(0, type);
  w.handle(5, handle);
  if (owner) reactors(w, owner);
  w.handle(330, owner);
  w.str(100, "AcDbDictionary");
  w.integer(281, 1);
  for (auto& e : entries) {
    w.str(3, e.first);
    w.handle(350, e.second);
  }
}

void layout(WriteContext& c, const char* name, Adesk::UInt64 handle, Adesk::UInt64 owner, Adesk::UInt64 block,
            int order) {
  Writer& w = c.w;
  w.str(0, "LAYOUT");
  w.handle(5, handle);
  reactors(w, owner);
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
  w.point(14, order == 0 && c.hasExtents ? c.extMin : emin);
  w.point(15, order == 0 && c.hasExtents ? c.extMax : emax);
  w.real(146, 0);
  w.point(13, z);
  w.point(16, xa);
  w.point(17, ya);
  w.integer(76, 0);
  w.handle(330, block);
}

void defaultObjects(WriteContext& c) {
  AcDbDatabase::Impl& d = *c.d;
  Writer& w = c.w;
  Adesk::UInt64 root = d.roleHandle("DICT:root"), group = d.roleHandle("DICT:ACAD_GROUP"),
                layouts = d.roleHandle("DICT:ACAD_LAYOUT"), styles = d.roleHandle("DICT:ACAD_PLOTSTYLENAME"),
                normal = d.roleHandle("PLOTSTYLE:Normal"), model = d.roleHandle("LAYOUT:Model"),
                paper = d.roleHandle("LAYOUT:Layout1");
  dictionary(c, "DICTIONARY", root, 0, {{"ACAD_GROUP", group}, {"ACAD_LAYOUT", layouts}, {"ACAD_PLOTSTYLENAME", styles}});
  dictionary(c, "DICTIONARY", group, root, {});
  dictionary(c, "DICTIONARY", layouts, root, {{"Layout1", paper}, {"Model", model}});
  dictionary(c, "ACDBDICTIONARYWDFLT", styles, root, {{"Normal", normal}});
  w.str(100, "AcDbDictionaryWithDefault");
  w.handle(340, normal);
  w.str(0, "ACDBPLACEHOLDER");
  w.handle(5, normal);
  reactors(w, styles);
  w.handle(330, styles);
  AcDbBlockTable* bt = objectOf<AcDbBlockTable>(c.db->blockTableId());
  AcDbObjectId ms, ps;
  bt->getAt(L"*Model_Space", ms);
  bt->getAt(L"*Paper_Space", ps);
  layout(c, "Model", model, layouts, ms.handle().value(), 0);
  layout(c, "Layout1", paper, layouts, ps.handle().value(), 1);
}
}  // namespace

namespace dxf {
int layerColor(const AcDbLayerTableRecord* l) {
  int color = l->color().colorIndex();
  if (color > 255) color = 7;
  return l->isOff() ? -color : color;
}

// Every handle the file will carry must exist before the header states the seed.
void reserveTableHandles(AcDbDatabase::Impl& d) {
  for (const char* t : {"VPORT", "STYLE", "VIEW", "UCS", "DIMSTYLE"}) {
    if (keptTable(d.file, t)) continue;
    d.roleHandle(t);
    if (std::string(t) == "VPORT") d.roleHandle("VPORT*ACTIVE");
    if (std::string(t) == "STYLE") d.roleHandle("STYLE:Standard");
    if (std::string(t) == "DIMSTYLE") d.roleHandle("DIMSTYLE:Standard");
  }
  if (!d.file.hasObjects)
    for (const char* role : kObjectRoles) d.roleHandle(role);
}

void writeClasses(WriteContext& c) {
  Writer& w = c.w;
  w.str(0, "SECTION");
  w.str(2, "CLASSES");
  if (c.d->file.hasClasses) {
    w.groups(c.d->file.classes);
  } else if (!c.d->file.hasObjects) {
    // The object classes of a new drawing that R2000 readers do not know by themselves.
    const char* classes[][2] = {{"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault"},
                                {"ACDBPLACEHOLDER", "AcDbPlaceHolder"},
                                {"LAYOUT", "AcDbLayout"}};
    for (auto& k : classes) {
      w.str(0, "CLASS");
      w.str(1, k[0]);
      w.str(2, k[1]);
      w.str(3, "ObjectDBX Classes");
      w.integer(90, 0);
      w.integer(280, 0);
      w.integer(281, 0);
    }
  }
  writeCustomClasses(c);
  w.str(0, "ENDSEC");
}

void writeTables(WriteContext& c) {
  c.w.str(0, "SECTION");
  c.w.str(2, "TABLES");
  for (const std::string& name : tableOrder(c)) {
    if (name == "LTYPE") linetypesOut(c);
    else if (name == "LAYER") layersOut(c);
    else if (name == "APPID") appsOut(c);
    else if (name == "BLOCK_RECORD") blockRecordsOut(c);
    else if (const DxfTable* t = keptTable(c, name)) keptTableOut(c, *t);
    else defaultTable(c, name);
  }
  c.w.str(0, "ENDSEC");
}

void writeObjects(WriteContext& c) {
  c.w.str(0, "SECTION");
  c.w.str(2, "OBJECTS");
  if (c.d->file.hasObjects) {
    for (AcDbObjectId id : c.d->file.objects)
      if (!id.isErased()) writeVerbatim(c.w, *id.stub()->dxf, id.stub()->object);
  } else {
    defaultObjects(c);
  }
  c.w.str(0, "ENDSEC");
}
}  // namespace dxf
