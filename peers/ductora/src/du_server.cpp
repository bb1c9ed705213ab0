// The server's methods: project upkeep around each call, and the journal line of each.
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include "du_internal.h"
#include "du_text.h"

namespace {
void statFile(const std::string& path, int64_t& stamp, int64_t& size) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    stamp = -1;
    size = -1;
    return;
  }
  stamp = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  size = int64_t(st.st_size);
}

void loadProject(DuServer& s, const std::string& path) {
  s.projectPath = path;
  s.projectBroken = false;
  s.brokenReason.clear();
  s.loaded = true;
  if (path.empty()) {
    s.project = DuProject();
    s.fileStamp = s.fileSize = -1;
    return;
  }
  std::string error;
  if (du_project_load(path, s.project, error) < 0) {
    s.projectBroken = true;
    s.brokenReason = "The Ductora project file " + path + " cannot be read: " + error + ".";
  }
  statFile(path, s.fileStamp, s.fileSize);
}

std::string num(double v) { return du_format_number(v); }
std::string vec(const DuVec& v) { return num(v.x) + "," + num(v.y) + "," + num(v.z); }

long finish(DuServer& s, const std::string& call, long result, const std::string& out = "") {
  std::string line = call + " -> " + std::to_string(result);
  if (!out.empty()) line += " " + out;
  if (result != DU_OK) line += " error=" + du_journal_text(s.lastError);
  du_journal(s, line);
  return result;
}

std::string args(const std::string& handle, const std::string& query) {
  return " handle=" + du_journal_text(handle) + " query=" + du_journal_text(query);
}
}  // namespace

