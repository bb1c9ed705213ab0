// The project file: one <DuctoraProject> element with the server settings, the ductwork
// (systems and duct series) and the parts. Numbers and vectors are attributes; a
// display list is hexadecimal text.
#include "du_project.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <tinyxml.h>
#include "xmldoc.h"
#include "du_text.h"

namespace {
const char* kRoot = "DuctoraProject";
const int kMaxProjectDepth = 16;

std::string attr(const TiXmlElement* e, const char* name) {
  const char* v = e->Attribute(name);
  return v ? v : "";
}

std::string text(const TiXmlElement* e) {
  const char* v = e ? e->GetText() : nullptr;
  return v ? v : "";
}

// Readers of one attribute: a missing attribute keeps the default; a malformed one fails.
struct Reader {
  std::string error;
  void fail(const TiXmlElement* e, const char* name) {
    if (error.empty())
      error = std::string("attribute \"") + name + "\" of <" + e->Value() + "> on line " +
              std::to_string(e->Row()) + " is not valid";
  }
  void getInt(const TiXmlElement* e, const char* name, int& v) {
    if (e->Attribute(name) && !du_parse_int(attr(e, name), v)) fail(e, name);
  }
  void getLong(const TiXmlElement* e, const char* name, long& v) {
    double d;
    if (!e->Attribute(name)) return;
    if (!du_parse_double(attr(e, name), d) || d < 0 || d > 2147483647.0 || d != long(d))
      fail(e, name);
    else
      v = long(d);
  }
  void getBool(const TiXmlElement* e, const char* name, bool& v) {
    if (!e->Attribute(name)) return;
    std::string t = attr(e, name);
    if (t == "1" || t == "true") v = true;
    else if (t == "0" || t == "false") v = false;
    else fail(e, name);
  }
  void getDouble(const TiXmlElement* e, const char* name, double& v) {
    if (e->Attribute(name) && !du_parse_double(attr(e, name), v)) fail(e, name);
  }
  void getVec(const TiXmlElement* e, const char* name, DuVec& v) {
    if (e->Attribute(name) && !du_parse_vec(attr(e, name), v)) fail(e, name);
  }
  void getList(const TiXmlElement* e, const char* name, std::vector<double>& v) {
    if (e->Attribute(name) && !du_parse_numbers(attr(e, name), 8, v)) fail(e, name);
  }
  void getHandle(const TiXmlElement* e, const char* name, std::string& v) {
    if (!e->Attribute(name) || attr(e, name).empty()) return;
    if (!du_normalize_handle(attr(e, name), v)) fail(e, name);
  }
};

void readConnection(Reader& r, const TiXmlElement* e, DuConnection& c) {
  r.getVec(e, "position", c.position);
  r.getVec(e, "direction", c.direction);
  r.getVec(e, "normal", c.normal);
  r.getInt(e, "shape", c.shape);
  r.getInt(e, "width", c.width);
  r.getInt(e, "height", c.height);
  r.getInt(e, "diameter", c.diameter);
  r.getHandle(e, "connectedTo", c.connectedTo);
}

void readPart(Reader& r, const TiXmlElement* e, DuPart& p) {
  if (!du_normalize_handle(attr(e, "handle"), p.handle)) r.fail(e, "handle");
  p.className = attr(e, "class");
  p.typeDefine = attr(e, "type");
  r.getInt(e, "system", p.systemId);
  r.getInt(e, "systemType", p.systemTypeId);
  r.getDouble(e, "pressure", p.pressure);
  r.getDouble(e, "airflow", p.airflow);
  r.getVec(e, "position", p.position);
  r.getVec(e, "direction", p.direction);
  r.getVec(e, "normal", p.normal);
  p.functionName = attr(e, "function");
  r.getHandle(e, "parent", p.parentPart);
  p.partList = attr(e, "partList");
  p.moveBehaviour = attr(e, "move");
  if (e->Attribute("layer")) p.layer = attr(e, "layer");
  p.blockName = attr(e, "block");
  p.productCode = attr(e, "productCode");
  p.description = attr(e, "description");
  p.customPartType = attr(e, "customPartType");
  r.getList(e, "soundGeneration", p.soundGeneration);
  r.getList(e, "soundAttenuation", p.soundAttenuation);
  p.serieId = attr(e, "serie");
  r.getInt(e, "shape", p.shape);
  r.getInt(e, "width", p.width);
  r.getInt(e, "height", p.height);
  r.getInt(e, "diameter", p.diameter);
  r.getDouble(e, "bend", p.bendCoefficient);
  r.getBool(e, "lockedSize", p.lockedSize);
  for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    std::string name = c->Value();
    if (name == "Connection") {
      p.connections.emplace_back();
      readConnection(r, c, p.connections.back());
    } else if (name == "Linetypedef") {
      p.linetypeDef = text(c);
    } else if (name == "gm_model") {
      if (!du_parse_hex(text(c), p.gmModel)) r.fail(c, "text");
    }
  }
}

