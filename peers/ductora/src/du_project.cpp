// The project file: one <DuctoraProject> element with the server settings, the ductwork
// (systems and duct series) and the parts. One table per element names its attributes,
// their kinds and ranges; the reader and the writer both work from it. A display list is
// hexadecimal text, a line-type definition the text of its element.
#include "du_project.h"
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <variant>
#include <tinyxml.h>
#include "du_limits.h"
#include "du_refuse.h"
#include "du_schema.h"
#include "du_text.h"
#include "standin.h"
#include "xmldoc.h"

namespace {
const char* kRoot = "DuctoraProject";

enum AttrKind {
  A_TEXT,    // any text
  A_DIGITS,  // text that is a whole number within [lo, hi]
  A_HANDLE,  // a drawing handle (stored normalised) or empty
  A_INT,
  A_LONG,
  A_BOOL,    // "1"/"true" or "0"/"false"
  A_REAL,
  A_POINT,   // each coordinate within kDuMaxCoordinate
  A_VECTOR,  // length within kDuMinVectorLength .. kDuMaxVectorLength
  A_BANDS,   // eight numbers within [lo, hi], or none
};

template <class T>
using Member = std::variant<std::string T::*, int T::*, long T::*, bool T::*, double T::*, DuVec T::*,
                            std::vector<double> T::*>;

// How an attribute is written and read.
enum AttrUse {
  OPTIONAL,  // written only when it differs from the default; a missing one is the default
  ALWAYS,    // written always; a missing one is the default
  REQUIRED,  // written always; a missing one makes the file unreadable
};

template <class T>
struct Attr {
  const char* name;
  AttrKind kind;
  Member<T> member;
  AttrUse use;
  double lo = 0, hi = 0;
};

template <class T>
const std::vector<Attr<T>>& table();

template <>
const std::vector<Attr<DuProject>>& table() {
  static const std::vector<Attr<DuProject>> t = {
      {"version", A_LONG, &DuProject::version, ALWAYS, 0, INT_MAX},
      {"open", A_BOOL, &DuProject::open, ALWAYS},
  };
  return t;
}

// The <Server> element's attributes are members of the project too.
const std::vector<Attr<DuProject>>& serverTable() {
  static const std::vector<Attr<DuProject>> t = {
      {"drawingObject", A_BOOL, &DuProject::drawingObject, ALWAYS},
      {"applicationObject", A_BOOL, &DuProject::applicationObject, ALWAYS},
      {"refuse", A_TEXT, &DuProject::refuse, OPTIONAL},
  };
  return t;
}

template <>
const std::vector<Attr<DuSystem>>& table() {
  static const std::vector<Attr<DuSystem>> t = {
      {"id", A_INT, &DuSystem::id, REQUIRED, INT_MIN, INT_MAX},
      {"typeId", A_DIGITS, &DuSystem::typeId, REQUIRED, 0, kDuMaxSystemTypeId},
      {"name", A_TEXT, &DuSystem::name, ALWAYS},
  };
  return t;
}

template <>
const std::vector<Attr<DuSerie>>& table() {
  static const std::vector<Attr<DuSerie>> t = {
      {"id", A_TEXT, &DuSerie::id, REQUIRED},
      {"name", A_TEXT, &DuSerie::name, ALWAYS},
  };
  return t;
}

template <>
const std::vector<Attr<DuConnection>>& table() {
  static const std::vector<Attr<DuConnection>> t = {
      {"position", A_POINT, &DuConnection::position, ALWAYS},
      {"direction", A_VECTOR, &DuConnection::direction, ALWAYS},
      {"normal", A_VECTOR, &DuConnection::normal, ALWAYS},
      {"shape", A_INT, &DuConnection::shape, ALWAYS, 0, 1},
      {"width", A_INT, &DuConnection::width, ALWAYS, 0, kDuMaxDuctSize},
      {"height", A_INT, &DuConnection::height, ALWAYS, 0, kDuMaxDuctSize},
      {"diameter", A_INT, &DuConnection::diameter, ALWAYS, 0, kDuMaxDuctSize},
      {"connectedTo", A_HANDLE, &DuConnection::connectedTo, OPTIONAL},
  };
  return t;
}

template <>
const std::vector<Attr<DuPart>>& table() {
  static const std::vector<Attr<DuPart>> t = {
      {"handle", A_HANDLE, &DuPart::handle, REQUIRED},
      {"class", A_TEXT, &DuPart::className, ALWAYS},
      {"type", A_TEXT, &DuPart::typeDefine, ALWAYS},
      {"system", A_INT, &DuPart::systemId, ALWAYS, INT_MIN, INT_MAX},
      {"systemType", A_INT, &DuPart::systemTypeId, OPTIONAL, -1, kDuMaxSystemTypeId},
      {"pressure", A_REAL, &DuPart::pressure, OPTIONAL, 0, kDuMaxFlow},
      {"airflow", A_REAL, &DuPart::airflow, OPTIONAL, 0, kDuMaxFlow},
      {"position", A_POINT, &DuPart::position, ALWAYS},
      {"direction", A_VECTOR, &DuPart::direction, ALWAYS},
      {"normal", A_VECTOR, &DuPart::normal, ALWAYS},
      {"function", A_TEXT, &DuPart::functionName, OPTIONAL},
      {"parent", A_HANDLE, &DuPart::parentPart, OPTIONAL},
      {"partList", A_TEXT, &DuPart::partList, OPTIONAL},
      {"move", A_TEXT, &DuPart::moveBehaviour, OPTIONAL},
      {"layer", A_TEXT, &DuPart::layer, ALWAYS},
      {"block", A_TEXT, &DuPart::blockName, OPTIONAL},
      {"productCode", A_TEXT, &DuPart::productCode, OPTIONAL},
      {"description", A_TEXT, &DuPart::description, OPTIONAL},
      {"customPartType", A_TEXT, &DuPart::customPartType, OPTIONAL},
      {"soundGeneration", A_BANDS, &DuPart::soundGeneration, OPTIONAL, kDuMinSound, kDuMaxSound},
      {"soundAttenuation", A_BANDS, &DuPart::soundAttenuation, OPTIONAL, kDuMinSound, kDuMaxSound},
      {"serie", A_TEXT, &DuPart::serieId, OPTIONAL},
      {"shape", A_INT, &DuPart::shape, OPTIONAL, 0, 1},
      {"width", A_INT, &DuPart::width, OPTIONAL, 0, kDuMaxDuctSize},
      {"height", A_INT, &DuPart::height, OPTIONAL, 0, kDuMaxDuctSize},
      {"diameter", A_INT, &DuPart::diameter, OPTIONAL, 0, kDuMaxDuctSize},
      {"bend", A_REAL, &DuPart::bendCoefficient, OPTIONAL, 0, kDuMaxBendCoefficient},
      {"lockedSize", A_BOOL, &DuPart::lockedSize, OPTIONAL},
  };
  return t;
}

bool inBox(const DuVec& v) {
  return std::fabs(v.x) <= kDuMaxCoordinate && std::fabs(v.y) <= kDuMaxCoordinate && std::fabs(v.z) <= kDuMaxCoordinate;
}

// One attribute's text into its member; false when it is not valid.
template <class T>
bool readAttr(const Attr<T>& a, const std::string& t, T& obj) {
  switch (a.kind) {
    case A_TEXT:
      if (!du_valid_utf8(t)) return false;
      obj.*std::get<std::string T::*>(a.member) = t;
      return true;
    case A_DIGITS: {
      int v;
      if (!du_parse_int(t, v) || v < a.lo || v > a.hi) return false;
      obj.*std::get<std::string T::*>(a.member) = std::to_string(v);
      return true;
    }
    case A_HANDLE: {
      std::string h;
      if (!t.empty() && !du_normalize_handle(t, h)) return false;
      obj.*std::get<std::string T::*>(a.member) = h;
      return true;
    }
    case A_INT: {
      int v;
      if (!du_parse_int(t, v) || v < a.lo || v > a.hi) return false;
      obj.*std::get<int T::*>(a.member) = v;
      return true;
    }
    case A_LONG: {
      int v;
      if (!du_parse_int(t, v) || v < a.lo || v > a.hi) return false;
      obj.*std::get<long T::*>(a.member) = v;
      return true;
    }
    case A_BOOL:
      if (t != "1" && t != "true" && t != "0" && t != "false") return false;
      obj.*std::get<bool T::*>(a.member) = t == "1" || t == "true";
      return true;
    case A_REAL:
      return du_parse_ranged(t, a.lo, a.hi, obj.*std::get<double T::*>(a.member));
    case A_POINT:
    case A_VECTOR: {
      DuVec v;
      if (!du_parse_vec(t, v)) return false;
      const double length = du_length(v);
      if (a.kind == A_POINT ? !inBox(v) : !(length >= kDuMinVectorLength && length <= kDuMaxVectorLength)) return false;
      obj.*std::get<DuVec T::*>(a.member) = v;
      return true;
    }
    case A_BANDS: {
      std::vector<double> v;
      if (!t.empty() && !du_parse_numbers(t, 8, v)) return false;
      for (double d : v)
        if (d < a.lo || d > a.hi) return false;
      obj.*std::get<std::vector<double> T::*>(a.member) = v;
      return true;
    }
  }
  return false;
}

template <class T>
std::string writeAttr(const Attr<T>& a, const T& obj) {
  switch (a.kind) {
    case A_TEXT:
    case A_DIGITS:
    case A_HANDLE:
      return obj.*std::get<std::string T::*>(a.member);
    case A_INT:
      return std::to_string(obj.*std::get<int T::*>(a.member));
    case A_LONG:
      return std::to_string(obj.*std::get<long T::*>(a.member));
    case A_BOOL:
      return obj.*std::get<bool T::*>(a.member) ? "1" : "0";
    case A_REAL:
      return du_format_exact(obj.*std::get<double T::*>(a.member));
    case A_POINT:
    case A_VECTOR:
      return du_format_vec(obj.*std::get<DuVec T::*>(a.member));
    case A_BANDS: {
      std::string out;
      for (double d : obj.*std::get<std::vector<double> T::*>(a.member))
        out += (out.empty() ? "" : " ") + du_format_exact(d);
      return out;
    }
  }
  return "";
}

template <class T>
bool isDefault(const Attr<T>& a, const T& obj) {
  static const T fresh{};
  return std::visit([&](auto m) { return obj.*m == fresh.*m; }, a.member);
}

struct Reader {
  std::string error;
  void fail(const TiXmlElement* e, const std::string& what) {
    if (error.empty()) error = what + " of <" + e->Value() + "> on line " + std::to_string(e->Row()) + " is not valid";
  }
  template <class T>
  void attributes(const TiXmlElement* e, const std::vector<Attr<T>>& t, T& obj) {
    for (const Attr<T>& a : t) {
      const char* v = e->Attribute(a.name);
      if ((v && !readAttr(a, v, obj)) || (!v && a.use == REQUIRED)) fail(e, std::string("attribute \"") + a.name + "\"");
    }
  }
};

// The file is written straight into one text: a display list goes in as its hexadecimal
// digits without passing through a document and an escaping pass.
void escapeInto(std::string& out, const std::string& text, bool attribute) {
  for (unsigned char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      default:
        if (c < 0x20 && (attribute || (c != '\n' && c != '\t' && c != '\r'))) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "&#x%02X;", c);
          out += buf;
        } else {
          out += char(c);
        }
    }
  }
}

