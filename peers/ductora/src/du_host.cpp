// Every Ductora part is an entity of the drawing: a point for parts that stand at one
// place, a line for a duct, each with extended data of the application "DUCTORA" naming
// its class and type. The project names parts by these entities' handles.
#include "du_host.h"
#include <vector>
#include "arxhost.h"
#include "du_text.h"
#include "windows.h"

namespace {
const ACHAR* kAppName = L"DUCTORA";

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

void attachXData(AcDbEntity* entity, const DuPart& part) {
  if (acdbRegApp(kAppName) != RTNORM) return;
  resbuf* head = acutNewRb(1001);
  if (!head) return;
  head->resval.rstring = acutNewString(kAppName);
  head->rbnext = textBuffer(1000, part.className);
  if (head->rbnext) head->rbnext->rbnext = textBuffer(1000, part.typeDefine);
  entity->setXData(head);
  acutRelRb(head);
}

AcGePoint3d toPoint(const DuVec& v) { return AcGePoint3d(v.x, v.y, v.z); }

std::string createEntity(const DuPart& part, std::string& error) {
  AcDbDatabase* db = workingDatabase();
  if (!db) {
    error = "there is no drawing";
    return "";
  }
  AcDbEntity* entity = nullptr;
  if (part.typeDefine == "EWAPART_DUCT" && part.connections.size() == 2)
    entity = new AcDbLine(toPoint(part.connections[0].position), toPoint(part.connections[1].position));
  else
    entity = new AcDbPoint(toPoint(part.position));
  if (entity->setLayer(du_wide(part.layer).c_str()) != Acad::eOk) entity->setLayer(L"0");
  attachXData(entity, part);

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
  entity->close();
  ACHAR buf[40];
  if (!id.handle().getIntoAsciiBuffer(buf, 40)) return "";
  return du_narrow(buf);
}

void eraseEntity(const std::string& handle) {
  AcDbObjectId id;
  AcDbObject* object = nullptr;
  if (!objectIdOf(handle, id) || acdbOpenAcDbObject(object, id, AcDb::kForWrite) != Acad::eOk) return;
  object->erase(true);
  object->close();
}

bool entityAlive(const std::string& handle) {
  AcDbObjectId id;
  return objectIdOf(handle, id) && !id.isErased();
}

bool blockExists(const std::string& name) {
  AcDbDatabase* db = workingDatabase();
  AcDbBlockTable* table = nullptr;
  if (!db || db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return false;
  bool found = table->has(du_wide(name).c_str());
  table->close();
  return found;
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
  hooks.eraseEntity = eraseEntity;
  hooks.entityAlive = entityAlive;
  hooks.blockExists = blockExists;
  return hooks;
}
