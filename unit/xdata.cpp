#include "xdata.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "adslib.h"
#include "report.h"
#include "text.h"

const char* const kUnitXDataApp = "ZEPH";

namespace {

const short kAppGroup = 1001;
const short kTextGroup = 1000;
const size_t kMaxKeyLength = 39;
const int kMaxDecimals = 20;
// The host keeps at most this many bytes in one text item; a longer value goes on in items
// of its own, each "=" and the next part, right after its key's item.
const size_t kItemBytes = 255;
const char kContinuation = '=';
const char* const kLoadFailed = "Can't load xdata";
const char* const kSaveFailed = "Can't save xdata";
const double kDefaultComponentDistance = 1300.0;

// Thrown when the record, its object id or the opening is the problem: reported without
// a detail text.
struct NoUnitObject {};

struct ConnectionKey {
  ConnectionType type;
  const char* prefix;
};
const ConnectionKey kConnectionKeys[] = {
    {CONN_SUPPLY, "C.SUP1"},
    {CONN_EXTRACT, "C.EXT1"},
    {CONN_OUTDOOR, "C.OUT1"},
    {CONN_EXHAUST, "C.EXH1"},
};

bool equalNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The key of an item text "KEY=value" and where its value starts; false when the text is
// no key/value item. Characters below 33 before the key and one after it are dropped.
bool splitItem(const std::string& text, std::string& key, size_t& valueStart) {
  size_t equal = text.find('=');
  if (equal == std::string::npos || equal > kMaxKeyLength) return false;
  size_t begin = 0, end = equal;
  while (begin < end && static_cast<unsigned char>(text[begin]) < 33) ++begin;
  if (end > begin && static_cast<unsigned char>(text[end - 1]) < 33) --end;
  if (begin == end) return false;
  key = text.substr(begin, end - begin);
  valueStart = equal + 1;
  return true;
}

bool isItemOf(const resbuf* rb, const char* key, std::string* value = nullptr) {
  if (rb->restype != kTextGroup || !rb->resval.rstring) return false;
  const std::string text = narrow(rb->resval.rstring);
  std::string itemKey;
  size_t valueStart = 0;
  if (!splitItem(text, itemKey, valueStart) || !equalNoCase(itemKey, key)) return false;
  if (value) *value = text.substr(valueStart);
  return true;
}

// An item that carries on the value of the item before it.
bool isContinuation(const resbuf* rb) {
  return rb && rb->restype == kTextGroup && rb->resval.rstring && rb->resval.rstring[0] == kContinuation;
}

// The items of one key in the application's chain: the item before them, the key's item
// and its last continuation item.
struct ItemSpan {
  resbuf* before = nullptr;
  resbuf* first = nullptr;
  resbuf* last = nullptr;
};

// Finds the first item of the key; its whole value (continuations joined) in value.
bool findItem(resbuf* chain, const char* key, ItemSpan& span, std::string* value = nullptr) {
  resbuf* before = chain;
  for (resbuf* rb = chain ? chain->rbnext : nullptr; rb && rb->restype != kAppGroup; before = rb, rb = rb->rbnext) {
    if (!isItemOf(rb, key, value)) continue;
    span.before = before;
    span.first = span.last = rb;
    while (isContinuation(span.last->rbnext)) {
      span.last = span.last->rbnext;
      if (value) *value += narrow(span.last->resval.rstring + 1);
    }
    return true;
  }
  return false;
}

// The last item of the application's chain (its 1001 item when it has none).
resbuf* lastItem(resbuf* chain) {
  resbuf* last = chain;
  while (last->rbnext && last->rbnext->restype != kAppGroup) last = last->rbnext;
  return last;
}

// The item texts of key=value: as many bytes of the value as the first item holds, the
// rest in continuation items, each cut at a whole character.
std::vector<std::string> itemTexts(const std::string& key, const std::string& value) {
  std::vector<std::string> texts;
  std::string head = key + "=";
  size_t pos = 0;
  do {
    size_t room = kItemBytes > head.size() ? kItemBytes - head.size() : 1;
    size_t n = std::min(room, value.size() - pos);
    while (n > 0 && pos + n < value.size() && (static_cast<unsigned char>(value[pos + n]) & 0xC0) == 0x80) --n;
    if (n == 0) n = std::min(room, value.size() - pos);
    texts.push_back(head + value.substr(pos, n));
    pos += n;
    head = std::string(1, kContinuation);
  } while (pos < value.size());
  return texts;
}

// A chain of text items; null when out of memory.
resbuf* newItems(const std::vector<std::string>& texts, resbuf*& last) {
  resbuf* head = nullptr;
  resbuf** tail = &head;
  for (const std::string& text : texts) {
    resbuf* rb = acutNewRb(kTextGroup);
    if (!rb || !(rb->resval.rstring = acutNewString(widen(text).c_str()))) {
      if (rb) acutRelRb(rb);
      acutRelRb(head);
      return nullptr;
    }
    last = rb;
    *tail = rb;
    tail = &rb->rbnext;
  }
  return head;
}

// Unlinks the items of the span from the chain and frees them.
void dropSpan(ItemSpan& span) {
  span.before->rbnext = span.last->rbnext;
  span.last->rbnext = nullptr;
  acutRelRb(span.first);
}

// The value as "%.*lf" with that many decimals, however long the text.
std::string format(int decimals, double value) {
  char small[64];
  int n = std::snprintf(small, sizeof small, "%.*lf", decimals, value);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return small;
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&text[0], text.size(), "%.*lf", decimals, value);
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string joinNumbers(const double values[kSoundBands]) {
  std::string text;
  for (int i = 0; i < kSoundBands; ++i) {
    if (i) text += ' ';
    text += format(0, values[i]);
  }
  return text;
}

// A setting the object refused (beyond the host's limits) fails the writing with the key's
// name; an empty value writes nothing and is no failure.
void check(int result, const std::string& key) {
  if (result < 0 && result != -2) throw key;
}

void setText(AcDbObject* object, const std::string& key, const std::string& value) {
  check(xdata_set_text(object, kUnitXDataApp, key.c_str(), value.c_str()), key);
}

void writeRecord(AcDbObject* object, const UnitRecord& unit) {
  setText(object, "U.ZEVER", unit.version);
  setText(object, "U.ID", unit.parts[0].name);
  setText(object, "U.CODE", unit.unitCode);
  setText(object, "U.ZEOID", unit.objectId);
  setText(object, "U.DESC", unit.description);
  setText(object, "U.ITEMCODE", unit.itemCode);
  setText(object, "U.MODELDBURL", unit.modelDatabaseUrl);
  check(xdata_set_numbers(object, kUnitXDataApp, "U.SNDSURR", unit.surroundingSound), "U.SNDSURR");
  check(xdata_set_double(object, kUnitXDataApp, "U.EXTCOMPDIST", unit.externalComponentDistance, 0), "U.EXTCOMPDIST");
  const ConnectionMap& connections = unit.parts[0].connections;
  for (const ConnectionKey& which : kConnectionKeys) {
    ConnectionMap::const_iterator found = connections.find(which.type);
    if (found == connections.end()) continue;
    const DuctConnectionData& data = found->second;
    const std::string prefix = which.prefix;
    check(xdata_set_double(object, kUnitXDataApp, (prefix + ".QV").c_str(), data.airflow, 2), prefix + ".QV");
    check(xdata_set_double(object, kUnitXDataApp, (prefix + ".DP").c_str(), data.pressure, 2), prefix + ".DP");
    check(xdata_set_numbers(object, kUnitXDataApp, (prefix + ".SNDGEN").c_str(), data.soundGeneration),
          prefix + ".SNDGEN");
    check(xdata_set_numbers(object, kUnitXDataApp, (prefix + ".SNDATT").c_str(), data.soundAttenuation),
          prefix + ".SNDATT");
    setText(object, prefix + ".DCH", data.dcHandle);
  }
}

// A required key that is missing fails the reading with the key's name.
void readText(AcDbObject* object, const std::string& key, std::string& field) {
  std::string value;
  if (xdata_get_text(object, kUnitXDataApp, key.c_str(), value) < 0) throw key;
  field = value;
}
void readNumber(AcDbObject* object, const std::string& key, double& field) {
  double value = 0.0;
  if (xdata_get_double(object, kUnitXDataApp, key.c_str(), value) < 0) throw key;
  field = value;
}
void readNumbers(AcDbObject* object, const std::string& key, double (&field)[kSoundBands]) {
  if (xdata_get_numbers(object, kUnitXDataApp, key.c_str(), field) < 0) throw key;
}

void readRecord(AcDbObject* object, UnitRecord& unit) {
  std::string text;
  if (xdata_get_text(object, kUnitXDataApp, "U.ZEVER", text) >= 0) unit.version = text;
  readText(object, "U.ID", unit.parts[0].name);
  readText(object, "U.CODE", unit.unitCode);
  if (xdata_get_text(object, kUnitXDataApp, "U.ZEOID", text) >= 0) unit.objectId = text;
  readText(object, "U.DESC", unit.description);
  readText(object, "U.ITEMCODE", unit.itemCode);
  readText(object, "U.MODELDBURL", unit.modelDatabaseUrl);
  readNumbers(object, "U.SNDSURR", unit.surroundingSound);
  double distance = 0;
  if (xdata_get_double(object, kUnitXDataApp, "U.EXTCOMPDIST", distance) < 0)
    distance = kDefaultComponentDistance;
  unit.externalComponentDistance = distance;
  for (const ConnectionKey& which : kConnectionKeys) {
    ConnectionMap::iterator found = unit.parts[0].connections.find(which.type);
    if (found == unit.parts[0].connections.end()) continue;
    DuctConnectionData& data = found->second;
    const std::string prefix = which.prefix;
    readNumber(object, prefix + ".QV", data.airflow);
    readNumber(object, prefix + ".DP", data.pressure);
    readNumbers(object, prefix + ".SNDGEN", data.soundGeneration);
    readNumbers(object, prefix + ".SNDATT", data.soundAttenuation);
    if (xdata_get_text(object, kUnitXDataApp, (prefix + ".DCH").c_str(), text) < 0) text.clear();
    data.dcHandle = text;
  }
}

}  // namespace

