// The drawing database: object ids, handles, objects, symbol tables.
// Objects live in the database; callers open them by id, work, and close them.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>
#include "acadstrc.h"
#include "acge.h"
#include "adesk.h"
#include "acgi.h"
#include "rxboiler.h"

struct resbuf;
class AcDbDatabase;
class AcDbObject;
class AcDbDxfFiler;
struct AcDbStub;  // the database's record of one object: handle, object, open state

namespace AcDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };
}

// --- ids and handles -------------------------------------------------------------

class ACHOST_API AcDbHandle {
 public:
  AcDbHandle() = default;
  explicit AcDbHandle(Adesk::UInt64 value) : m_value(value) {}
  // From hexadecimal text ("1F3"); text that is not hexadecimal gives the null handle.
  explicit AcDbHandle(const ACHAR* hexText);
  bool isNull() const { return m_value == 0; }
  void setNull() { m_value = 0; }
  // Upper-case hexadecimal text without leading zeros; false when nBufLen is too small.
  bool getIntoAsciiBuffer(ACHAR* buf, size_t nBufLen) const;
  Adesk::UInt64 value() const { return m_value; }
  bool operator==(const AcDbHandle& o) const { return m_value == o.m_value; }
  bool operator!=(const AcDbHandle& o) const { return m_value != o.m_value; }
  bool operator<(const AcDbHandle& o) const { return m_value < o.m_value; }

 private:
  Adesk::UInt64 m_value = 0;
};

class ACHOST_API AcDbObjectId {
 public:
  AcDbObjectId() = default;
  explicit AcDbObjectId(AcDbStub* stub) : m_stub(stub) {}
  static const AcDbObjectId kNull;

  bool isNull() const { return m_stub == nullptr; }
  void setNull() { m_stub = nullptr; }
  bool isValid() const;  // names an object of a live database
  bool isErased() const;
  AcDbHandle handle() const;
  AcDbDatabase* database() const;
  AcDbStub* stub() const { return m_stub; }
  bool operator==(const AcDbObjectId& o) const { return m_stub == o.m_stub; }
  bool operator!=(const AcDbObjectId& o) const { return m_stub != o.m_stub; }
  bool operator<(const AcDbObjectId& o) const { return m_stub < o.m_stub; }

 private:
  AcDbStub* m_stub = nullptr;
};

// --- objects -------------------------------------------------------------------

// One application's extended data on an object: the items after its 1001 group.
struct AcDbXDataItem {
  short code = 1000;          // 1000 text, 1040 real, 1070 short, 1071 long, 1010 point
  std::wstring text;          // 1000, 1003, 1005; 1002 "{" or "}"; 1004 as hexadecimal digits
  double real[3] = {0, 0, 0}; // 1010..1013 point, 1040..1042 real
  Adesk::Int32 integer = 0;   // 1070, 1071
};
struct AcDbXDataApp {
  std::wstring appName;
  std::vector<AcDbXDataItem> items;
};

class ACHOST_API AcDbObject : public AcGiDrawable {
 public:
  ACRX_DECLARE_MEMBERS(AcDbObject);
  AcDbObject();
  ~AcDbObject() override;
  AcDbObject(const AcDbObject&) = delete;
  AcDbObject& operator=(const AcDbObject&) = delete;

  AcDbObjectId objectId() const { return m_id; }
  AcDbObjectId ownerId() const { return m_owner; }
  AcDbDatabase* database() const;
  void getAcDbHandle(AcDbHandle& handle) const;

  // Ends this opening. A new object that is not in a database cannot be closed (delete it).
  Acad::ErrorStatus close();
  // The object must be open for write; its class's subErase may refuse (its status then).
  Acad::ErrorStatus erase(bool erasing = true);
  bool isErased() const;
  bool isReadEnabled() const;
  bool isWriteEnabled() const;
  Acad::ErrorStatus upgradeOpen();
  Acad::ErrorStatus downgradeOpen();

  // The chain of one application (1001 group first), or of every application when
  // appName is null; null when there is none. The caller frees it with acutRelRb.
  resbuf* xData(const ACHAR* appName = nullptr) const;
  // Replaces the extended data of every application the chain names (1001 groups);
  // an application group without items removes that application's data. The
  // applications must be registered (acdbRegApp): eRegappIdNotFound otherwise.
  // The host's limits: eInvalidXDataSize for a text (1000, 1003, 1005) of more than 255
  // bytes or a binary chunk (1004) of more than 127, eXdataSizeExceeded when the object's
  // extended data would pass 16 KB; the object keeps its data then.
  Acad::ErrorStatus setXData(const resbuf* chain);

