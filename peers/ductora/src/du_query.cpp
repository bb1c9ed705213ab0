// The query language: "/Name/Name[index]/..." paths, and "Count(path)" for the length of
// a list. Each known path is one row of a table with its getter and, where a value may be
// changed, its setter. A path is read with any method whose kind its value converts to.
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_map>
#include "du_internal.h"
#include "du_limits.h"
#include "du_text.h"

namespace {

struct ParsedQuery {
  std::string key;        // the path with every index replaced by "[]"
  std::vector<int> index;
};

bool nameChar(char c, bool first) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') return true;
  return !first && c >= '0' && c <= '9';
}

bool parsePath(const std::string& text, size_t pos, size_t end, ParsedQuery& q) {
  size_t segments = 0;
  while (pos < end) {
    if (text[pos] != '/' || ++segments > kDuMaxQuerySegments) return false;
    q.key += '/';
    ++pos;
    size_t start = pos;
    while (pos < end && nameChar(text[pos], pos == start)) q.key += text[pos++];
    if (pos == start) return false;
    if (pos < end && text[pos] == '[') {
      const size_t first = ++pos;
      long value = 0;
      while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos++] - '0');
        if (value > kDuMaxQueryIndex) return false;
      }
      if (pos == first || pos >= end || text[pos] != ']') return false;
      ++pos;
      q.key += "[]";
      q.index.push_back(int(value));
    }
  }
  return segments > 0;
}

bool parseQuery(const std::string& text, ParsedQuery& q) {
  if (text.empty() || text.size() > kDuMaxQueryLength) return false;
  const std::string count = "Count(";
  if (text.compare(0, count.size(), count) == 0) {
    if (text.back() != ')') return false;
    q.key = count;
    if (!parsePath(text, count.size(), text.size() - 1, q)) return false;
    q.key += ')';
    return true;
  }
  return parsePath(text, 0, text.size(), q);
}

struct Ctx {
  DuServer& server;
  DuPart* part;  // null for project queries
  const std::vector<int>& index;
};

typedef std::function<long(Ctx&, DuValue&)> Getter;
typedef std::function<long(Ctx&, const DuValue&)> Setter;

struct Field {
  const char* key;
  DuKind kind;
  Getter get;
  Setter set;           // null: read only
  bool redraw = false;  // a change is drawn into the part's entity
};

DuValue text(const std::string& t) {
  DuValue v;
  v.kind = DU_TEXT;
  v.text = t;
  return v;
}
DuValue number(double n) {
  DuValue v;
  v.kind = DU_NUMBER;
  v.number = n;
  return v;
}
DuValue point(const DuVec& p) {
  DuValue v;
  v.kind = DU_POINT;
  v.point = p;
  return v;
}

long outOfRange(Ctx& c, size_t which, size_t count, const char* list) {
  return du_fail(c.server, DU_NO_INDEX, "Index " + std::to_string(c.index[which]) + " is past the end of " +
                                            list + " (" + std::to_string(count) + " entries).");
}

// The list entry named by index `which`, or null after the refusal in *rc.
template <class T>
T* entry(Ctx& c, std::vector<T>& list, size_t which, const char* name, long* rc) {
  if (size_t(c.index[which]) >= list.size()) {
    *rc = outOfRange(c, which, list.size(), name);
    return nullptr;
  }
  return &list[size_t(c.index[which])];
}

long onlyFirst(Ctx& c, const char* what) {
  if (c.index[0] != 0)
    return du_fail(c.server, DU_NO_INDEX, std::string("A part has only one ") + what + " (index 0).");
  return DU_OK;
}

// Getters and setters of a few common shapes.
Field textField(const char* key, std::string DuPart::*member) {
  return {key, DU_TEXT, [member](Ctx& c, DuValue& v) { v = text(c.part->*member); return long(DU_OK); }, nullptr};
}
Field numberField(const char* key, int DuPart::*member) {
  return {key, DU_NUMBER, [member](Ctx& c, DuValue& v) { v = number(c.part->*member); return long(DU_OK); }, nullptr};
}

// A whole number as a double, checked before it is converted.
bool wholeNumber(double v, double lo, double hi) { return v >= lo && v <= hi && v == std::floor(v); }

long setFlow(Ctx& c, const DuValue& v, double DuPart::*member, const char* what) {
  if (!(v.number >= 0 && v.number <= kDuMaxFlow))
    return du_fail(c.server, DU_BAD_VALUE,
                   std::string("The ") + what + " must be a number from 0 to " + du_format_number(kDuMaxFlow) + ".");
  c.part->*member = v.number;
  return DU_OK;
}

