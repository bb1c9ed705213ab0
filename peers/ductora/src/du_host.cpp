// Every Ductora part is an entity of the drawing, of Ductora's class DURAPart
// (du_entity.h), carrying extended data of the application "DUCTORA" (its class and
// type); the project names parts by these entities' handles. Drawings made before parts
// had a class of their own hold them as points (duct ends) and block references (the block
// of a custom part, or DUCTORA_<handle> holding the part's shapes): those are still found
// and drawn again where they stand.
#include "du_host.h"
#include <cmath>
#include <vector>
#include "arxhost.h"
#include "du_entity.h"
#include "du_shape.h"
#include "du_text.h"
#include "windows.h"

namespace {
const ACHAR* kAppName = L"DUCTORA";
const ACHAR* kEmptyPartBlock = L"DUCTORA_PART";

AcDbDatabase* workingDatabase() {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  return services ? services->workingDatabase() : nullptr;
}

bool objectIdOf(const std::string& handleText, AcDbObjectId& id) {
  AcDbDatabase* db = workingDatabase();
  std::string handle;
  if (!db || !du_normalize_handle(handleText, handle)) return false;
  AcDbHandle h(du_wide(handle).c_str());
  return !h.isNull() && db->getAcDbObjectId(id, false, h) == Acad::eOk;
}

resbuf* textBuffer(int code, const std::string& text) {
  resbuf* rb = acutNewRb(code);
  if (rb) rb->resval.rstring = acutNewString(du_wide(text).c_str());
  return rb;
}

bool attachXData(AcDbEntity* entity, const DuPart& part) {
  if (acdbRegApp(kAppName) != RTNORM) return false;
  resbuf* head = acutNewRb(1001);
  if (!head) return false;
  head->resval.rstring = acutNewString(kAppName);
  head->rbnext = textBuffer(1000, part.className);
  if (head->rbnext) head->rbnext->rbnext = textBuffer(1000, part.typeDefine);
  const bool ok = entity->setXData(head) == Acad::eOk;
  acutRelRb(head);
  return ok;
}

AcGePoint3d toPoint(const DuVec& v) { return AcGePoint3d(v.x, v.y, v.z); }
AcGeVector3d toVector(const DuVec& v) { return AcGeVector3d(v.x, v.y, v.z); }

// The block of that name emptied (made when missing) and filled with the shapes; its id,
// or the null id with error set.
AcDbObjectId fillBlock(AcDbDatabase* db, const std::wstring& name, const std::vector<DuShape>& shapes,
                       std::string& error) {
  AcDbBlockTable* table = nullptr;
  if (db->getBlockTable(table, AcDb::kForWrite) != Acad::eOk) {
    error = "the block table cannot be opened";
    return AcDbObjectId();
  }
  AcDbBlockTableRecord* block = nullptr;
  if (table->getAt(name.c_str(), block, AcDb::kForWrite) != Acad::eOk) {
    block = new AcDbBlockTableRecord;
    block->setName(name.c_str());
    if (table->add(block) != Acad::eOk) {
      delete block;
      table->close();
      error = "the block " + du_narrow(name) + " cannot be made";
      return AcDbObjectId();
    }
  }
  table->close();
  AcDbBlockTableRecordIterator* it = nullptr;
  if (block->newIterator(it) == Acad::eOk) {
    for (it->start(); !it->done(); it->step()) {
      AcDbEntity* old = nullptr;
      if (it->getEntity(old, AcDb::kForWrite) == Acad::eOk) {
        old->erase(true);
        old->close();
      }
    }
    delete it;
  }
  for (const DuShape& s : shapes) {
    AcDbEntity* e = du_shape_entity(s);
    if (!e) continue;
    if (block->appendAcDbEntity(e) == Acad::eOk) e->close();
    else delete e;
  }
  const AcDbObjectId id = block->objectId();
  block->close();
  return id;
}

AcDbObjectId blockNamed(AcDbDatabase* db, const std::wstring& name) {
  AcDbBlockTable* table = nullptr;
  AcDbObjectId id;
  if (db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return id;
  table->getAt(name.c_str(), id);
  table->close();
  return id;
}

bool blockExists(const std::string& name) {
  AcDbDatabase* db = workingDatabase();
  return db && !blockNamed(db, du_wide(name)).isNull();
}

// The block a part's reference shows (made or filled as needed); null id with error set.
AcDbObjectId partBlock(AcDbDatabase* db, const DuPart& part, const std::string& handle, std::string& error) {
  const std::wstring own = L"DUCTORA_" + du_wide(handle);
  if (part.typeDefine != "EWAPART_CUSTOM") return fillBlock(db, own, du_connection_shapes(part), error);
  if (!part.blockName.empty()) {
    AcDbObjectId id = blockNamed(db, du_wide(part.blockName));
    if (id.isNull()) error = "the drawing has no block " + part.blockName;
    return id;
  }
  if (!part.gmModel.empty()) return fillBlock(db, own, du_display_list_shapes(part.gmModel), error);
  AcDbObjectId id = blockNamed(db, kEmptyPartBlock);
  if (id.isNull()) {
    DuShape point;  // a dot where the part stands
    point.kind = DuShape::POINT;
    id = fillBlock(db, kEmptyPartBlock, {point}, error);
  }
  return id;
}

// Places the reference so that its block's X axis is the part's direction and its Z axis
// the part's normal (stubs and ducts draw in the drawing's axes from the part's position).
void place(AcDbBlockReference* ref, const DuPart& part) {
  ref->setPosition(toPoint(part.position));
  if (part.typeDefine != "EWAPART_CUSTOM") {
    ref->setNormal(AcGeVector3d::kZAxis);
    ref->setRotation(0);
    return;
  }
  const AcGeVector3d normal = toVector(du_unit(part.normal));
  const AcGeMatrix3d plane = AcGeMatrix3d::planeToWorld(normal);
  AcGeVector3d ox(1, 0, 0), oy(0, 1, 0);
  ox.transformBy(plane);
  oy.transformBy(plane);
  const AcGeVector3d direction = toVector(part.direction);
  ref->setNormal(normal);
  ref->setRotation(std::atan2(direction.dotProduct(oy), direction.dotProduct(ox)));
}

bool drawPart(AcDbEntity* entity, const DuPart& part, const std::string& handle, std::string& error) {
  if (DURAPart* own = DURAPart::cast(entity)) {
    if (!part.blockName.empty() && !blockExists(part.blockName)) {
      error = "the drawing has no block " + part.blockName;
      return false;
    }
    du_entity_take(*own, part);
    return true;
  }
  AcDbBlockReference* ref = AcDbBlockReference::cast(entity);
  if (!ref) {
    if (AcDbPoint* point = AcDbPoint::cast(entity)) point->setPosition(toPoint(part.position));
    return true;
  }
  AcDbDatabase* db = workingDatabase();
  const AcDbObjectId block = db ? partBlock(db, part, handle, error) : AcDbObjectId();
  if (block.isNull()) return false;
  ref->setBlockTableRecord(block);
  place(ref, part);
  return true;
}

std::string createEntity(const DuPart& part, std::string& error) {
  AcDbDatabase* db = workingDatabase();
  if (!db) {
    error = "there is no drawing";
    return "";
  }
  AcDbEntity* entity = new DURAPart;
  if (entity->setLayer(du_wide(part.layer).c_str()) != Acad::eOk) entity->setLayer(L"0");
  if (!attachXData(entity, part)) {
    delete entity;
    error = "its extended data cannot be attached";
    return "";
  }
  AcDbBlockTableRecord* space = nullptr;
  if (acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk) {
    delete entity;
    error = "model space cannot be opened";
    return "";
  }
  AcDbObjectId id;
  Acad::ErrorStatus es = space->appendAcDbEntity(id, entity);
  space->close();
  if (es != Acad::eOk) {
    delete entity;
    error = "the entity cannot be added to model space";
    return "";
  }
  const std::string handle = du_entity_handle(entity);
  if (handle.empty() || !drawPart(entity, part, handle, error)) {
    entity->erase(true);
    entity->close();
    if (error.empty()) error = "the entity has no handle";
    return "";
  }
  entity->close();
  return handle;
}

bool updateEntity(const DuPart& part, std::string& error) {
  AcDbObjectId id;
  AcDbEntity* entity = nullptr;
  if (!objectIdOf(part.handle, id) || acdbOpenObject(entity, id, AcDb::kForWrite) != Acad::eOk) {
    error = "the part's entity cannot be opened";
    return false;
  }
  const bool ok = drawPart(entity, part, part.handle, error);
  entity->close();
  return ok;
}

void eraseEntity(const std::string& handle) {
  AcDbObjectId id;
  AcDbObject* object = nullptr;
  if (!objectIdOf(handle, id) || acdbOpenAcDbObject(object, id, AcDb::kForWrite) != Acad::eOk) return;
  object->erase(true);
  object->close();
}

// Alive: the handle's entity is there, not erased, and carries this part's DUCTORA data.
// A plain entity that took over the handle of a part from an unsaved session is not it.
bool entityAlive(const DuPart& part) {
  AcDbObjectId id;
  AcDbObject* object = nullptr;
  if (!objectIdOf(part.handle, id) || id.isErased() || acdbOpenAcDbObject(object, id, AcDb::kForRead) != Acad::eOk)
    return false;
  resbuf* xd = object->xData(kAppName);
  object->close();
  bool ours = xd && xd->rbnext && xd->rbnext->restype == 1000 && xd->rbnext->resval.rstring &&
              du_narrow(xd->rbnext->resval.rstring) == part.className;
  acutRelRb(xd);
  return ours;
}

std::string drawingPath() {
  AcDbDatabase* db = workingDatabase();
  return db ? du_narrow(db->fileName()) : "";
}
}  // namespace

std::wstring du_wide(const std::string& text) {
  if (text.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return L"";
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n);
  return out;
}

std::string du_narrow(const std::wstring& text) {
  if (text.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

DuDrawingHooks du_host_hooks() {
  DuDrawingHooks hooks;
  hooks.drawingPath = drawingPath;
  hooks.createEntity = createEntity;
  hooks.updateEntity = updateEntity;
  hooks.eraseEntity = eraseEntity;
  hooks.entityAlive = entityAlive;
  hooks.blockExists = blockExists;
  return hooks;
}