  // Host side: the stored extended data and database membership.
  const std::vector<AcDbXDataApp>& xDataApps() const { return m_xdata; }
  std::vector<AcDbXDataApp>& xDataApps() { return m_xdata; }
  void setIds(AcDbObjectId id, AcDbObjectId owner) { m_id = id; m_owner = owner; }

  // A custom class's own groups in a DXF file (dbfiler.h). The host's own classes have none
  // here: eOk, nothing read or written.
  virtual Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer);
  virtual Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const;

 protected:
  // Called by erase (the object open for write) before it changes: eOk lets it go on.
  virtual Acad::ErrorStatus subErase(Adesk::Boolean erasing);

 private:
  AcDbObjectId m_id;
  AcDbObjectId m_owner;
  std::vector<AcDbXDataApp> m_xdata;
};

class ACHOST_API AcCmColor {
 public:
  AcCmColor() = default;
  Acad::ErrorStatus setColorIndex(Adesk::UInt16 index) { m_index = index; return Acad::eOk; }
  Adesk::UInt16 colorIndex() const { return m_index; }

 private:
  Adesk::UInt16 m_index = 256;  // ByLayer
};

class ACHOST_API AcDbEntity : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbEntity);
  AcDbEntity();
  ~AcDbEntity() override;

  AcDbObjectId blockId() const { return ownerId(); }
  // A copy of the layer name; the caller frees it with acutDelString.
  ACHAR* layer() const;
  AcDbObjectId layerId() const;
  // The layer must exist in the entity's database (or the working database for a
  // new entity); eKeyNotFound otherwise.
  Acad::ErrorStatus setLayer(const ACHAR* newVal, bool doSubents = true,
                             bool allowHiddenLayer = false);
  Acad::ErrorStatus setLayer(AcDbObjectId newVal, bool doSubents = true,
                             bool allowHiddenLayer = false);
  Adesk::UInt16 colorIndex() const { return m_color; }
  Acad::ErrorStatus setColorIndex(Adesk::UInt16 color, bool doSubents = true);
  // A copy of the linetype name ("ByLayer" when unset); free with acutDelString.
  ACHAR* linetype() const;
  Acad::ErrorStatus setLinetype(const ACHAR* newVal, bool doSubents = true);

  // Host side: the names of its layer and linetype records.
  const std::wstring& layerName() const;
  const std::wstring& linetypeName() const;

 protected:
  // The entities the host models draw their shape (a block reference its block's entities);
  // any other entity draws nothing unless its class says otherwise.
  Adesk::Boolean subWorldDraw(AcGiWorldDraw* mode) override;

 private:
  AcDbObjectId m_layer;     // null: layer "0"
  AcDbObjectId m_linetype;  // null: "ByLayer"
  Adesk::UInt16 m_color = 256;
};

// --- symbol tables ---------------------------------------------------------------

class AcDbSymbolTableRecord;
class AcDbBlockTableRecord;

class ACHOST_API AcDbSymbolTableRecord : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbSymbolTableRecord);
  // A copy of the name; the caller frees it with acutDelString.
  Acad::ErrorStatus getName(ACHAR*& name) const;
  Acad::ErrorStatus getName(const ACHAR*& name) const;  // pointer into the record
  Acad::ErrorStatus setName(const ACHAR* name);
  const std::wstring& name() const { return m_name; }

 private:
  std::wstring m_name;
};

class ACHOST_API AcDbSymbolTableIterator {
 public:
  explicit AcDbSymbolTableIterator(std::vector<AcDbObjectId> ids) : m_ids(std::move(ids)) {}
  void start() { m_pos = 0; }
  bool done() const { return m_pos >= m_ids.size(); }
  void step() { ++m_pos; }
  Acad::ErrorStatus getRecordId(AcDbObjectId& id) const;

 private:
  std::vector<AcDbObjectId> m_ids;
  size_t m_pos = 0;
};

