// The server's methods: project upkeep around each call, and the journal line of each.
#include <cmath>
#include <cstdio>
#include <new>
#include <unistd.h>
#include "du_internal.h"
#include "du_text.h"
#include "standin.h"

namespace {
void statFile(const std::string& path, int64_t& stamp, int64_t& size) {
  if (!standin::fileStamp(path, stamp, size)) {
    stamp = -1;
    size = -1;
  }
}

void takeRefusals(DuServer& s) {
  std::string error;
  DuRefusals rules;
  du_parse_refusals(s.project.refuse, rules, error);  // the project reader checked them
  s.refusals = rules;
  s.calls = 0;
}

void loadProject(DuServer& s, const std::string& path) {
  s.projectPath = path;
  s.projectBroken = false;
  s.brokenReason.clear();
  s.loaded = true;
  s.dirty = false;
  if (path.empty()) {
    s.project = DuProject();
    s.fileStamp = s.fileSize = -1;
  } else {
    std::string error;
    if (du_project_load(path, s.project, error) < 0) {
      s.projectBroken = true;
      s.brokenReason = "The Ductora project file " + path + " cannot be read: " + error + ".";
    }
    statFile(path, s.fileStamp, s.fileSize);
  }
  statFile(s.drawingPath, s.drawingStamp, s.drawingSize);
  takeRefusals(s);
}

// A relative drawing name is taken from the folder current now: modules may change the
// current folder later, and the project must stay beside its drawing.
// Rooted at "/" or "\\", or at a drive ("C:\\", as Windows names the drawing).
bool isAbsolutePath(const std::string& path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() > 2 && std::isalpha((unsigned char)path[0]) && path[1] == ':' &&
         (path[2] == '/' || path[2] == '\\');
}

std::string absoluteProjectPath(const std::string& drawing) {
  std::string path = du_project_path(drawing);
  if (!path.empty() && !isAbsolutePath(path)) {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
  }
  return path;
}

std::string num(double v) { return du_format_number(v); }
std::string vec(const DuVec& v) { return num(v.x) + "," + num(v.y) + "," + num(v.z); }

// Start of a counted call: lastError is about this call only.
void begin(DuServer& s) {
  s.lastError.clear();
  du_sync(s);
  ++s.calls;
}

long finish(DuServer& s, std::string line, long result, const std::string& out = "") {
  line += " -> ";
  line += std::to_string(result);
  if (!out.empty()) {
    line += ' ';
    line += out;
  }
  if (result != DU_OK) {
    line += " error=";
    du_journal_quote(line, s.lastError);
  }
  du_journal(s, line);
  return result;
}

// A get or set call's journal line up to its value: built in one text, as there is one
// line per call.
std::string callLine(const char* method, const std::string& handle, const std::string& query) {
  std::string line;
  line.reserve(96 + handle.size() + query.size());
  line += method;
  line += " handle=";
  du_journal_quote(line, handle);
  line += " query=";
  du_journal_quote(line, query);
  return line;
}

std::string quoted(const char* name, const std::string& value) {
  std::string out = name;
  du_journal_quote(out, value);
  return out;
}

// Get and set calls: the refusal rules see the method and the query.
long query(DuServer& s, const char* method, const std::string& handle, const std::string& q, DuValue& v, bool set) {
  long rc = du_refusal(s, method, q);
  if (rc != DU_OK) return rc;
  return set ? du_query_set(s, handle, q, v) : du_query_get(s, handle, q, v);
}
}  // namespace

DuServer::~DuServer() { du_journal_close(*this); }

