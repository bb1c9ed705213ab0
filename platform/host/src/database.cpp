// The drawing database: object ids, handles, opening and closing, the default drawing.
#include <cwchar>
#include <unordered_set>
#include "dxflimits.h"
#include "hostimpl.h"

namespace {
std::unordered_set<const AcDbDatabase*>& liveDatabases() {
  static std::unordered_set<const AcDbDatabase*> set;
  return set;
}
AcDbDatabase* gWorkingDb = nullptr;
}

const AcDbObjectId AcDbObjectId::kNull;

AcDbHandle::AcDbHandle(const ACHAR* hexText) {
  if (!hexText || !*hexText) return;
  Adesk::UInt64 v = 0;
  size_t n = 0;
  for (const ACHAR* p = hexText; *p; ++p, ++n) {
    int d;
    if (*p >= L'0' && *p <= L'9') d = *p - L'0';
    else if (*p >= L'a' && *p <= L'f') d = *p - L'a' + 10;
    else if (*p >= L'A' && *p <= L'F') d = *p - L'A' + 10;
    else return;
    if (n >= 16) return;
    v = v * 16 + d;
  }
  m_value = v;
}

bool AcDbHandle::getIntoAsciiBuffer(ACHAR* buf, size_t nBufLen) const {
  ACHAR tmp[20];
  int len = swprintf(tmp, 20, L"%llX", (unsigned long long)m_value);
  if (!buf || len < 0 || (size_t)len + 1 > nBufLen) return false;
  wmemcpy(buf, tmp, len + 1);
  return true;
}

bool AcDbObjectId::isValid() const {
  return m_stub && liveDatabases().count(m_stub->db) && m_stub->object;
}
bool AcDbObjectId::isErased() const { return m_stub && m_stub->erased; }
AcDbHandle AcDbObjectId::handle() const { return m_stub ? m_stub->handle : AcDbHandle(); }
AcDbDatabase* AcDbObjectId::database() const { return m_stub ? m_stub->db : nullptr; }

Adesk::UInt64 AcDbDatabase::Impl::roleHandle(const std::string& role) {
  auto it = roleHandles.find(role);
  if (it != roleHandles.end()) return it->second;
  Adesk::UInt64 h = allocHandle();
  roleHandles[role] = h;
  return h;
}

static void addRecord(AcDbDatabase* db, AcDbObjectId tableId, AcDbSymbolTableRecord* rec,
                      const ACHAR* name) {
  rec->setName(name);
  AcDbObjectId id = db->addObject(rec, tableId);
  static_cast<AcDbSymbolTable*>(tableId.stub()->object)->appendRecord(id);
}

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing) : m_impl(new Impl) {
  liveDatabases().insert(this);
  if (!buildDefaultDrawing) return;
  m_impl->blockTable = addObject(new AcDbBlockTable, AcDbObjectId::kNull);
  m_impl->layerTable = addObject(new AcDbLayerTable, AcDbObjectId::kNull);
  m_impl->linetypeTable = addObject(new AcDbLinetypeTable, AcDbObjectId::kNull);
  m_impl->regAppTable = addObject(new AcDbRegAppTable, AcDbObjectId::kNull);
  addRecord(this, m_impl->linetypeTable, new AcDbLinetypeTableRecord, L"ByBlock");
  addRecord(this, m_impl->linetypeTable, new AcDbLinetypeTableRecord, L"ByLayer");
  addRecord(this, m_impl->linetypeTable, new AcDbLinetypeTableRecord, L"CONTINUOUS");
  auto* layer0 = new AcDbLayerTableRecord;
  AcCmColor white;
  white.setColorIndex(7);
  layer0->setColor(white);
  layer0->setLinetypeObjectId(
      static_cast<AcDbSymbolTable*>(m_impl->linetypeTable.stub()->object)->records().back());
  addRecord(this, m_impl->layerTable, layer0, L"0");
  addRecord(this, m_impl->regAppTable, new AcDbRegAppTableRecord, L"ACAD");
  addRecord(this, m_impl->blockTable, new AcDbBlockTableRecord, L"*Model_Space");
  addRecord(this, m_impl->blockTable, new AcDbBlockTableRecord, L"*Paper_Space");
}

AcDbDatabase::~AcDbDatabase() {
  cadhost::closeDrawingFile(this);
  liveDatabases().erase(this);
  if (gWorkingDb == this) gWorkingDb = nullptr;
  m_impl->stubs.each([](AcDbStub& s) {
    ObjectDisposer{s.pooled}(s.object);
    s.object = nullptr;
  });
  delete m_impl;
}