void du_sync(DuServer& s) {
  std::string drawing = s.hooks.drawingPath ? s.hooks.drawingPath() : "";
  if (!s.loaded || drawing != s.drawingPath) {
    // A relative drawing name is taken from the folder current now: modules may change
    // the current folder later, and the project must stay beside its drawing.
    std::string path = du_project_path(drawing);
    if (!path.empty() && path[0] != '/') {
      char cwd[4096];
      if (::getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
    }
    // A drawing saved under a new name (or named for the first time) takes its project
    // along when no project waits beside the new name.
    bool carry = s.loaded && !s.projectBroken && !path.empty() && path != s.projectPath &&
                 ::access(path.c_str(), F_OK) != 0;
    s.drawingPath = drawing;
    if (carry) {
      std::string old = s.projectPath;
      s.projectPath = path;
      if (du_save(s) == DU_OK) return;
      s.projectPath = old;
    }
    loadProject(s, path);
    return;
  }
  const std::string& path = s.projectPath;
  int64_t stamp, size;
  statFile(path, stamp, size);
  if (stamp != s.fileStamp || size != s.fileSize) loadProject(s, path);
}

void du_reset(DuServer& s) {
  s.loaded = false;
  s.drawingPath.clear();
  s.project = DuProject();
  s.projectPath.clear();
  s.projectBroken = false;
}

long du_save(DuServer& s) {
  if (s.projectBroken) return du_fail(s, DU_NO_PROJECT, s.brokenReason);
  if (s.projectPath.empty()) return DU_OK;
  std::string error;
  if (du_project_save(s.projectPath, s.project, error) != 0)
    return du_fail(s, DU_SAVE, "The Ductora project file " + s.projectPath +
                                   " cannot be written: " + error + ".");
  statFile(s.projectPath, s.fileStamp, s.fileSize);
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

DuPart* du_live_part(DuServer& s, const std::string& handleText, long* code) {
  std::string handle;
  if (!du_normalize_handle(handleText, handle)) {
    *code = du_fail(s, DU_NO_OBJECT, "\"" + handleText + "\" is not a drawing handle.");
    return nullptr;
  }
  DuPart* part = du_find_part(s.project, handle);
  if (!part) {
    *code = du_fail(s, DU_NO_OBJECT, "No Ductora part has the handle " + handle + ".");
    return nullptr;
  }
  if (s.hooks.entityAlive && !s.hooks.entityAlive(handle)) {
    *code = du_fail(s, DU_NO_OBJECT, "The Ductora part " + handle + " is no longer in the drawing.");
    return nullptr;
  }
  return part;
}

long du_commit(DuServer& s, const DuProject& before) {
  long rc = du_save(s);
  if (rc != DU_OK) s.project = before;
  return rc;
}

long du_add_part(DuServer& s, DuPart& part, std::string& handle) {
  std::string error;
  std::string created = s.hooks.createEntity ? s.hooks.createEntity(part, error) : "";
  if (created.empty() || !du_normalize_handle(created, part.handle))
    return du_fail(s, DU_DRAWING, "The drawing refused the part's entity" +
                                      (error.empty() ? std::string(".") : ": " + error + "."));
  DuProject before = s.project;
  // A part recorded under this handle belonged to an entity the drawing no longer has
  // (a session that was not saved): the new entity takes the handle over.
  std::vector<DuPart>& parts = s.project.parts;
  for (size_t i = parts.size(); i-- > 0;)
    if (parts[i].handle == part.handle) parts.erase(parts.begin() + long(i));
  parts.push_back(part);
  long rc = du_commit(s, before);
  if (rc != DU_OK) {
    if (s.hooks.eraseEntity) s.hooks.eraseEntity(part.handle);
    return rc;
  }
  handle = part.handle;
  return DU_OK;
}

long du_version(DuServer& s) {
  du_sync(s);
  long v = s.project.version;
  du_journal(s, "Version -> " + std::to_string(v));
  return v;
}

std::string du_last_error(DuServer& s) {
  du_journal(s, "LastError -> " + du_journal_text(s.lastError));
  return s.lastError;
}

long du_get_string(DuServer& s, const std::string& handle, const std::string& query, std::string& value) {
  du_sync(s);
  DuValue v;
  v.kind = DU_TEXT;
  long rc = du_query_get(s, handle, query, v);
  if (rc == DU_OK) value = v.text;
  return finish(s, "GetString" + args(handle, query), rc,
                rc == DU_OK ? "value=" + du_journal_text(value) : "");
}

long du_set_string(DuServer& s, const std::string& handle, const std::string& query, const std::string& value) {
  du_sync(s);
  DuValue v;
  v.kind = DU_TEXT;
  v.text = value;
  long rc = du_query_set(s, handle, query, v);
  return finish(s, "SetString" + args(handle, query) + " value=" + du_journal_text(value), rc);
}

long du_get_number(DuServer& s, const std::string& handle, const std::string& query, double& value) {
  du_sync(s);
  DuValue v;
  v.kind = DU_NUMBER;
  long rc = du_query_get(s, handle, query, v);
  if (rc == DU_OK) value = v.number;
  return finish(s, "GetNumber" + args(handle, query), rc, rc == DU_OK ? "value=" + num(value) : "");
}

long du_set_number(DuServer& s, const std::string& handle, const std::string& query, double value) {
  du_sync(s);
  DuValue v;
  v.kind = DU_NUMBER;
  v.number = value;
  long rc = du_query_set(s, handle, query, v);
  return finish(s, "SetNumber" + args(handle, query) + " value=" + num(value), rc);
}

long du_get_point(DuServer& s, const std::string& handle, const std::string& query, DuVec& value) {
  du_sync(s);
  DuValue v;
  v.kind = DU_POINT;
  long rc = du_query_get(s, handle, query, v);
  if (rc == DU_OK) value = v.point;
  return finish(s, "GetPoint" + args(handle, query), rc, rc == DU_OK ? "value=" + vec(value) : "");
}

long du_set_point(DuServer& s, const std::string& handle, const std::string& query, const DuVec& value) {
  du_sync(s);
  DuValue v;
  v.kind = DU_POINT;
  v.point = value;
  long rc = du_query_set(s, handle, query, v);
  return finish(s, "SetPoint" + args(handle, query) + " value=" + vec(value), rc);
}

long du_create_part(DuServer& s, const std::string& request, std::string& handle) {
  du_sync(s);
  long rc = du_request_create_part(s, request, handle);
  return finish(s, "CreatePart request=" + du_journal_text(request), rc,
                rc == DU_OK ? "handle=" + du_journal_text(handle) : "");
}

long du_create_connection_stub(DuServer& s, const std::string& request, std::string& handle) {
  du_sync(s);
  long rc = du_request_create_stub(s, request, handle);
  return finish(s, "CreateConnectionStub request=" + du_journal_text(request), rc,
                rc == DU_OK ? "handle=" + du_journal_text(handle) : "");
}

long du_manage_product_data(DuServer& s, const std::string& request) {
  du_sync(s);
  long rc = du_request_product_data(s, request);
  return finish(s, "ManageProductData request=" + du_journal_text(request), rc);
}

long du_not_supported(DuServer& s, const std::string& method, const std::string& request) {
  du_sync(s);
  long rc = du_fail(s, DU_BAD_REQUEST, "Ductora does not carry out " + method + " here.");
  return finish(s, method + (request.empty() ? "" : " request=" + du_journal_text(request)), rc);
}

long du_alloc_binary(DuServer& s, long id, long size) {
  du_sync(s);
  long rc = DU_OK;
  if (size < 0 || size > kDuMaxBinarySize)
    rc = du_fail(s, DU_BINARY, "A byte buffer of " + std::to_string(size) +
                                   " bytes cannot be made (0 to " +
                                   std::to_string(kDuMaxBinarySize) + " bytes).");
  else
    s.binaries[id].bytes.assign(size_t(size), 0);
  return finish(s, "AllocBinary id=" + std::to_string(id) + " size=" + std::to_string(size), rc);
}

long du_write_binary(DuServer& s, long id, long offset, const std::string& hexText) {
  du_sync(s);
  long rc = DU_OK;
  auto it = s.binaries.find(id);
  std::vector<uint8_t> bytes;
  if (it == s.binaries.end()) {
    rc = du_fail(s, DU_BINARY, "There is no byte buffer " + std::to_string(id) + ".");
  } else if (hexText.size() % 2) {
    rc = du_fail(s, DU_BINARY, "Hexadecimal text must have an even number of digits.");
  } else if (!du_parse_hex(hexText, bytes)) {
    rc = du_fail(s, DU_BINARY, "The text holds characters that are not hexadecimal digits.");
  } else if (offset < 0 || size_t(offset) > it->second.bytes.size() ||
             bytes.size() > it->second.bytes.size() - size_t(offset)) {
    rc = du_fail(s, DU_BINARY, std::to_string(bytes.size()) + " bytes at offset " +
                                   std::to_string(offset) + " do not fit byte buffer " +
                                   std::to_string(id) + " of " +
                                   std::to_string(it->second.bytes.size()) + " bytes.");
  } else {
    std::copy(bytes.begin(), bytes.end(), it->second.bytes.begin() + offset);
  }
  return finish(s, "WriteBinary id=" + std::to_string(id) + " offset=" + std::to_string(offset) +
                       " hexText=" + du_journal_text(hexText), rc);
}

long du_free_binary(DuServer& s, long id) {
  du_sync(s);
  long rc = s.binaries.erase(id) ? long(DU_OK)
                                 : du_fail(s, DU_BINARY, "There is no byte buffer " + std::to_string(id) + ".");
  return finish(s, "FreeBinary id=" + std::to_string(id), rc);
}

long du_add_duct_end(DuServer& s, const DuVec& position, int systemId, double pressure,
                     double airflow, std::string& handle) {
  du_sync(s);
  long rc = du_need_project(s);
  if (rc == DU_OK && !du_find_system(s.project, systemId))
    rc = du_fail(s, DU_BAD_VALUE, "The project has no system " + std::to_string(systemId) + ".");
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