void du_sync(DuServer& s) {
  const std::string drawing = s.hooks.drawingPath ? s.hooks.drawingPath() : "";
  if (!s.loaded) {
    s.drawingPath = drawing;
    loadProject(s, absoluteProjectPath(drawing));
    return;
  }
  if (drawing != s.drawingPath) {
    // The drawing has a new name without a save through the host's editor: a project
    // waiting beside the new name is its project; otherwise this one goes along.
    const std::string path = absoluteProjectPath(drawing);
    s.drawingPath = drawing;
    if (s.projectBroken || path.empty() || ::access(path.c_str(), F_OK) == 0) {
      loadProject(s, path);
    } else {
      s.projectPath = path;
      s.dirty = true;
    }
    return;
  }
  if (s.dirty || s.projectPath.empty()) return;
  int64_t stamp, size, drawingStamp, drawingSize;
  statFile(s.projectPath, stamp, size);
  statFile(s.drawingPath, drawingStamp, drawingSize);
  if ((stamp != s.fileStamp || size != s.fileSize) && drawingStamp == s.drawingStamp && drawingSize == s.drawingSize)
    loadProject(s, s.projectPath);
}

void du_reset(DuServer& s) {
  s.loaded = false;
  s.dirty = false;
  s.drawingPath.clear();
  s.project = DuProject();
  s.projectPath.clear();
  s.projectBroken = false;
  s.refusals = DuRefusals();
  s.calls = 0;
}

long du_save(DuServer& s) {
  if (s.projectBroken) return du_fail(s, DU_NO_PROJECT, s.brokenReason);
  if (s.projectPath.empty()) return DU_OK;
  std::string error;
  if (du_project_save(s.projectPath, s.project, error) != 0)
    return du_fail(s, DU_SAVE, "The Ductora project file " + s.projectPath + " cannot be written: " + error + ".");
  s.dirty = false;
  statFile(s.projectPath, s.fileStamp, s.fileSize);
  statFile(s.drawingPath, s.drawingStamp, s.drawingSize);
  return DU_OK;
}

long du_drawing_saved(DuServer& s, const std::string& drawingPath) {
  s.lastError.clear();
  // The project that goes with the saved drawing is the one this session holds: never a
  // project waiting beside a new name, nor one another session wrote meanwhile.
  if (!s.loaded) du_sync(s);
  long rc;
  if (s.projectBroken) {
    // Nothing sound to write: an unreadable project is left as it is, and none is made.
    rc = du_fail(s, DU_NO_PROJECT, s.brokenReason);
  } else {
    s.drawingPath = drawingPath;
    s.projectPath = absoluteProjectPath(drawingPath);
    rc = du_save(s);
  }
  du_journal(s, "DrawingSaved path=" + du_journal_text(drawingPath) + " -> " + std::to_string(rc) +
                    (rc == DU_OK ? "" : " error=" + du_journal_text(s.lastError)));
  du_journal_flush(s);
  return rc;
}

long du_set_refusals(DuServer& s, const std::string& rules) {
  DuRefusals parsed;
  std::string error;
  if (!du_parse_refusals(rules, parsed, error)) return du_fail(s, DU_BAD_VALUE, "Refusal rules: " + error + ".");
  s.project.refuse = rules;
  s.refusals = parsed;
  s.calls = 0;
  s.dirty = true;
  return DU_OK;
}

long du_fail(DuServer& s, long code, const std::string& message) {
  s.lastError = message;
  return code;
}

long du_need_project(DuServer& s) {
  if (s.projectBroken) return du_fail(s, DU_NO_PROJECT, s.brokenReason);
  if (!s.project.open) return du_fail(s, DU_NO_PROJECT, "No Ductora project is open.");
  return DU_OK;
}

long du_refusal(DuServer& s, const std::string& method, const std::string& what) {
  const DuRefusal* rule = du_refused(s.refusals, s.calls, method, what);
  if (!rule) return DU_OK;
  return du_fail(s, DU_REFUSED, "Ductora refuses this call, as its project asks (refuse rule \"" + rule->text + "\").");
}