template <class T>
static Acad::ErrorStatus openTable(AcDbObjectId id, T*& table, AcDb::OpenMode mode) {
  table = nullptr;
  if (id.isNull()) return Acad::eNullObjectId;
  return acdbOpenObject(table, id, mode);
}

Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable*& t, AcDb::OpenMode mode) {
  return openTable(m_impl->blockTable, t, mode);
}
Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable*& t, AcDb::OpenMode mode) {
  return openTable(m_impl->layerTable, t, mode);
}
Acad::ErrorStatus AcDbDatabase::getLinetypeTable(AcDbLinetypeTable*& t, AcDb::OpenMode mode) {
  return openTable(m_impl->linetypeTable, t, mode);
}
Acad::ErrorStatus AcDbDatabase::getRegAppTable(AcDbRegAppTable*& t, AcDb::OpenMode mode) {
  return openTable(m_impl->regAppTable, t, mode);
}
AcDbObjectId AcDbDatabase::blockTableId() const { return m_impl->blockTable; }
AcDbObjectId AcDbDatabase::layerTableId() const { return m_impl->layerTable; }
AcDbObjectId AcDbDatabase::linetypeTableId() const { return m_impl->linetypeTable; }
AcDbObjectId AcDbDatabase::regAppTableId() const { return m_impl->regAppTable; }

static AcDbObjectId recordByName(AcDbObjectId tableId, const ACHAR* name) {
  if (tableId.isNull()) return AcDbObjectId::kNull;
  auto* table = static_cast<AcDbSymbolTable*>(tableId.stub()->object);
  AcDbObjectId id;
  table->getAt(name, id);
  return id;
}

AcDbObjectId AcDbDatabase::modelSpaceId() const { return recordByName(m_impl->blockTable, L"*Model_Space"); }
AcDbObjectId AcDbDatabase::clayer() const { return recordByName(m_impl->layerTable, L"0"); }

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& retId, bool createIfNotFound,
                                                const AcDbHandle& objHandle, Adesk::UInt32) {
  retId.setNull();
  if (objHandle.isNull()) return Acad::eNullHandle;
  AcDbStub* s = m_impl->find(objHandle.value());
  if (!s) return Acad::eUnknownHandle;
  retId = AcDbObjectId(s);
  return Acad::eOk;
}

const std::wstring& AcDbDatabase::fileName() const { return m_impl->fileName; }
void AcDbDatabase::setFileName(const std::wstring& name) { m_impl->fileName = name; }

AcDbObjectId AcDbDatabase::addObject(AcDbObject* object, AcDbObjectId owner, AcDbHandle handle) {
  Impl& d = *m_impl;
  if (handle.isNull() || d.find(handle.value())) {
    if (d.nextHandle >= kDxfHandleLimit) return AcDbObjectId::kNull;  // every handle is taken
    handle = AcDbHandle(d.allocHandle());
  }
  if (handle.value() >= d.nextHandle) d.nextHandle = handle.value() + 1;
  AcDbStub* stub = &d.stubs.add(d.pool);
  stub->db = this;
  stub->handle = handle;
  stub->object = object;
  d.insert(handle.value(), stub);
  AcDbObjectId id(stub);
  object->setIds(id, owner);
  return id;
}

std::vector<AcDbObjectId> AcDbDatabase::allObjectIds() const {
  std::vector<AcDbObjectId> ids;
  ids.reserve(m_impl->stubs.size());
  m_impl->stubs.each([&](AcDbStub& s) { ids.emplace_back(&s); });
  return ids;
}

Adesk::UInt64 AcDbDatabase::handseed() const { return m_impl->nextHandle; }

std::vector<AcDbDatabase*> cadhost::liveDatabases() {
  std::vector<AcDbDatabase*> out;
  for (const AcDbDatabase* db : ::liveDatabases()) out.push_back(const_cast<AcDbDatabase*>(db));
  return out;
}

AcDbDatabase* AcDbHostApplicationServices::workingDatabase() const { return gWorkingDb; }
void AcDbHostApplicationServices::setWorkingDatabase(AcDbDatabase* db) { gWorkingDb = db; }
AcDbHostApplicationServices* acdbHostApplicationServices() {
  static AcDbHostApplicationServices services;
  return &services;
}

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
  obj = nullptr;
  if (id.isNull()) return Acad::eNullObjectId;
  if (!id.isValid()) return Acad::eNotInDatabase;
  AcDbStub* s = id.stub();
  if (s->erased && !openErased) return Acad::eWasErased;
  if (s->writer) return Acad::eWasOpenForWrite;
  if (mode == AcDb::kForWrite) {
    if (s->readers > 0) return Acad::eWasOpenForRead;
    s->writer = true;
    noteWrite(s);
  } else {
    ++s->readers;
  }
  obj = s->object;
  return Acad::eOk;
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
  return acdbOpenObject(ent, id, mode, openErased);
}