long setPosition(Ctx& c, const DuValue& v) {
  const DuVec& p = v.point;
  if (!(std::fabs(p.x) <= kDuMaxCoordinate && std::fabs(p.y) <= kDuMaxCoordinate && std::fabs(p.z) <= kDuMaxCoordinate))
    return du_fail(c.server, DU_BAD_VALUE,
                   "A position lies within " + du_format_number(kDuMaxCoordinate) + " of the origin on each axis.");
  c.part->position = p;
  return DU_OK;
}

// The direction or the normal; the other one of the two must not lie along it.
long setDirection(Ctx& c, const DuValue& v, DuVec DuPart::*member, const DuVec DuPart::*other, const char* what) {
  const double length = du_length(v.point);
  if (!(length >= kDuMinVectorLength && length <= kDuMaxVectorLength))
    return du_fail(c.server, DU_BAD_VALUE, std::string("The ") + what + " must be a vector of length " +
                                               du_format_number(kDuMinVectorLength) + " to " +
                                               du_format_number(kDuMaxVectorLength) + ".");
  if (du_length(du_cross(du_unit(v.point), du_unit(c.part->*other))) < kDuParallel)
    return du_fail(c.server, DU_BAD_VALUE, "A part's normal cannot lie along its direction.");
  c.part->*member = v.point;
  return DU_OK;
}

long setPartList(Ctx& c, const DuValue& v) {
  // Handles separated by single spaces, each a connection stub made on this part; one the
  // drawing has erased since still counts (the package keeps what its part had).
  std::string list;
  size_t pos = 0;
  const std::string& t = v.text;
  while (pos < t.size()) {
    size_t end = t.find(' ', pos);
    if (end == std::string::npos) end = t.size();
    std::string handle;
    if (!du_normalize_handle(t.substr(pos, end - pos), handle))
      return du_fail(c.server, DU_BAD_VALUE, "A product package lists drawing handles separated by single spaces.");
    const DuPart* member = du_find_part(c.server.project, handle);
    if (!member || member->functionName.empty() || member->parentPart != c.part->handle)
      return du_fail(c.server, DU_BAD_VALUE, "The package of " + c.part->handle + " cannot list " + handle + ": " +
                                                 (member ? "it is not a connection stub made on " + c.part->handle
                                                         : std::string("no Ductora part has that handle")) +
                                                 " (/Part/Package/PartList).");
    list += (list.empty() ? "" : " ") + handle;
    pos = end + 1;
    if (end < t.size() && pos == t.size())
      return du_fail(c.server, DU_BAD_VALUE, "A product package lists drawing handles separated by single spaces.");
  }
  c.part->partList = list;
  return DU_OK;
}

long setMove(Ctx& c, const DuValue& v) {
  if (v.text != "All" && v.text != "None")
    return du_fail(c.server, DU_BAD_VALUE, "The MOVE behaviour of a package is \"All\" or \"None\".");
  c.part->moveBehaviour = v.text;
  return DU_OK;
}

// *Model_Space, *Paper_Space, *Paper_Space0 ... in any letter case.
bool layoutBlock(const std::string& name) {
  std::string upper;
  for (char ch : name) upper += char(std::toupper((unsigned char)ch));
  return upper == "*MODEL_SPACE" || upper.compare(0, 12, "*PAPER_SPACE") == 0;
}

long setBlockName(Ctx& c, const DuValue& v) {
  long rc = onlyFirst(c, "geometry source");
  if (rc != DU_OK) return rc;
  if (v.text.empty() || v.text.size() > kDuMaxUserText ||
      (c.server.hooks.blockExists && !c.server.hooks.blockExists(v.text)))
    return du_fail(c.server, DU_BAD_VALUE, "The drawing has no block \"" + v.text.substr(0, 80) + "\".");
  if (layoutBlock(v.text))
    return du_fail(c.server, DU_BAD_VALUE, "The block " + v.text + " is a layout of the drawing, not a part's geometry.");
  c.part->blockName = v.text;
  c.part->gmModel.clear();
  return DU_OK;
}

long setModelBuffer(Ctx& c, const DuValue& v) {
  long rc = onlyFirst(c, "geometry source");
  if (rc != DU_OK) return rc;
  // Buffer ids are the 32-bit LONGs of AllocBinary.
  auto it = wholeNumber(v.number, INT_MIN, INT_MAX) ? c.server.binaries.find(long(v.number)) : c.server.binaries.end();
  if (it == c.server.binaries.end())
    return du_fail(c.server, DU_BINARY, "There is no byte buffer " + du_format_number(v.number) + ".");
  const long id = it->first;
  if (it->second.bytes.empty() || it->second.bytes.size() % 28)
    return du_fail(c.server, DU_BINARY, "Byte buffer " + std::to_string(id) + " of " +
                                            std::to_string(it->second.bytes.size()) +
                                            " bytes is not a display list of 28-byte elements.");
  c.part->gmModel = it->second.bytes;
  c.part->blockName.clear();
  return DU_OK;
}