DuPart* du_live_part(DuServer& s, const std::string& handleText, long* code) {
  std::string handle;
  if (!du_normalize_handle(handleText, handle)) {
    *code = du_fail(s, DU_NO_OBJECT, "\"" + handleText.substr(0, 40) + "\" is not a drawing handle.");
    return nullptr;
  }
  DuPart* part = du_find_part(s.project, handle);
  if (!part) {
    *code = du_fail(s, DU_NO_OBJECT, "No Ductora part has the handle " + handle + ".");
    return nullptr;
  }
  if (s.hooks.entityAlive && !s.hooks.entityAlive(*part)) {
    *code = du_fail(s, DU_NO_OBJECT, "The Ductora part " + handle + " is no longer in the drawing.");
    return nullptr;
  }
  return part;
}

long du_add_part(DuServer& s, DuPart& part, std::string& handle) {
  std::string error;
  const std::string created = s.hooks.createEntity ? s.hooks.createEntity(part, error) : "";
  if (created.empty() || !du_normalize_handle(created, part.handle))
    return du_fail(s, DU_DRAWING, "The drawing refused the part's entity" +
                                      (error.empty() ? std::string(".") : ": " + error + "."));
  // A part recorded under this handle belonged to an entity the drawing no longer has
  // (a drawing that was not saved after its project was): the new entity takes it over.
  std::vector<DuPart>& parts = s.project.parts;
  for (size_t i = parts.size(); i-- > 0;)
    if (parts[i].handle == part.handle) parts.erase(parts.begin() + long(i));
  try {
    parts.push_back(part);
  } catch (const std::bad_alloc&) {
    if (s.hooks.eraseEntity) s.hooks.eraseEntity(part.handle);
    return du_fail(s, DU_NO_MEMORY, "Ductora ran out of memory for the part.");
  }
  s.dirty = true;
  handle = part.handle;
  return DU_OK;
}

long du_version(DuServer& s) {
  du_sync(s);
  const long v = s.project.version;
  du_journal(s, "Version -> " + std::to_string(v));
  return v;
}

std::string du_last_error(DuServer& s) {
  du_journal(s, "LastError -> " + du_journal_text(s.lastError));
  return s.lastError;
}

long du_get_string(DuServer& s, const std::string& handle, const std::string& q, std::string& value) {
  begin(s);
  DuValue v;
  v.kind = DU_TEXT;
  const long rc = query(s, "GetString", handle, q, v, false);
  if (rc == DU_OK) value = v.text;
  return finish(s, callLine("GetString", handle, q), rc, rc == DU_OK ? quoted("value=", value) : "");
}

long du_set_string(DuServer& s, const std::string& handle, const std::string& q, const std::string& value) {
  begin(s);
  DuValue v;
  v.kind = DU_TEXT;
  v.text = value;
  const long rc = query(s, "SetString", handle, q, v, true);
  std::string line = callLine("SetString", handle, q);
  line += " value=";
  du_journal_quote(line, value);
  return finish(s, std::move(line), rc);
}

long du_get_number(DuServer& s, const std::string& handle, const std::string& q, double& value) {
  begin(s);
  DuValue v;
  v.kind = DU_NUMBER;
  const long rc = query(s, "GetNumber", handle, q, v, false);
  if (rc == DU_OK) value = v.number;
  return finish(s, callLine("GetNumber", handle, q), rc, rc == DU_OK ? "value=" + num(value) : "");
}

long du_set_number(DuServer& s, const std::string& handle, const std::string& q, double value) {
  begin(s);
  DuValue v;
  v.kind = DU_NUMBER;
  v.number = value;
  const long rc = query(s, "SetNumber", handle, q, v, true);
  return finish(s, callLine("SetNumber", handle, q) + " value=" + num(value), rc);
}

long du_get_point(DuServer& s, const std::string& handle, const std::string& q, DuVec& value) {
  begin(s);
  DuValue v;
  v.kind = DU_POINT;
  const long rc = query(s, "GetPoint", handle, q, v, false);
  if (rc == DU_OK) value = v.point;
  return finish(s, callLine("GetPoint", handle, q), rc, rc == DU_OK ? "value=" + vec(value) : "");
}