const char* xdata_connection_prefix(ConnectionType type) {
  for (const ConnectionKey& which : kConnectionKeys)
    if (which.type == type) return which.prefix;
  return nullptr;
}

int xdata_set_text(AcDbObject* object, const char* app, const char* key, const char* value) {
  if (!object || !app || !key || !value) return -1;
  if (!*value) return -2;
  const std::wstring appName = widen(app);
  resbuf* chain = object->xData(appName.c_str());
  if (!chain) {
    acdbRegApp(appName.c_str());
    chain = acutNewRb(kAppGroup);
    if (!chain) return -1;
    chain->resval.rstring = acutNewString(appName.c_str());
    if (!chain->resval.rstring) {
      acutRelRb(chain);
      return -1;
    }
  }
  resbuf* last = nullptr;
  resbuf* items = newItems(itemTexts(key, value), last);
  if (!items) {
    acutRelRb(chain);
    return -1;
  }
  ItemSpan span;
  if (findItem(chain, key, span)) {
    last->rbnext = span.last->rbnext;
    span.last->rbnext = nullptr;
    acutRelRb(span.first);
    span.before->rbnext = items;
  } else {
    resbuf* end = lastItem(chain);
    last->rbnext = end->rbnext;
    end->rbnext = items;
  }
  Acad::ErrorStatus status = object->setXData(chain);
  acutRelRb(chain);
  return status == Acad::eOk ? 0 : -3;
}