template <class T>
void writeAttributes(std::string& out, const std::vector<Attr<T>>& t, const T& obj) {
  for (const Attr<T>& a : t) {
    if (a.use == OPTIONAL && isDefault(a, obj)) continue;
    out += ' ';
    out += a.name;
    out += "=\"";
    escapeInto(out, writeAttr(a, obj), true);
    out += '"';
  }
}

std::string textOf(const TiXmlElement* e) {
  std::string out;
  for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling())
    if (const TiXmlText* t = n->ToText()) out += t->Value();
  return out;
}

void readPart(Reader& r, const TiXmlElement* e, DuPart& p) {
  r.attributes(e, table<DuPart>(), p);
  if (p.handle.empty()) r.fail(e, "attribute \"handle\"");  // present but empty
  for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
    const std::string name = c->Value();
    if (name == "Connection") {
      p.connections.emplace_back();
      r.attributes(c, table<DuConnection>(), p.connections.back());
    } else if (name == "Linetypedef") {
      p.linetypeDef = textOf(c);
      if (!du_valid_utf8(p.linetypeDef)) r.fail(c, "the text");
    } else if (name == "gm_model") {
      const std::string hex = textOf(c);
      if (hex.size() > size_t(kDuMaxBinarySize) * 2 || !du_parse_hex(hex, p.gmModel)) r.fail(c, "the display list");
    }
  }
}