class ACHOST_API AcDbSymbolTable : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbSymbolTable);
  // Names compare without regard to letter case, as the host does.
  Acad::ErrorStatus getAt(const ACHAR* name, AcDbObjectId& id, bool getErased = false) const;
  Acad::ErrorStatus getAt(const ACHAR* name, AcDbSymbolTableRecord*& rec, AcDb::OpenMode mode,
                          bool openErased = false) const;
  bool has(const ACHAR* name) const;
  bool has(AcDbObjectId id) const;
  // The table must be open for write; the record becomes database-resident and open for
  // write (close it). eDuplicateRecordName when the name is taken, eInvalidInput when empty.
  Acad::ErrorStatus add(AcDbSymbolTableRecord* rec);
  Acad::ErrorStatus add(AcDbObjectId& id, AcDbSymbolTableRecord* rec);
  // Records in the order they were added; the caller deletes the iterator.
  Acad::ErrorStatus newIterator(AcDbSymbolTableIterator*& it, bool atBeginning = true,
                                bool skipDeleted = true) const;

  // Host side: record ids in order; a record appended here is found by its name, and a
  // record's rename (setName) updates the name index.
  const std::vector<AcDbObjectId>& records() const { return m_records; }
  void appendRecord(AcDbObjectId id);
  void renamed(AcDbObjectId id, const std::wstring& oldName);

 private:
  std::vector<AcDbObjectId> m_records;
  // Record ids by their names without regard to case, open-addressed (the hash of the
  // name and the id, probed one slot after the other; a removed entry is left as a gap until
  // the table is rebuilt from the records): a lookup reads one array and copies no name.
  struct IndexSlot {
    size_t hash = 0;
    AcDbObjectId id;
    bool removed = false;
  };
  std::vector<IndexSlot> m_index;  // a power of two in size, or empty
  size_t m_indexUsed = 0;          // slots holding a record or a gap
  void indexInsert(size_t hash, AcDbObjectId id);
  void indexRebuild(size_t slots);
};

class ACHOST_API AcDbBlockTableRecordIterator {
 public:
  explicit AcDbBlockTableRecordIterator(std::vector<AcDbObjectId> ids) : m_ids(std::move(ids)) {}
  void start() { m_pos = 0; }
  bool done() const { return m_pos >= m_ids.size(); }
  void step() { ++m_pos; }
  Acad::ErrorStatus getEntityId(AcDbObjectId& id) const;
  Acad::ErrorStatus getEntity(AcDbEntity*& ent, AcDb::OpenMode mode, bool openErased = false) const;

 private:
  std::vector<AcDbObjectId> m_ids;
  size_t m_pos = 0;
};

class ACHOST_API AcDbBlockTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord);
  AcDbBlockTableRecord();
  ~AcDbBlockTableRecord() override;

  // The record must be open for write; the entity becomes database-resident and open
  // for write (close it). eAlreadyInDb for an entity of a database.
  Acad::ErrorStatus appendAcDbEntity(AcDbEntity* entity);
  Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity);
  // Entities in order of appending, erased ones skipped; the caller deletes the iterator.
  Acad::ErrorStatus newIterator(AcDbBlockTableRecordIterator*& it, bool atBeginning = true,
                                bool skipDeleted = true) const;
  AcGePoint3d origin() const { return m_origin; }
  Acad::ErrorStatus setOrigin(const AcGePoint3d& p) { m_origin = p; return Acad::eOk; }
  bool isLayout() const;  // *Model_Space or *Paper_Space

  std::vector<AcDbObjectId>& entities() { return m_entities; }
  const std::vector<AcDbObjectId>& entities() const { return m_entities; }

 private:
  AcGePoint3d m_origin;
  std::vector<AcDbObjectId> m_entities;
};

class ACHOST_API AcDbBlockTable : public AcDbSymbolTable {
 public:
  ACRX_DECLARE_MEMBERS(AcDbBlockTable);
  using AcDbSymbolTable::getAt;
  Acad::ErrorStatus getAt(const ACHAR* name, AcDbBlockTableRecord*& rec, AcDb::OpenMode mode,
                          bool openErased = false) const;
};

class ACHOST_API AcDbLayerTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLayerTableRecord);
  bool isFrozen() const { return m_frozen; }
  void setIsFrozen(bool v) { m_frozen = v; }
  bool isOff() const { return m_off; }
  void setIsOff(bool v) { m_off = v; }
  bool VPDFLT() const { return m_vpdflt; }
  void setVPDFLT(bool v) { m_vpdflt = v; }
  bool isLocked() const { return m_locked; }
  void setIsLocked(bool v) { m_locked = v; }
  bool isHidden() const { return false; }
  AcCmColor color() const { return m_color; }
  void setColor(const AcCmColor& c) { m_color = c; }
  AcDbObjectId linetypeObjectId() const { return m_linetype; }
  void setLinetypeObjectId(AcDbObjectId id) { m_linetype = id; }

 private:
  bool m_frozen = false, m_off = false, m_vpdflt = false, m_locked = false;
  AcCmColor m_color;
  AcDbObjectId m_linetype;
};