long setLinetypes(Ctx& c, const DuValue& v) {
  long rc = onlyFirst(c, "line type definition");
  if (rc != DU_OK) return rc;
  const std::string error = du_read_linetypes(v.text);
  if (!error.empty()) return du_fail(c.server, DU_BAD_VALUE, "The line type definition is refused: " + error);
  c.part->linetypeDef = v.text;
  return DU_OK;
}

long setSystem(Ctx& c, const DuValue& v) {
  const bool whole = wholeNumber(v.number, INT_MIN, INT_MAX);
  if (!whole || (v.number != -1 && !du_find_system(c.server.project, int(v.number))))
    return du_fail(c.server, DU_BAD_VALUE, "The project has no system " + du_format_number(v.number) + ".");
  c.part->systemId = int(v.number);
  return DU_OK;
}

long requireStub(Ctx& c) {
  if (c.part->functionName.empty())
    return du_fail(c.server, DU_BAD_QUERY, "The part " + c.part->handle + " is not a connection stub.");
  return DU_OK;
}

// Connection of a stub or duct.
DuConnection* connection(Ctx& c, long* rc) { return entry(c, c.part->connections, 0, "the part's connections", rc); }

const std::vector<Field>& projectFields() {
  static const std::vector<Field> fields = {
      {"Count(/Project/Ductwork/System)", DU_NUMBER,
       [](Ctx& c, DuValue& v) { v = number(double(c.server.project.systems.size())); return long(DU_OK); }, nullptr},
      {"Count(/Project/Ductwork/DuctSerie)", DU_NUMBER,
       [](Ctx& c, DuValue& v) { v = number(double(c.server.project.series.size())); return long(DU_OK); }, nullptr},
      {"Count(/Project/Ductwork/DuctSerie[]/Size)", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSerie* s = entry(c, c.server.project.series, 0, "the duct series", &rc);
         if (s) v = number(double(s->sizes.size()));
         return rc;
       }, nullptr},
      {"Count(/Project/Part)", DU_NUMBER,
       [](Ctx& c, DuValue& v) { v = number(double(c.server.project.parts.size())); return long(DU_OK); }, nullptr},
      {"/Project/Ductwork/System[]/ID", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSystem* s = entry(c, c.server.project.systems, 0, "the systems", &rc);
         if (s) v = number(s->id);
         return rc;
       }, nullptr},
      {"/Project/Ductwork/System[]/Type/ID", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSystem* s = entry(c, c.server.project.systems, 0, "the systems", &rc);
         if (s) v = text(s->typeId);
         return rc;
       }, nullptr},
      {"/Project/Ductwork/System[]/Name", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSystem* s = entry(c, c.server.project.systems, 0, "the systems", &rc);
         if (s) v = text(s->name);
         return rc;
       }, nullptr},
      {"/Project/Ductwork/DuctSerie[]/ID", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSerie* s = entry(c, c.server.project.series, 0, "the duct series", &rc);
         if (s) v = text(s->id);
         return rc;
       }, nullptr},
      {"/Project/Ductwork/DuctSerie[]/Name", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSerie* s = entry(c, c.server.project.series, 0, "the duct series", &rc);
         if (s) v = text(s->name);
         return rc;
       }, nullptr},
      {"/Project/Ductwork/DuctSerie[]/Size[]/Name", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         DuSerie* s = entry(c, c.server.project.series, 0, "the duct series", &rc);
         std::string* size = s ? entry(c, s->sizes, 1, "the serie's sizes", &rc) : nullptr;
         if (size) v = text(*size);
         return rc;
       }, nullptr},
  };
  return fields;
}