void readProject(Reader& r, const TiXmlElement* root, DuProject& p) {
  r.attributes(root, table<DuProject>(), p);
  if (const TiXmlElement* s = root->FirstChildElement("Server")) {
    r.attributes(s, serverTable(), p);
    DuRefusals rules;
    std::string why;
    if (!du_parse_refusals(p.refuse, rules, why)) r.fail(s, "attribute \"refuse\" (" + why + ")");
  }
  if (const TiXmlElement* d = root->FirstChildElement("Ductwork")) {
    for (const TiXmlElement* e = d->FirstChildElement("System"); e; e = e->NextSiblingElement("System")) {
      p.systems.emplace_back();
      r.attributes(e, table<DuSystem>(), p.systems.back());
    }
    for (const TiXmlElement* e = d->FirstChildElement("DuctSerie"); e; e = e->NextSiblingElement("DuctSerie")) {
      p.series.emplace_back();
      r.attributes(e, table<DuSerie>(), p.series.back());
      if (p.series.back().id.empty()) r.fail(e, "attribute \"id\"");
      for (const TiXmlElement* z = e->FirstChildElement("Size"); z; z = z->NextSiblingElement("Size")) {
        const char* name = z->Attribute("name");
        p.series.back().sizes.push_back(name ? name : "");
        if (!du_valid_utf8(p.series.back().sizes.back())) r.fail(z, "attribute \"name\"");
      }
    }
  }
  if (const TiXmlElement* parts = root->FirstChildElement("Parts")) {
    for (const TiXmlElement* e = parts->FirstChildElement("Part"); e; e = e->NextSiblingElement("Part")) {
      p.parts.emplace_back();
      readPart(r, e, p.parts.back());
    }
  }
}

