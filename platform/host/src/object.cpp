// Objects and entities: open state, erasing, layers, colours, linetypes, extended data.
#include <cstring>
#include "adslib.h"
#include "dxflimits.h"
#include "hostimpl.h"

AcDbObject::AcDbObject() = default;
AcDbObject::~AcDbObject() = default;

AcDbDatabase* AcDbObject::database() const { return m_id.database(); }
void AcDbObject::getAcDbHandle(AcDbHandle& handle) const { handle = m_id.handle(); }

Acad::ErrorStatus AcDbObject::close() {
  AcDbStub* s = m_id.stub();
  if (!s) return Acad::eNotInDatabase;
  if (s->writer) {
    s->writer = false;
    noteWrite(s);
    return Acad::eOk;
  }
  if (s->readers > 0) {
    --s->readers;
    return Acad::eOk;
  }
  return Acad::eNotOpenForRead;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
  AcDbStub* s = m_id.stub();
  if (!s) return Acad::eNotInDatabase;
  if (!s->writer) return Acad::eNotOpenForWrite;
  if (s->erased == erasing) return Acad::eOk;
  Acad::ErrorStatus es = subErase(erasing);
  if (es != Acad::eOk) return es;
  s->erased = erasing;
  noteWrite(s);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::subErase(Adesk::Boolean) { return Acad::eOk; }
Acad::ErrorStatus AcDbObject::dxfInFields(AcDbDxfFiler*) { return Acad::eOk; }
Acad::ErrorStatus AcDbObject::dxfOutFields(AcDbDxfFiler*) const { return Acad::eOk; }

bool AcDbObject::isErased() const { return m_id.isErased(); }
bool AcDbObject::isReadEnabled() const {
  AcDbStub* s = m_id.stub();
  return !s || s->readers > 0 || s->writer;
}
bool AcDbObject::isWriteEnabled() const {
  AcDbStub* s = m_id.stub();
  return !s || s->writer;
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
  AcDbStub* s = m_id.stub();
  if (!s) return Acad::eOk;
  if (s->writer) return Acad::eWasOpenForWrite;
  if (s->readers != 1) return Acad::eWasOpenForRead;
  s->readers = 0;
  s->writer = true;
  noteWrite(s);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
  AcDbStub* s = m_id.stub();
  if (!s) return Acad::eOk;
  if (!s->writer) return Acad::eNotOpenForWrite;
  s->writer = false;
  s->readers = 1;
  return Acad::eOk;
}

// --- extended data --------------------------------------------------------------

namespace {
const size_t kBinaryChunkBytes = 127;  // one group 1004

int hexValue(wchar_t c) {
  return c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : c >= L'A' && c <= L'F' ? c - L'A' + 10 : -1;
}

resbuf* itemToRb(const AcDbXDataItem& item) {
  resbuf* rb = acutNewRb(item.code);
  if (item.code == 1004) {
    // Binary data, kept as hexadecimal digits.
    size_t n = item.text.size() / 2;
    rb->resval.rbinary.clen = (short)n;
    rb->resval.rbinary.buf = new char[n ? n : 1];
    for (size_t i = 0; i < n; ++i)
      rb->resval.rbinary.buf[i] = (char)(hexValue(item.text[2 * i]) * 16 + hexValue(item.text[2 * i + 1]));
  } else if (item.code >= 1000 && item.code <= 1009) {
    rb->resval.rstring = acutNewString(item.text.c_str());
  } else if (item.code >= 1010 && item.code <= 1039) {
    for (int i = 0; i < 3; ++i) rb->resval.rpoint[i] = item.real[i];
  } else if (item.code >= 1040 && item.code <= 1059) {
    rb->resval.rreal = item.real[0];
  } else if (item.code == 1070) {
    rb->resval.rint = (short)item.integer;
  } else {
    rb->resval.rlong = item.integer;
  }
  return rb;
}

// Reads one item of a chain; false for a group code extended data does not have, a text
// item without text or a brace that is neither "{" nor "}".
bool rbToItem(const resbuf* rb, AcDbXDataItem& item) {
  short c = rb->restype;
  item.code = c;
  if (c == 1000 || c == 1002 || c == 1003 || c == 1005) {
    if (!rb->resval.rstring) return false;
    item.text = rb->resval.rstring;
    if (c == 1002 && item.text != L"{" && item.text != L"}") return false;
  } else if (c == 1004) {
    if (rb->resval.rbinary.clen < 0 || (rb->resval.rbinary.clen && !rb->resval.rbinary.buf)) return false;
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (short i = 0; i < rb->resval.rbinary.clen; ++i) {
      unsigned char b = (unsigned char)rb->resval.rbinary.buf[i];
      item.text += kDigits[b >> 4];
      item.text += kDigits[b & 15];
    }
  } else if (c >= 1010 && c <= 1013) {
    for (int i = 0; i < 3; ++i) item.real[i] = rb->resval.rpoint[i];
  } else if (c >= 1040 && c <= 1042) {
    item.real[0] = rb->resval.rreal;
  } else if (c == 1070) {
    item.integer = rb->resval.rint;
  } else if (c == 1071) {
    item.integer = rb->resval.rlong;
  } else {
    return false;
  }
  return true;
}

// The bytes one item takes: its group code and its value, texts in the process's code page.
size_t itemBytes(const AcDbXDataItem& item) {
  short c = item.code;
  if (c == 1000 || c == 1003 || c == 1005) return 2 + cadhost::toUtf8(item.text).size();
  if (c == 1002) return 3;
  if (c == 1004) return 3 + item.text.size() / 2;
  if (c >= 1010 && c <= 1013) return 2 + 24;
  if (c >= 1040 && c <= 1042) return 2 + 8;
  return c == 1070 ? 4 : 6;
}

bool itemWithinLimit(const AcDbXDataItem& item) {
  if (item.code == 1000 || item.code == 1003 || item.code == 1005)
    return cadhost::toUtf8(item.text).size() <= kXDataMaxTextBytes;
  if (item.code == 1004) return item.text.size() / 2 <= kBinaryChunkBytes;
  return true;
}

size_t xdataBytes(const std::vector<AcDbXDataApp>& apps) {
  size_t total = 0;
  for (const AcDbXDataApp& app : apps) {
    total += 2 + cadhost::toUtf8(app.appName).size();
    for (const AcDbXDataItem& item : app.items) total += itemBytes(item);
  }
  return total;
}

bool appRegistered(AcDbDatabase* db, const std::wstring& name) {
  if (!db) return false;
  AcDbObjectId tableId = db->regAppTableId();
  if (tableId.isNull() || !tableId.stub()->object) return false;
  return static_cast<AcDbSymbolTable*>(tableId.stub()->object)->has(name.c_str());
}
}  // namespace

resbuf* AcDbObject::xData(const ACHAR* appName) const {
  resbuf* head = nullptr;
  resbuf** tail = &head;
  for (const AcDbXDataApp& app : m_xdata) {
    if (appName && !cadhost::equalsNoCase(app.appName, appName)) continue;
    resbuf* rb = acutNewRb(1001);
    rb->resval.rstring = acutNewString(app.appName.c_str());
    *tail = rb;
    tail = &rb->rbnext;
    for (const AcDbXDataItem& item : app.items) {
      *tail = itemToRb(item);
      tail = &(*tail)->rbnext;
    }
  }
  return head;
}

Acad::ErrorStatus AcDbObject::setXData(const resbuf* chain) {
  AcDbDatabase* db = database() ? database() : acdbHostApplicationServices()->workingDatabase();
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  std::vector<AcDbXDataApp> apps;
  for (const resbuf* rb = chain; rb; rb = rb->rbnext) {
    if (rb->restype == 1001) {
      if (!rb->resval.rstring || !*rb->resval.rstring) return Acad::eInvalidInput;
      apps.emplace_back();
      apps.back().appName = rb->resval.rstring;
      if (!appRegistered(db, apps.back().appName)) return Acad::eRegappIdNotFound;
      continue;
    }
    if (apps.empty()) return Acad::eInvalidInput;
    AcDbXDataItem item;
    if (!rbToItem(rb, item)) return Acad::eInvalidInput;
    if (!itemWithinLimit(item)) return Acad::eInvalidXDataSize;
    apps.back().items.push_back(std::move(item));
  }
  std::vector<AcDbXDataApp> result = m_xdata;
  for (AcDbXDataApp& app : apps) {
    auto it = result.begin();
    while (it != result.end() && !cadhost::equalsNoCase(it->appName, app.appName)) ++it;
    if (app.items.empty()) {
      if (it != result.end()) result.erase(it);
    } else if (it != result.end()) {
      it->items = std::move(app.items);
    } else {
      result.push_back(std::move(app));
    }
  }
  if (xdataBytes(result) > kXDataMaxObjectBytes) return Acad::eXdataSizeExceeded;
  m_xdata = std::move(result);
  return Acad::eOk;
}

// --- entities ---------------------------------------------------------------------

AcDbEntity::AcDbEntity() = default;
AcDbEntity::~AcDbEntity() = default;

static AcDbDatabase* entityDb(const AcDbEntity* e) {
  return e->database() ? e->database() : acdbHostApplicationServices()->workingDatabase();
}

static AcDbObjectId tableRecord(AcDbObjectId tableId, const ACHAR* name) {
  if (tableId.isNull() || !tableId.stub()->object || !name) return AcDbObjectId::kNull;
  AcDbObjectId id;
  static_cast<AcDbSymbolTable*>(tableId.stub()->object)->getAt(name, id);
  return id;
}

// An entity names its layer and linetype by their records (as the real host does), so a
// renamed layer renames it for its entities too, and no entity keeps a copy of a name.
static const std::wstring& recordName(AcDbObjectId id, const std::wstring& none) {
  return id.isValid() ? static_cast<AcDbSymbolTableRecord*>(id.stub()->object)->name() : none;
}

const std::wstring& AcDbEntity::layerName() const {
  static const std::wstring kZero = L"0";
  return recordName(m_layer, kZero);
}

ACHAR* AcDbEntity::layer() const { return acutNewString(layerName().c_str()); }

AcDbObjectId AcDbEntity::layerId() const {
  if (m_layer.isValid()) return m_layer;
  AcDbDatabase* db = entityDb(this);
  return db ? tableRecord(db->layerTableId(), L"0") : AcDbObjectId::kNull;
}

Acad::ErrorStatus AcDbEntity::setLayer(const ACHAR* newVal, bool, bool) {
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  AcDbDatabase* db = entityDb(this);
  if (!newVal || !db) return Acad::eInvalidInput;
  AcDbObjectId id = tableRecord(db->layerTableId(), newVal);
  if (id.isNull() || id.isErased()) return Acad::eKeyNotFound;
  m_layer = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLayer(AcDbObjectId newVal, bool, bool) {
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  if (!newVal.isValid()) return Acad::eInvalidInput;
  if (!AcDbLayerTableRecord::cast(newVal.stub()->object)) return Acad::eInvalidInput;
  m_layer = newVal;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setColorIndex(Adesk::UInt16 color, bool) {
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  if (color > 257) return Acad::eInvalidInput;
  m_color = color;
  return Acad::eOk;
}

const std::wstring& AcDbEntity::linetypeName() const {
  static const std::wstring kByLayer = L"ByLayer";
  return recordName(m_linetype, kByLayer);
}

ACHAR* AcDbEntity::linetype() const { return acutNewString(linetypeName().c_str()); }

Acad::ErrorStatus AcDbEntity::setLinetype(const ACHAR* newVal, bool) {
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  AcDbDatabase* db = entityDb(this);
  if (!newVal || !db) return Acad::eInvalidInput;
  AcDbObjectId id = tableRecord(db->linetypeTableId(), newVal);
  if (id.isNull()) return Acad::eKeyNotFound;
  m_linetype = id;
  return Acad::eOk;
}