const std::vector<Field>& partFields() {
  static const std::vector<Field> fields = {
      textField("/Part/Class/Name", &DuPart::className),
      textField("/Part/Type/Define", &DuPart::typeDefine),
      {"/Part/System/ID", DU_NUMBER, [](Ctx& c, DuValue& v) { v = number(c.part->systemId); return long(DU_OK); },
       setSystem},
      {"/Part/System/Type/ID", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         const DuSystem* s = du_find_system(c.server.project, c.part->systemId);
         int type = c.part->systemTypeId;
         if (s) du_parse_int(s->typeId, type);
         v = number(type);
         return long(DU_OK);
       }, nullptr},
      {"/Part/p_SizingFlow/Pa", DU_NUMBER, [](Ctx& c, DuValue& v) { v = number(c.part->pressure); return long(DU_OK); },
       [](Ctx& c, const DuValue& v) { return setFlow(c, v, &DuPart::pressure, "pressure demand"); }},
      {"/Part/qv_SizingFlow/ls", DU_NUMBER, [](Ctx& c, DuValue& v) { v = number(c.part->airflow); return long(DU_OK); },
       [](Ctx& c, const DuValue& v) { return setFlow(c, v, &DuPart::airflow, "airflow"); }},
      {"/Part/Position/WCS", DU_POINT, [](Ctx& c, DuValue& v) { v = point(c.part->position); return long(DU_OK); },
       setPosition, true},
      {"/Part/Direction/WCS", DU_POINT, [](Ctx& c, DuValue& v) { v = point(c.part->direction); return long(DU_OK); },
       [](Ctx& c, const DuValue& v) { return setDirection(c, v, &DuPart::direction, &DuPart::normal, "direction"); },
       true},
      {"/Part/Normal/WCS", DU_POINT, [](Ctx& c, DuValue& v) { v = point(c.part->normal); return long(DU_OK); },
       [](Ctx& c, const DuValue& v) { return setDirection(c, v, &DuPart::normal, &DuPart::direction, "normal"); },
       true},
      {"/Part/ExternalPart/Function/Name", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = requireStub(c);
         if (rc == DU_OK) v = text(c.part->functionName);
         return rc;
       }, nullptr},
      textField("/Part/ParentPart", &DuPart::parentPart),
      {"/Part/Package/PartList", DU_TEXT, [](Ctx& c, DuValue& v) { v = text(c.part->partList); return long(DU_OK); },
       setPartList},
      {"/Part/Package/Behaviour/MOVE", DU_TEXT,
       [](Ctx& c, DuValue& v) { v = text(c.part->moveBehaviour); return long(DU_OK); }, setMove},
      {"/Part/Geometry/Source[]/Block/Name", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = onlyFirst(c, "geometry source");
         if (rc == DU_OK) v = text(c.part->blockName);
         return rc;
       }, setBlockName, true},
      {"/Part/Geometry/Source[]/gm_model/binvar", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = onlyFirst(c, "geometry source");
         if (rc == DU_OK) v = number(double(c.part->gmModel.size()));
         return rc;
       }, setModelBuffer, true},
      {"/Part/Geometry/Linetypedef[]", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = onlyFirst(c, "line type definition");
         if (rc == DU_OK) v = text(c.part->linetypeDef);
         return rc;
       }, setLinetypes},
      textField("/Part/Geometry/Layer/Name", &DuPart::layer),
      textField("/Part/Productcode", &DuPart::productCode),
      textField("/Part/Description", &DuPart::description),
      textField("/Part/CustomPartType", &DuPart::customPartType),
      textField("/Part/Serie/ID", &DuPart::serieId),
      numberField("/Part/Shape/ID", &DuPart::shape),
      numberField("/Part/Width", &DuPart::width),
      numberField("/Part/Height", &DuPart::height),
      numberField("/Part/Diameter", &DuPart::diameter),
      {"Count(/Part/Connection)", DU_NUMBER,
       [](Ctx& c, DuValue& v) { v = number(double(c.part->connections.size())); return long(DU_OK); }, nullptr},
      {"/Part/Connection[]/ConnectedTo", DU_TEXT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = text(k->connectedTo);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Position/WCS", DU_POINT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = point(k->position);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Direction/WCS", DU_POINT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = point(k->direction);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Normal/WCS", DU_POINT,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = point(k->normal);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Shape/ID", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = number(k->shape);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Width", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = number(k->width);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Height", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = number(k->height);
         return rc;
       }, nullptr},
      {"/Part/Connection[]/Diameter", DU_NUMBER,
       [](Ctx& c, DuValue& v) {
         long rc = DU_OK;
         if (DuConnection* k = connection(c, &rc)) v = number(k->diameter);
         return rc;
       }, nullptr},
  };
  return fields;
}

// Finds the row of the query for the handle's scope; DU_OK, or a refusal.
// The row of a query key in a table, or null (one lookup, however long the table).
const Field* rowOf(const std::vector<Field>& fields, const std::string& key) {
  static std::unordered_map<const std::vector<Field>*, std::unordered_map<std::string, const Field*>> index;
  auto& rows = index[&fields];
  if (rows.empty())
    for (const Field& f : fields) rows[f.key] = &f;
  auto it = rows.find(key);
  return it == rows.end() ? nullptr : it->second;
}