void readProject(Reader& r, const TiXmlElement* root, DuProject& p) {
  r.getLong(root, "version", p.version);
  r.getBool(root, "open", p.open);
  if (const TiXmlElement* s = root->FirstChildElement("Server")) {
    r.getBool(s, "drawingObject", p.drawingObject);
    r.getBool(s, "applicationObject", p.applicationObject);
  }
  if (const TiXmlElement* d = root->FirstChildElement("Ductwork")) {
    for (const TiXmlElement* e = d->FirstChildElement("System"); e; e = e->NextSiblingElement("System")) {
      DuSystem s;
      if (!du_parse_int(attr(e, "id"), s.id)) r.fail(e, "id");
      s.typeId = attr(e, "typeId");
      int t;
      if (!du_parse_int(s.typeId, t)) r.fail(e, "typeId");
      s.name = attr(e, "name");
      p.systems.push_back(s);
    }
    for (const TiXmlElement* e = d->FirstChildElement("DuctSerie"); e; e = e->NextSiblingElement("DuctSerie")) {
      DuSerie s;
      s.id = attr(e, "id");
      if (s.id.empty()) r.fail(e, "id");
      s.name = attr(e, "name");
      for (const TiXmlElement* z = e->FirstChildElement("Size"); z; z = z->NextSiblingElement("Size"))
        s.sizes.push_back(attr(z, "name"));
      p.series.push_back(s);
    }
  }
  if (const TiXmlElement* parts = root->FirstChildElement("Parts")) {
    for (const TiXmlElement* e = parts->FirstChildElement("Part"); e; e = e->NextSiblingElement("Part")) {
      DuPart part;
      readPart(r, e, part);
      p.parts.push_back(part);
    }
  }
}

void setIf(TiXmlElement* e, const char* name, const std::string& v) {
  if (!v.empty()) e->SetAttribute(name, v);
}

std::string joinList(const std::vector<double>& v) {
  std::string out;
  for (double d : v) out += (out.empty() ? "" : " ") + du_format_exact(d);
  return out;
}

TiXmlElement* writePart(const DuPart& p) {
  TiXmlElement* e = new TiXmlElement("Part");
  e->SetAttribute("handle", p.handle);
  e->SetAttribute("class", p.className);
  e->SetAttribute("type", p.typeDefine);
  e->SetAttribute("system", p.systemId);
  if (p.systemTypeId != -1) e->SetAttribute("systemType", p.systemTypeId);
  e->SetAttribute("pressure", du_format_exact(p.pressure));
  e->SetAttribute("airflow", du_format_exact(p.airflow));
  e->SetAttribute("position", du_format_vec(p.position));
  e->SetAttribute("direction", du_format_vec(p.direction));
  e->SetAttribute("normal", du_format_vec(p.normal));
  setIf(e, "function", p.functionName);
  setIf(e, "parent", p.parentPart);
  setIf(e, "partList", p.partList);
  setIf(e, "move", p.moveBehaviour);
  e->SetAttribute("layer", p.layer);
  setIf(e, "block", p.blockName);
  setIf(e, "productCode", p.productCode);
  setIf(e, "description", p.description);
  setIf(e, "customPartType", p.customPartType);
  setIf(e, "soundGeneration", joinList(p.soundGeneration));
  setIf(e, "soundAttenuation", joinList(p.soundAttenuation));
  if (!p.serieId.empty()) {
    e->SetAttribute("serie", p.serieId);
    e->SetAttribute("shape", p.shape);
    e->SetAttribute("width", p.width);
    e->SetAttribute("height", p.height);
    e->SetAttribute("diameter", p.diameter);
    e->SetAttribute("bend", du_format_exact(p.bendCoefficient));
    e->SetAttribute("lockedSize", p.lockedSize ? 1 : 0);
  }
  for (const DuConnection& c : p.connections) {
    TiXmlElement* ce = new TiXmlElement("Connection");
    ce->SetAttribute("position", du_format_vec(c.position));
    ce->SetAttribute("direction", du_format_vec(c.direction));
    ce->SetAttribute("normal", du_format_vec(c.normal));
    ce->SetAttribute("shape", c.shape);
    ce->SetAttribute("width", c.width);
    ce->SetAttribute("height", c.height);
    ce->SetAttribute("diameter", c.diameter);
    setIf(ce, "connectedTo", c.connectedTo);
    e->LinkEndChild(ce);
  }
  if (!p.linetypeDef.empty()) {
    TiXmlElement* l = new TiXmlElement("Linetypedef");
    l->LinkEndChild(new TiXmlText(p.linetypeDef));
    e->LinkEndChild(l);
  }
  if (!p.gmModel.empty()) {
    TiXmlElement* g = new TiXmlElement("gm_model");
    g->SetAttribute("bytes", int(p.gmModel.size()));
    g->LinkEndChild(new TiXmlText(du_hex(p.gmModel)));
    e->LinkEndChild(g);
  }
  return e;
}