void writePart(std::string& out, const DuPart& p) {
  out += "    <Part";
  writeAttributes(out, table<DuPart>(), p);
  if (p.connections.empty() && p.linetypeDef.empty() && p.gmModel.empty()) {
    out += " />\n";
    return;
  }
  out += ">\n";
  for (const DuConnection& c : p.connections) {
    out += "      <Connection";
    writeAttributes(out, table<DuConnection>(), c);
    out += " />\n";
  }
  if (!p.linetypeDef.empty()) {
    out += "      <Linetypedef>";
    escapeInto(out, p.linetypeDef, false);
    out += "</Linetypedef>\n";
  }
  if (!p.gmModel.empty()) {
    out += "      <gm_model bytes=\"" + std::to_string(p.gmModel.size()) + "\">";
    du_append_hex(out, p.gmModel);
    out += "</gm_model>\n";
  }
  out += "    </Part>\n";
}

std::string withoutExtension(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) return path.substr(0, dot);
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

int du_project_parse(const std::string& text, DuProject& project, std::string& error) {
  project = DuProject();
  TiXmlDocument doc;
  XmlDocStatus status;
  {
    DuKeepWhiteSpace keep;  // a line-type definition keeps its text as written
    status = xmldoc_parse(doc, text.data(), text.size(), kDuMaxProjectDepth, TIXML_ENCODING_UTF8);
  }
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
  project = std::move(loaded);
  return 0;
}

int du_project_load(const std::string& path, DuProject& project, std::string& error) {
  project = DuProject();
  // Opened without waiting (a FIFO in the project's place would block the open for ever),
  // and only a plain file is read.
  FILE* f = standin::openPlainFile(path);
  if (!f && errno == ENOENT) return 1;
  if (!f) {
    error = errno == EINVAL ? "it is not a plain file" : std::strerror(errno);
    return -1;
  }
  std::string content;
  char buf[65536];
  size_t n;
  while (content.size() <= kDuMaxProjectSize && (n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) {
    error = "cannot read the file";
    return -1;
  }
  if (content.size() > kDuMaxProjectSize) {
    error = "the file is larger than a Ductora project can be";
    return -1;
  }
  return du_project_parse(content, project, error);
}

std::string du_project_text(const DuProject& p) {
  size_t size = 4096;
  for (const DuPart& part : p.parts) size += 1024 + 2 * part.gmModel.size() + 2 * part.linetypeDef.size();
  std::string out;
  out.reserve(size);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<";
  out += kRoot;
  writeAttributes(out, table<DuProject>(), p);
  out += ">\n  <Server";
  writeAttributes(out, serverTable(), p);
  out += " />\n  <Ductwork>\n";
  for (const DuSystem& s : p.systems) {
    out += "    <System";
    writeAttributes(out, table<DuSystem>(), s);
    out += " />\n";
  }
  for (const DuSerie& s : p.series) {
    out += "    <DuctSerie";
    writeAttributes(out, table<DuSerie>(), s);
    out += ">\n";
    for (const std::string& name : s.sizes) {
      out += "      <Size name=\"";
      escapeInto(out, name, true);
      out += "\" />\n";
    }
    out += "    </DuctSerie>\n";
  }
  out += "  </Ductwork>\n  <Parts>\n";
  for (const DuPart& part : p.parts) writePart(out, part);
  out += "  </Parts>\n</";
  out += kRoot;
  out += ">\n";
  return out;
}

int du_project_save(const std::string& path, const DuProject& p, std::string& error) {
  const std::string text = du_project_text(p);
  standin::SafeSave save;
  if (standin::safeSaveBegin(save, path, 0666) != 0 || !standin::writeAll(save.fd, text.data(), text.size())) {
    error = std::strerror(errno);
    standin::safeSaveAbort(save);
    return -1;
  }
  if (standin::safeSaveCommit(save) != 0) {
    error = std::strerror(errno);
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
