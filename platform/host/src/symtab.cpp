// Symbol tables and their records; block table records own their entity lists.
#include <algorithm>
#include <cwchar>
#include "adslib.h"
#include "dxflimits.h"
#include "hostimpl.h"

Acad::ErrorStatus AcDbSymbolTableRecord::getName(ACHAR*& name) const {
  name = acutNewString(m_name.c_str());
  return Acad::eOk;
}
Acad::ErrorStatus AcDbSymbolTableRecord::getName(const ACHAR*& name) const {
  name = m_name.c_str();
  return Acad::eOk;
}
Acad::ErrorStatus AcDbSymbolTableRecord::setName(const ACHAR* name) {
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  if (!name || !*name || std::wcslen(name) > kDxfMaxTextChars) return Acad::eInvalidInput;
  std::wstring old = m_name;
  m_name = name;
  AcDbObjectId owner = ownerId();
  if (owner.isValid())
    if (auto* table = AcDbSymbolTable::cast(owner.stub()->object)) table->renamed(objectId(), old);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableIterator::getRecordId(AcDbObjectId& id) const {
  if (done()) return Acad::eInvalidIndex;
  id = m_ids[m_pos];
  return Acad::eOk;
}

static const std::wstring& recordName(AcDbObjectId id) {
  return static_cast<AcDbSymbolTableRecord*>(id.stub()->object)->name();
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* name, AcDbObjectId& id, bool getErased) const {
  id.setNull();
  if (!name) return Acad::eInvalidInput;
  auto it = m_index.find(cadhost::upper(name));
  if (it == m_index.end()) return Acad::eKeyNotFound;
  for (AcDbObjectId r : it->second) {
    if (r.isErased() && !getErased) continue;
    id = r;
    return Acad::eOk;
  }
  return Acad::eKeyNotFound;
}

void AcDbSymbolTable::appendRecord(AcDbObjectId id) {
  m_records.push_back(id);
  m_index[cadhost::upper(recordName(id))].push_back(id);
}

void AcDbSymbolTable::renamed(AcDbObjectId id, const std::wstring& oldName) {
  auto it = m_index.find(cadhost::upper(oldName));
  if (it == m_index.end()) return;  // not one of this table's records
  auto& ids = it->second;
  auto pos = std::find(ids.begin(), ids.end(), id);
  if (pos == ids.end()) return;
  ids.erase(pos);
  if (ids.empty()) m_index.erase(it);
  m_index[cadhost::upper(recordName(id))].push_back(id);
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* name, AcDbSymbolTableRecord*& rec,
                                         AcDb::OpenMode mode, bool openErased) const {
  rec = nullptr;
  AcDbObjectId id;
  Acad::ErrorStatus es = getAt(name, id, openErased);
  if (es != Acad::eOk) return es;
  return acdbOpenObject(rec, id, mode, openErased);
}

bool AcDbSymbolTable::has(const ACHAR* name) const {
  AcDbObjectId id;
  return getAt(name, id) == Acad::eOk;
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
  if (id.isNull() || id.isErased() || !id.stub()->object) return false;
  return id.stub()->object->ownerId() == objectId() && AcDbSymbolTableRecord::cast(id.stub()->object);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord* rec) {
  AcDbObjectId id;
  return add(id, rec);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId& id, AcDbSymbolTableRecord* rec) {
  id.setNull();
  if (!rec) return Acad::eNullObjectPointer;
  if (!database()) return Acad::eNoDatabase;
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  if (rec->database()) return Acad::eAlreadyInDb;
  if (rec->name().empty()) return Acad::eInvalidInput;
  if (has(rec->name().c_str())) return Acad::eDuplicateRecordName;
  id = database()->addObject(rec, objectId());
  if (id.isNull()) return Acad::eOutOfMemory;  // the drawing has no handle left for it
  id.stub()->writer = true;
  appendRecord(id);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::newIterator(AcDbSymbolTableIterator*& it, bool, bool skipDeleted) const {
  std::vector<AcDbObjectId> ids;
  ids.reserve(m_records.size());
  for (AcDbObjectId r : m_records)
    if (!skipDeleted || !r.isErased()) ids.push_back(r);
  it = new AcDbSymbolTableIterator(std::move(ids));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTable::getAt(const ACHAR* name, AcDbBlockTableRecord*& rec,
                                        AcDb::OpenMode mode, bool openErased) const {
  rec = nullptr;
  AcDbObjectId id;
  Acad::ErrorStatus es = AcDbSymbolTable::getAt(name, id, openErased);
  if (es != Acad::eOk) return es;
  return acdbOpenObject(rec, id, mode, openErased);
}

// --- block table records ------------------------------------------------------------

AcDbBlockTableRecord::AcDbBlockTableRecord() = default;
AcDbBlockTableRecord::~AcDbBlockTableRecord() = default;

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntityId(AcDbObjectId& id) const {
  if (done()) return Acad::eInvalidIndex;
  id = m_ids[m_pos];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntity(AcDbEntity*& ent, AcDb::OpenMode mode,
                                                          bool openErased) const {
  ent = nullptr;
  if (done()) return Acad::eInvalidIndex;
  return acdbOpenAcDbEntity(ent, m_ids[m_pos], mode, openErased);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* entity) {
  AcDbObjectId id;
  return appendAcDbEntity(id, entity);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity) {
  id.setNull();
  if (!entity) return Acad::eNullObjectPointer;
  if (!database()) return Acad::eNoDatabase;
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  if (entity->database()) return Acad::eAlreadyInDb;
  id = database()->addObject(entity, objectId());
  if (id.isNull()) return Acad::eOutOfMemory;  // the drawing has no handle left for it
  id.stub()->writer = true;
  m_entities.push_back(id);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::newIterator(AcDbBlockTableRecordIterator*& it, bool,
                                                    bool skipDeleted) const {
  std::vector<AcDbObjectId> ids;
  ids.reserve(m_entities.size());
  for (AcDbObjectId e : m_entities)
    if (!skipDeleted || !e.isErased()) ids.push_back(e);
  it = new AcDbBlockTableRecordIterator(std::move(ids));
  return Acad::eOk;
}

bool AcDbBlockTableRecord::isLayout() const {
  return cadhost::equalsNoCase(name(), L"*Model_Space") ||
         cadhost::equalsNoCase(name(), L"*Paper_Space");
}