long du_set_point(DuServer& s, const std::string& handle, const std::string& q, const DuVec& value) {
  begin(s);
  DuValue v;
  v.kind = DU_POINT;
  v.point = value;
  const long rc = query(s, "SetPoint", handle, q, v, true);
  return finish(s, callLine("SetPoint", handle, q) + " value=" + vec(value), rc);
}

long du_create_part(DuServer& s, const std::string& request, std::string& handle) {
  begin(s);
  const long rc = du_request_create_part(s, request, handle);
  return finish(s, "CreatePart request=" + du_journal_text(request), rc,
                rc == DU_OK ? "handle=" + du_journal_text(handle) : "");
}

long du_create_connection_stub(DuServer& s, const std::string& request, std::string& handle) {
  begin(s);
  const long rc = du_request_create_stub(s, request, handle);
  return finish(s, "CreateConnectionStub request=" + du_journal_text(request), rc,
                rc == DU_OK ? "handle=" + du_journal_text(handle) : "");
}

long du_manage_product_data(DuServer& s, const std::string& request) {
  begin(s);
  const long rc = du_request_product_data(s, request);
  return finish(s, "ManageProductData request=" + du_journal_text(request), rc);
}

long du_not_supported(DuServer& s, const std::string& method, const std::string& request) {
  begin(s);
  long rc = du_refusal(s, method, "");
  if (rc == DU_OK) rc = du_fail(s, DU_BAD_REQUEST, "Ductora does not carry out " + method + " here.");
  return finish(s, method + (request.empty() ? "" : " request=" + du_journal_text(request)), rc);
}

long du_refuse_call(DuServer& s, const std::string& method, long code, const std::string& message) {
  du_fail(s, code, message);
  du_journal(s, method + " -> " + std::to_string(code) + " error=" + du_journal_text(message));
  return code;
}

long du_alloc_binary(DuServer& s, long id, long size) {
  begin(s);
  long rc = du_refusal(s, "AllocBinary", "");
  auto it = s.binaries.find(id);
  const long replaced = it == s.binaries.end() ? 0 : long(it->second.bytes.size());
  if (rc != DU_OK) {
  } else if (size < 0 || size > kDuMaxBinarySize) {
    rc = du_fail(s, DU_BINARY, "A byte buffer of " + std::to_string(size) + " bytes cannot be made (0 to " +
                                   std::to_string(kDuMaxBinarySize) + " bytes).");
  } else if (s.binaryTotal - replaced + size > kDuMaxBinaryTotal) {
    rc = du_fail(s, DU_BINARY, "The open byte buffers would hold more than " + std::to_string(kDuMaxBinaryTotal) +
                                   " bytes together; free one first.");
  } else if (it == s.binaries.end() && s.binaries.size() >= kDuMaxBinaries) {
    rc = du_fail(s, DU_BINARY, "At most " + std::to_string(kDuMaxBinaries) + " byte buffers can be open at once.");
  } else {
    try {
      std::vector<uint8_t> bytes(size_t(size), 0);
      s.binaries[id].bytes.swap(bytes);
      s.binaryTotal += size - replaced;
    } catch (const std::bad_alloc&) {
      rc = du_fail(s, DU_NO_MEMORY, "Ductora has no memory for a byte buffer of " + std::to_string(size) + " bytes.");
    }
  }
  return finish(s, "AllocBinary id=" + std::to_string(id) + " size=" + std::to_string(size), rc);
}