class ACHOST_API AcDbLayerTable : public AcDbSymbolTable {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLayerTable);
};

class ACHOST_API AcDbLinetypeTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLinetypeTableRecord);
};

class ACHOST_API AcDbLinetypeTable : public AcDbSymbolTable {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLinetypeTable);
};

class ACHOST_API AcDbRegAppTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbRegAppTableRecord);
};

class ACHOST_API AcDbRegAppTable : public AcDbSymbolTable {
 public:
  ACRX_DECLARE_MEMBERS(AcDbRegAppTable);
};

// --- the database ------------------------------------------------------------------

class ACHOST_API AcDbDatabase : public AcRxObject {
 public:
  // A new drawing: tables, layer "0", linetypes "ByBlock", "ByLayer", "CONTINUOUS",
  // application "ACAD", blocks "*Model_Space" and "*Paper_Space".
  explicit AcDbDatabase(bool buildDefaultDrawing = true);
  ~AcDbDatabase() override;
  AcDbDatabase(const AcDbDatabase&) = delete;
  AcDbDatabase& operator=(const AcDbDatabase&) = delete;

  Acad::ErrorStatus getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode);
  Acad::ErrorStatus getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode);
  Acad::ErrorStatus getLinetypeTable(AcDbLinetypeTable*& table, AcDb::OpenMode mode);
  Acad::ErrorStatus getRegAppTable(AcDbRegAppTable*& table, AcDb::OpenMode mode);
  AcDbObjectId blockTableId() const;
  AcDbObjectId layerTableId() const;
  AcDbObjectId linetypeTableId() const;
  AcDbObjectId regAppTableId() const;
  AcDbObjectId modelSpaceId() const;
  AcDbObjectId clayer() const;

  // The id of the object with that handle; with createIfNotFound false an unknown
  // handle gives eUnknownHandle (erased objects are still found).
  Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& retId, bool createIfNotFound,
                                    const AcDbHandle& objHandle, Adesk::UInt32 xRefId = 0);

  // DXF files. dxfIn reads R12 and later, text or binary, into this (new, empty) database
  // and leaves it unchanged on failure; its message is the reason, or on success what it
  // mended in the file (else empty). dxfOut writes text DXF through a temporary file renamed
  // into place, R2000 for a drawing read from an older version; its message is the reason
  // of a failure, or on success what the save changed in the file's form (else empty).
  Acad::ErrorStatus dxfIn(const ACHAR* fileName, std::wstring* message = nullptr);
  Acad::ErrorStatus dxfOut(const ACHAR* fileName, std::wstring* message = nullptr);
  const std::wstring& fileName() const;
  void setFileName(const std::wstring& name);

  // Host side: adds an object (ownership passes to the database) under a new handle,
  // or under the given one when reading a file. The null id, the object still the
  // caller's, when the drawing has no new handle left.
  AcDbObjectId addObject(AcDbObject* object, AcDbObjectId owner, AcDbHandle handle = AcDbHandle());
  std::vector<AcDbObjectId> allObjectIds() const;
  Adesk::UInt64 handseed() const;

  struct Impl;
  Impl* impl() const { return m_impl; }

 private:
  Impl* m_impl;
};

class ACHOST_API AcDbHostApplicationServices {
 public:
  AcDbDatabase* workingDatabase() const;
  void setWorkingDatabase(AcDbDatabase* db);
};
ACHOST_API AcDbHostApplicationServices* acdbHostApplicationServices();

// Opens an object of a live database. eWasOpenForWrite when it is open for write
// already (a second write or a read), eWasOpenForRead for a write while it is read,
// eWasErased for an erased object unless openErased, eNullObjectId for the null id.
ACHOST_API Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id,
                                                   AcDb::OpenMode mode, bool openErased = false);
ACHOST_API Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id,
                                                   AcDb::OpenMode mode, bool openErased = false);
template <class T>
inline Acad::ErrorStatus acdbOpenObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                        bool openErased = false) {
  AcDbObject* o = nullptr;
  obj = nullptr;
  Acad::ErrorStatus es = acdbOpenAcDbObject(o, id, mode, openErased);
  if (es != Acad::eOk) return es;
  obj = T::cast(o);
  if (!obj) { o->close(); return Acad::eNotApplicable; }
  return Acad::eOk;
}
