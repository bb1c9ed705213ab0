// The classes application modules add, and their entities in open drawings as modules come
// and go: an entity kept as read becomes an object of its class when the class is added,
// and goes back to being kept, as it would be written, when the class is deleted.
#include <cstdlib>
#include <cstring>
#include <memory>
#include "customentity.h"
#include "dxf_tokens.h"
#include "dxfschema.h"
#include "rxboiler.h"

namespace {
std::vector<AcRxClass*>& registered() {
  static std::vector<AcRxClass*> classes;
  return classes;
}

bool isPaperSpace(AcDbObjectId owner) {
  auto* btr = owner.isValid() ? AcDbBlockTableRecord::cast(owner.stub()->object) : nullptr;
  return btr && cadhost::equalsNoCase(btr->name(), L"*Paper_Space");
}

// Layer, linetype and colour as read; false when the drawing has no such layer or linetype.
bool setProperties(AcDbEntity* e, const dxf::CustomEntityProps& props) {
  AcDbStub* stub = e->objectId().stub();
  const bool writer = stub->writer;
  stub->writer = true;
  bool ok = e->setLayer(props.layer.c_str()) == Acad::eOk;
  if (ok && !props.linetype.empty()) ok = e->setLinetype(props.linetype.c_str()) == Acad::eOk;
  if (ok && props.color >= 0 && props.color <= 257) e->setColorIndex(Adesk::UInt16(props.color));
  stub->writer = writer;
  return ok;
}

// Puts `to` in the stub's place with the ids, extended data and kept groups of the object
// there now, and deletes that object.
void replace(AcDbStub& s, AcDbEntity* to, std::shared_ptr<DxfKept> kept) {
  AcDbObject* from = s.object;
  to->setIds(from->objectId(), from->ownerId());
  to->xDataApps() = std::move(from->xDataApps());
  s.object = to;
  s.dxf = std::move(kept);
  ObjectDisposer{s.pooled}(from);
  s.pooled = false;
}

// Entities of the class kept as read in the database become objects of the class.
void adopt(AcDbDatabase* db, AcRxClass* cls) {
  const dxf::Codec codec = dxf::drawingCodec(*db->impl());
  db->impl()->stubs.each([&](AcDbStub& s) {
    if (!s.object || !AcDbForeignEntity::cast(s.object) || !s.dxf || !s.dxf->verbatim ||
        s.dxf->type != cls->dxfName() || s.writer || s.readers)
      return;
    std::vector<dxf::Group> gs;
    size_t at = 0;
    int code;
    std::string_view value;
    while (dxf::nextGroup(s.dxf->text, at, code, value)) gs.push_back({code, value, 0});
    auto kept = std::make_shared<DxfKept>();
    dxf::CustomEntityProps props;
    std::string why;
    const AcDbObjectId owner = s.object->ownerId();
    std::unique_ptr<AcDbEntity> e(dxf::readCustomEntity(cls, gs, codec, isPaperSpace(owner), *kept, props, why));
    if (!e) return;
    e->setIds(s.object->objectId(), owner);
    if (!setProperties(e.get(), props)) return;
    replace(s, e.release(), kept);
    noteWrite(&s);
  });
}

// The groups of one object as the writer gave them, its group 0 and extended data left
// out, kept as an object the host does not model (as the reader keeps one).
std::shared_ptr<DxfKept> keptFromWritten(const std::string& written, const char* type) {
  auto kept = std::make_shared<DxfKept>();
  kept->type = type;
  kept->verbatim = true;
  kept->text.reserve(written.size());
  size_t at = 0;
  int code, braces = 0;
  std::string_view value;
  bool head = true, ownerSought = true;
  while (dxf::nextGroup(written, at, code, value)) {
    if (head) {
      head = false;
      if (code == 0) continue;
    }
    if (code == 0 || code == 1001) break;  // the extended data stays the object's
    bool isHandle = false;
    if (code == 5 && !kept->hasHandle) {
      kept->hasHandle = isHandle = true;
    } else if (code == 102) {
      braces += value == "}" ? -1 : 1;
    } else if (code == 100) {
      ownerSought = false;
    } else if (code == 330) {
      kept->namesOwner = true;
      if (ownerSought && braces <= 0) kept->owner = std::strtoull(std::string(value).c_str(), nullptr, 16);
      if (braces <= 0) ownerSought = false;
    }
    dxf::appendGroup(kept->text, code, value);
    if (isHandle) kept->afterHandle = kept->text.size();
  }
  return kept;
}

// Objects of the class in the database are kept as they would be written.
void keepAsWritten(AcDbDatabase* db, AcRxClass* cls) {
  const dxf::Codec codec = dxf::drawingCodec(*db->impl());
  db->impl()->stubs.each([&](AcDbStub& s) {
    if (!s.object || s.object->isA() != cls) return;
    auto* e = static_cast<AcDbEntity*>(s.object);
    std::string text;
    {
      dxf::Writer w(text, codec);
      dxf::WriteContext c{db, db->impl(), w, false, {0, 0, 0}, {0, 0, 0}, {}};
      const AcDbObjectId owner = e->ownerId();
      dxf::writeCustomEntity(c, e, owner.handle().value(), isPaperSpace(owner));
    }
    std::shared_ptr<DxfKept> kept = keptFromWritten(text, cls->dxfName());
    const dxf::CustomEntityProps props{0, e->layerName(), e->linetypeName(), e->colorIndex()};
    auto* keptEntity = new AcDbForeignEntity;
    replace(s, keptEntity, kept);
    setProperties(keptEntity, props);
    noteWrite(&s);
  });
}
}  // namespace

namespace cadhost {
AcRxClass* customEntityClass(std::string_view dxfName) {
  for (AcRxClass* c : registered())
    if (dxfName == c->dxfName() && c->isDerivedFrom(AcDbEntity::desc())) return c;
  return nullptr;
}

bool anyCustomClass() { return !registered().empty(); }

bool isCustomEntity(const AcDbEntity* e) {
  AcRxClass* cls = e->isA();
  for (AcRxClass* c : registered())
    if (c == cls) return true;
  return false;
}
}  // namespace cadhost

void acrxRegisterClass(AcRxClass* cls) {
  if (!cls || !cls->dxfName() || !*cls->dxfName() || dxfKindNamed(cls->dxfName())) return;
  for (AcRxClass* c : registered())
    if (c == cls || std::strcmp(c->dxfName(), cls->dxfName()) == 0) return;
  registered().push_back(cls);
  if (!cls->isDerivedFrom(AcDbEntity::desc())) return;
  for (AcDbDatabase* db : cadhost::liveDatabases()) adopt(db, cls);
}

void acrxBuildClassHierarchy() {}

void deleteAcRxClass(AcRxClass* cls) {
  auto& list = registered();
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == cls) {
      for (AcDbDatabase* db : cadhost::liveDatabases()) keepAsWritten(db, cls);
      list.erase(list.begin() + long(i));
      return;
    }
}