long du_write_binary(DuServer& s, long id, long offset, const std::string& hexText) {
  begin(s);
  long rc = du_refusal(s, "WriteBinary", "");
  auto it = s.binaries.find(id);
  std::vector<uint8_t>* buffer = it == s.binaries.end() ? nullptr : &it->second.bytes;
  const size_t count = hexText.size() / 2;
  if (rc != DU_OK) {
  } else if (!buffer) {
    rc = du_fail(s, DU_BINARY, "There is no byte buffer " + std::to_string(id) + ".");
  } else if (hexText.size() % 2) {
    rc = du_fail(s, DU_BINARY, "Hexadecimal text must have an even number of digits.");
  } else if (offset < 0 || size_t(offset) > buffer->size() || count > buffer->size() - size_t(offset)) {
    rc = du_fail(s, DU_BINARY, std::to_string(count) + " bytes at offset " + std::to_string(offset) +
                                   " do not fit byte buffer " + std::to_string(id) + " of " +
                                   std::to_string(buffer->size()) + " bytes.");
  } else if (!du_parse_hex_into(hexText, buffer->data() + offset)) {
    rc = du_fail(s, DU_BINARY, "The text holds characters that are not hexadecimal digits.");
  }
  // The chunk's text is most of the line: made only when there is a journal to take it.
  std::string call = "WriteBinary id=" + std::to_string(id) + " offset=" + std::to_string(offset);
  if (du_journaling(s)) call += " hexText=" + du_journal_text(hexText);
  return finish(s, call, rc);
}

long du_free_binary(DuServer& s, long id) {
  begin(s);
  long rc = du_refusal(s, "FreeBinary", "");
  auto it = s.binaries.find(id);
  if (rc != DU_OK) {
  } else if (it == s.binaries.end()) {
    rc = du_fail(s, DU_BINARY, "There is no byte buffer " + std::to_string(id) + ".");
  } else {
    s.binaryTotal -= long(it->second.bytes.size());
    s.binaries.erase(it);
  }
  return finish(s, "FreeBinary id=" + std::to_string(id), rc);
}

long du_add_duct_end(DuServer& s, const DuVec& position, int systemId, double pressure, double airflow,
                     std::string& handle) {
  begin(s);
  long rc = du_need_project(s);
  if (rc == DU_OK) rc = du_refusal(s, "AddDuctEnd", "");
  if (rc == DU_OK && !du_find_system(s.project, systemId))
    rc = du_fail(s, DU_BAD_VALUE, "The project has no system " + std::to_string(systemId) + ".");
  if (rc == DU_OK && !(du_finite(position) && std::fabs(position.x) <= kDuMaxCoordinate &&
                       std::fabs(position.y) <= kDuMaxCoordinate && std::fabs(position.z) <= kDuMaxCoordinate))
    rc = du_fail(s, DU_BAD_VALUE, "A duct end lies within " + num(kDuMaxCoordinate) + " of the origin on each axis.");
  if (rc == DU_OK && !(pressure >= 0 && pressure <= kDuMaxFlow && airflow >= 0 && airflow <= kDuMaxFlow))
    rc = du_fail(s, DU_BAD_VALUE, "Pressure demand and airflow are numbers from 0 to " + num(kDuMaxFlow) + ".");
  if (rc == DU_OK) {
    DuPart part;
    part.className = "DURAPathwayConnector";
    part.typeDefine = "EWAPART_UNTYPEDFITTING";
    part.systemId = systemId;
    part.pressure = pressure;
    part.airflow = airflow;
    part.position = position;
    rc = du_add_part(s, part, handle);
  }
  return finish(s, "AddDuctEnd position=" + vec(position) + " system=" + std::to_string(systemId) +
                       " pressure=" + num(pressure) + " airflow=" + num(airflow),
                rc, rc == DU_OK ? "handle=" + du_journal_text(handle) : "");
}

void du_part_erased(DuServer& s, const std::string& handleText) {
  std::string handle, stubs;
  if (!du_normalize_handle(handleText, handle) || !s.hooks.eraseEntity) return;
  if (!s.loaded) du_sync(s);
  std::vector<std::string> children;
  for (const DuPart& p : s.project.parts)
    if (p.parentPart == handle && !p.functionName.empty() && (!s.hooks.entityAlive || s.hooks.entityAlive(p)))
      children.push_back(p.handle);
  for (const std::string& child : children) {
    s.hooks.eraseEntity(child);
    stubs += (stubs.empty() ? "" : " ") + child;
  }
  if (!stubs.empty())
    du_journal(s, "Erased handle=" + du_journal_text(handle) + " -> 0 stubs=" + du_journal_text(stubs));
}