std::string withoutExtension(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
    return path.substr(0, dot);
  return path;
}
}  // namespace

std::string du_project_path(const std::string& drawingPath) {
  if (drawingPath.empty()) return "";
  return withoutExtension(drawingPath) + ".ductora.xml";
}

std::string du_journal_path(const std::string& projectPath) {
  const std::string suffix = ".ductora.xml";
  if (projectPath.size() >= suffix.size() &&
      projectPath.compare(projectPath.size() - suffix.size(), suffix.size(), suffix) == 0)
    return projectPath.substr(0, projectPath.size() - suffix.size()) + ".ductora.log";
  return projectPath.empty() ? "" : projectPath + ".log";
}

int du_project_load(const std::string& path, DuProject& project, std::string& error) {
  project = DuProject();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return 1;
  std::string content;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::strerror(errno);
    return -1;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) {
    error = "cannot read the file";
    return -1;
  }
  TiXmlDocument doc;
  XmlDocStatus status =
      xmldoc_parse(doc, content.data(), content.size(), kMaxProjectDepth, TIXML_ENCODING_UTF8);
  if (status.result == XMLDOC_TOO_DEEP) {
    error = "the file is nested too deeply to be a Ductora project";
    return -1;
  }
  if (status.result != XMLDOC_OK) {
    error = status.description + " (line " + std::to_string(doc.ErrorRow()) + ")";
    return -1;
  }
  const TiXmlElement* root = doc.RootElement();
  if (!root || std::strcmp(root->Value(), kRoot) != 0) {
    error = "the file is not a Ductora project";
    return -1;
  }
  Reader r;
  DuProject loaded;
  readProject(r, root, loaded);
  if (!r.error.empty()) {
    error = r.error;
    return -1;
  }
  project = loaded;
  return 0;
}

int du_project_save(const std::string& path, const DuProject& p, std::string& error) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
  TiXmlElement* root = new TiXmlElement(kRoot);
  doc.LinkEndChild(root);
  root->SetAttribute("version", int(p.version));
  root->SetAttribute("open", p.open ? 1 : 0);
  TiXmlElement* server = new TiXmlElement("Server");
  server->SetAttribute("drawingObject", p.drawingObject ? 1 : 0);
  server->SetAttribute("applicationObject", p.applicationObject ? 1 : 0);
  root->LinkEndChild(server);
  TiXmlElement* ductwork = new TiXmlElement("Ductwork");
  root->LinkEndChild(ductwork);
  for (const DuSystem& s : p.systems) {
    TiXmlElement* e = new TiXmlElement("System");
    e->SetAttribute("id", s.id);
    e->SetAttribute("typeId", s.typeId);
    e->SetAttribute("name", s.name);
    ductwork->LinkEndChild(e);
  }
  for (const DuSerie& s : p.series) {
    TiXmlElement* e = new TiXmlElement("DuctSerie");
    e->SetAttribute("id", s.id);
    e->SetAttribute("name", s.name);
    for (const std::string& size : s.sizes) {
      TiXmlElement* z = new TiXmlElement("Size");
      z->SetAttribute("name", size);
      e->LinkEndChild(z);
    }
    ductwork->LinkEndChild(e);
  }
  TiXmlElement* parts = new TiXmlElement("Parts");
  root->LinkEndChild(parts);
  for (const DuPart& part : p.parts) parts->LinkEndChild(writePart(part));

  std::string temp = path + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back(0);
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  ::fchmod(fd, 0644);
  FILE* f = ::fdopen(fd, "w");
  if (!f) {
    error = std::strerror(errno);
    ::close(fd);
    ::unlink(name.data());
    return -1;
  }
  bool ok = doc.SaveFile(f);
  ok = (std::fflush(f) == 0) && ok;
  ok = (::fsync(fileno(f)) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || ::rename(name.data(), path.c_str()) != 0) {
    error = std::strerror(errno ? errno : EIO);
    ::unlink(name.data());
    return -1;
  }
  return 0;
}

DuPart* du_find_part(DuProject& project, const std::string& handle) {
  for (DuPart& p : project.parts)
    if (p.handle == handle) return &p;
  return nullptr;
}

const DuSystem* du_find_system(const DuProject& project, int id) {
  for (const DuSystem& s : project.systems)
    if (s.id == id) return &s;
  return nullptr;
}

DuSerie* du_find_serie(DuProject& project, const std::string& id) {
  for (DuSerie& s : project.series)
    if (s.id == id) return &s;
  return nullptr;
}