long resolve(DuServer& s, const std::string& handle, const std::string& query, ParsedQuery& q,
             const Field*& field, DuPart*& part) {
  field = nullptr;
  part = nullptr;
  if (!parseQuery(query, q))
    return du_fail(s, DU_BAD_QUERY, "\"" + query.substr(0, 80) + "\" is not a Ductora query.");
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  const bool projectQuery = handle.empty();
  field = rowOf(projectQuery ? projectFields() : partFields(), q.key);
  if (!field) {
    if (rowOf(projectQuery ? partFields() : projectFields(), q.key))
      return du_fail(s, DU_BAD_QUERY, projectQuery ? "The query " + query + " needs the handle of a part."
                                                   : "The query " + query + " takes the empty handle.");
    return du_fail(s, DU_BAD_QUERY, "Ductora does not know the query " + query + ".");
  }
  if (!projectQuery) {
    part = du_live_part(s, handle, &rc);
    if (!part) return rc;
  }
  return DU_OK;
}

// Converts between kinds: numbers read as text, texts that hold a number read as numbers.
long convert(DuServer& s, const std::string& query, const DuValue& from, DuKind to, DuValue& out) {
  if (from.kind == to) {
    out = from;
    return DU_OK;
  }
  out = DuValue();
  out.kind = to;
  if (to == DU_TEXT && from.kind == DU_NUMBER) {
    out.text = du_format_number(from.number);
    return DU_OK;
  }
  if (to == DU_TEXT && from.kind == DU_POINT) {
    out.text = du_format_number(from.point.x) + " " + du_format_number(from.point.y) + " " +
               du_format_number(from.point.z);
    return DU_OK;
  }
  if (to == DU_NUMBER && from.kind == DU_TEXT) {
    if (du_parse_double(from.text, out.number)) return DU_OK;
    return du_fail(s, DU_BAD_VALUE, "The value of " + query + " is not a number.");
  }
  if (to == DU_POINT && from.kind == DU_TEXT) {
    if (du_parse_vec(from.text, out.point)) return DU_OK;
    return du_fail(s, DU_BAD_VALUE, "The value of " + query + " is not a point.");
  }
  return du_fail(s, DU_BAD_VALUE, to == DU_POINT ? "The value of " + query + " is not a point."
                                                 : "The value of " + query + " is a point, not a number.");
}
}  // namespace

long du_query_get(DuServer& s, const std::string& handle, const std::string& query, DuValue& value) {
  ParsedQuery q;
  const Field* field;
  DuPart* part;
  long rc = resolve(s, handle, query, q, field, part);
  if (rc != DU_OK) return rc;
  Ctx c{s, part, q.index};
  DuValue raw;
  rc = field->get(c, raw);
  if (rc != DU_OK) return rc;
  DuKind wanted = value.kind;
  return convert(s, query, raw, wanted, value);
}

long du_query_set(DuServer& s, const std::string& handle, const std::string& query, const DuValue& value) {
  ParsedQuery q;
  const Field* field;
  DuPart* part;
  long rc = resolve(s, handle, query, q, field, part);
  if (rc != DU_OK) return rc;
  if (!field->set) return du_fail(s, DU_BAD_QUERY, "The value of " + query + " cannot be changed.");
  DuValue given;
  rc = convert(s, query, value, field->kind, given);
  if (rc != DU_OK) return rc;
  if (field->kind == DU_NUMBER && !std::isfinite(given.number))
    return du_fail(s, DU_BAD_VALUE, "The value for " + query + " is not a finite number.");
  if (field->kind == DU_POINT && !(std::isfinite(given.point.x) && std::isfinite(given.point.y) &&
                                   std::isfinite(given.point.z)))
    return du_fail(s, DU_BAD_VALUE, "The point for " + query + " is not finite.");
  Ctx c{s, part, q.index};
  if (!field->redraw) {
    rc = field->set(c, given);
    if (rc == DU_OK) s.dirty = true;
    return rc;
  }
  // Geometry and placement are drawn into the part's entity; when the drawing refuses,
  // the part stays as it was.
  DuPart before = *part;
  rc = field->set(c, given);
  std::string error;
  if (rc == DU_OK && s.hooks.updateEntity && !s.hooks.updateEntity(*part, error)) {
    *part = std::move(before);
    return du_fail(s, DU_DRAWING, "The drawing refused the part's new geometry" +
                                      (error.empty() ? std::string(".") : ": " + error + "."));
  }
  if (rc == DU_OK) s.dirty = true;
  return rc;
}
