// Symbol tables and their records; block table records own their entity lists.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
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
  AcDbObjectId owner = ownerId();
  auto* table = owner.isValid() ? AcDbSymbolTable::cast(owner.stub()->object) : nullptr;
  std::wstring old = table ? std::move(m_name) : std::wstring();  // a table's index knows the old name
  m_name = name;
  if (table) table->renamed(objectId(), old);
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

// FNV-1a over the upper-case letters, as equalsNoCase compares them.
static size_t nameHash(const wchar_t* name) {
  uint64_t h = 1469598103934665603ull;
  for (const wchar_t* p = name; *p; ++p) {
    wchar_t c = *p;
    if (c >= L'a' && c <= L'z') c -= 32;
    else if (c >= 128) c = (wchar_t)std::towupper(c);
    h = (h ^ (uint32_t)c) * 1099511628211ull;
  }
  return (size_t)h;
}

static bool sameName(const std::wstring& recorded, const wchar_t* name) {
  return cadhost::equalsNoCase(recorded.data(), recorded.size(), name, std::wcslen(name));
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* name, AcDbObjectId& id, bool getErased) const {
  id.setNull();
  if (!name) return Acad::eInvalidInput;
  if (m_index.empty()) return Acad::eKeyNotFound;
  const size_t hash = nameHash(name), mask = m_index.size() - 1;
  // Records of one name (erased ones too) lie along the probe in the order they were added.
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const IndexSlot& slot = m_index[i];
    if (slot.id.isNull() && !slot.removed) return Acad::eKeyNotFound;
    if (slot.removed || slot.hash != hash || (slot.id.isErased() && !getErased)) continue;
    if (!sameName(recordName(slot.id), name)) continue;
    id = slot.id;
    return Acad::eOk;
  }
}

// Into a table with room (at most half of it used, so a probe always ends).
void AcDbSymbolTable::indexInsert(size_t hash, AcDbObjectId id) {
  const size_t mask = m_index.size() - 1;
  size_t i = hash & mask;
  while (!m_index[i].id.isNull() || m_index[i].removed) i = (i + 1) & mask;
  m_index[i].hash = hash;
  m_index[i].id = id;
  ++m_indexUsed;
}

void AcDbSymbolTable::indexRebuild(size_t slots) {
  size_t size = 16;
  while (size < slots) size *= 2;
  m_index.assign(size, IndexSlot());
  m_indexUsed = 0;
  for (AcDbObjectId r : m_records) indexInsert(nameHash(recordName(r).c_str()), r);
}

void AcDbSymbolTable::appendRecord(AcDbObjectId id) {
  m_records.push_back(id);
  if ((m_indexUsed + 1) * 2 > m_index.size()) indexRebuild(m_records.size() * 4);  // the new one too
  else indexInsert(nameHash(recordName(id).c_str()), id);
}

void AcDbSymbolTable::renamed(AcDbObjectId id, const std::wstring& oldName) {
  if (m_index.empty()) return;
  const size_t hash = nameHash(oldName.c_str()), mask = m_index.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    IndexSlot& slot = m_index[i];
    if (slot.id.isNull() && !slot.removed) return;  // not one of this table's records
    if (slot.removed || slot.id != id) continue;
    slot.id.setNull();
    slot.removed = true;
    if ((m_indexUsed + 1) * 2 > m_index.size()) indexRebuild(m_records.size() * 4);
    else indexInsert(nameHash(recordName(id).c_str()), id);
    return;
  }
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