int xdata_set_double(AcDbObject* object, const char* app, const char* key, double value,
                     int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  return xdata_set_text(object, app, key, format(decimals, value).c_str());
}

int xdata_set_numbers(AcDbObject* object, const char* app, const char* key,
                      const double values[kSoundBands]) {
  if (!values) return -1;
  return xdata_set_text(object, app, key, joinNumbers(values).c_str());
}

int xdata_get_text(AcDbObject* object, const char* app, const char* key, std::string& value) {
  value.clear();
  if (!object || !app || !key) return -1;
  resbuf* chain = object->xData(widen(app).c_str());
  if (!chain) return -2;
  ItemSpan span;
  bool found = findItem(chain, key, span, &value);
  acutRelRb(chain);
  if (!found) {
    value.clear();
    return -1;
  }
  return static_cast<int>(value.size() > 0x7fffffff ? 0x7fffffff : value.size());
}

int xdata_get_text(AcDbObject* object, const char* app, const char* key, char* buffer,
                   size_t size) {
  if (!buffer || size == 0) return -1;
  buffer[0] = '\0';
  std::string value;
  int result = xdata_get_text(object, app, key, value);
  if (result < 0) return result;
  size_t n = value.size() < size ? value.size() : size - 1;
  // Cut at a character boundary so a cut text is still whole characters.
  while (n > 0 && n < value.size() && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

int xdata_get_double(AcDbObject* object, const char* app, const char* key, double& value) {
  value = 0.0;
  std::string text;
  int result = xdata_get_text(object, app, key, text);
  if (result < 0) return result;
  double read = 0.0;
  if (std::sscanf(text.c_str(), "%lf", &read) != 1) return 0;
  value = read;
  return 1;
}

int xdata_get_numbers(AcDbObject* object, const char* app, const char* key,
                      double values[kSoundBands]) {
  if (!object || !app || !key || !values) return -1;
  std::string text;
  if (xdata_get_text(object, app, key, text) < 0) return -2;
  int taken = 0;
  size_t start = 0;
  while (taken < kSoundBands && start < text.size()) {
    size_t blank = text.find(' ', start);
    if (blank == std::string::npos) blank = text.size();
    double read = 0.0;
    if (std::sscanf(text.substr(start, blank - start).c_str(), "%lf", &read) != 1) break;
    values[taken++] = read;
    start = blank + 1;
  }
  return taken;
}

int xdata_remove_key(AcDbObject* object, const char* app, const char* key) {
  if (!object || !app || !key) return -1;
  resbuf* chain = object->xData(widen(app).c_str());
  if (!chain) return 0;
  int removed = 0;
  for (ItemSpan span; findItem(chain, key, span); span = ItemSpan()) {
    dropSpan(span);
    ++removed;
  }
  Acad::ErrorStatus status = removed ? object->setXData(chain) : Acad::eOk;
  acutRelRb(chain);
  return status == Acad::eOk ? removed : -3;
}

int xdata_write_unit(UnitRecord* unit) {
  if (!unit || unit->parts.empty()) return -1;
  AcDbObjectId id = unit->parts[0].blockRefId;
  if (id.isNull()) return -2;
  AcDbObject* object = nullptr;
  if (acdbOpenAcDbObject(object, id, AcDb::kForWrite) != Acad::eOk || !object) return -3;
  try {
    writeRecord(object, *unit);
  } catch (...) {
    object->close();
    reportCurrentException(kSaveFailed);
    return -4;
  }
  object->close();
  return 0;
}

int xdata_read_unit(UnitRecord* unit) {
  AcDbObject* object = nullptr;
  try {
    if (!unit || unit->parts.empty() || unit->parts[0].blockRefId.isNull()) throw NoUnitObject();
    if (acdbOpenAcDbObject(object, unit->parts[0].blockRefId, AcDb::kForRead) != Acad::eOk ||
        !object) {
      object = nullptr;
      throw NoUnitObject();
    }
    readRecord(object, *unit);
    object->close();
    return 0;
  } catch (...) {
    if (object) object->close();
    reportCurrentException(kLoadFailed);
    return -1;
  }
}
