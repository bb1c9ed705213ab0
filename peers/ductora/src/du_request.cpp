// The XML requests: <CreatePart> (custom parts and ducts), <CreateConnectionStub> and
// <ManageProductData>. Requests are read strictly: every element must be one Ductora
// knows at that place, appear once unless it is a list, and hold a valid value.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <tinyxml.h>
#include "xmldoc.h"
#include "du_internal.h"
#include "du_product.h"
#include "du_text.h"

namespace {
struct Req {
  DuServer& server;
  std::string error;  // the first fault found

  bool fail(const std::string& message) {
    if (error.empty()) error = message;
    return false;
  }

  // Checks that e's child elements are among `single` (at most once each) or `lists`.
  bool children(const TiXmlElement* e, std::initializer_list<const char*> single,
                std::initializer_list<const char*> lists = {}) {
    std::vector<std::string> seen;
    for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
      std::string name = c->Value();
      bool known = false;
      for (const char* l : lists) known = known || name == l;
      if (known) continue;
      for (const char* s : single) known = known || name == s;
      if (!known) return fail("Ductora does not know the element <" + name + "> in <" + e->Value() + ">.");
      for (const std::string& n : seen)
        if (n == name) return fail("The element <" + name + "> appears twice in <" + e->Value() + ">.");
      seen.push_back(name);
    }
    return true;
  }

  // The element at a path of single children below e ("A/B"), or null.
  const TiXmlElement* at(const TiXmlElement* e, const char* path) {
    std::string p = path;
    size_t pos = 0;
    while (e && pos <= p.size()) {
      size_t end = p.find('/', pos);
      if (end == std::string::npos) end = p.size();
      e = e->FirstChildElement(p.substr(pos, end - pos).c_str());
      pos = end + 1;
    }
    return e;
  }

  // The text of a leaf at path; false (with a message) when missing and required.
  bool leaf(const TiXmlElement* e, const char* path, bool required, std::string& out) {
    const TiXmlElement* l = at(e, path);
    if (!l) return required ? fail(std::string("The request lacks <") + path + ">.") : true;
    if (l->FirstChildElement()) return fail(std::string("<") + path + "> must hold a value, not elements.");
    const char* t = l->GetText();
    out = t ? t : "";
    return true;
  }

  bool integer(const TiXmlElement* e, const char* path, bool required, int& out) {
    std::string t;
    if (!leaf(e, path, required, t)) return false;
    if (!at(e, path)) return true;
    if (!du_parse_int(t, out)) return fail(std::string("<") + path + "> must be a whole number.");
    return true;
  }

  bool real(const TiXmlElement* e, const char* path, bool required, double& out) {
    std::string t;
    if (!leaf(e, path, required, t)) return false;
    if (!at(e, path)) return true;
    if (!du_parse_double(t, out)) return fail(std::string("<") + path + "> must be a number.");
    return true;
  }

  bool vector(const TiXmlElement* e, const char* path, bool nonZero, DuVec& out) {
    std::string t;
    if (!leaf(e, path, true, t)) return false;
    if (!du_parse_vec(t, out)) return fail(std::string("<") + path + "> must be three numbers.");
    if (nonZero && du_is_zero(out)) return fail(std::string("<") + path + "> cannot be a zero vector.");
    return true;
  }

  bool system(int id, bool noneAllowed) {
    if (noneAllowed && id == -1) return true;
    if (!du_find_system(server.project, id))
      return fail("The project has no system " + std::to_string(id) + ".");
    return true;
  }

  bool livePart(const std::string& text, const char* what, std::string& handle) {
    long code;
    DuPart* p = du_live_part(server, text, &code);
    if (!p) return fail(std::string("The ") + what + " is not a Ductora part: " + server.lastError);
    handle = p->handle;
    return true;
  }

  // Shape/ID with Width and Height (1) or Diameter (0); positive sizes when required.
  bool size(const TiXmlElement* e, bool positive, int& shape, int& width, int& height, int& diameter) {
    if (!integer(e, "Shape/ID", true, shape)) return false;
    if (!children(at(e, "Shape"), {"ID"})) return false;
    width = height = diameter = 0;
    int least = positive ? 1 : 0;
    if (shape == 1) {
      if (at(e, "Diameter")) return fail("A rectangular connection has no <Diameter>.");
      if (!integer(e, "Width", true, width) || !integer(e, "Height", true, height)) return false;
      if (width < least || height < least) return fail("Width and height must be at least " + std::to_string(least) + ".");
    } else if (shape == 0) {
      if (at(e, "Width") || at(e, "Height")) return fail("A round connection has a <Diameter>, not a width and height.");
      if (!integer(e, "Diameter", true, diameter)) return false;
      if (diameter < least) return fail("The diameter must be at least " + std::to_string(least) + ".");
    } else {
      return fail("<Shape><ID> is 0 (round) or 1 (rectangular).");
    }
    return true;
  }
};

// Parses the request and checks its root element; the root, or null with req.error set.
const TiXmlElement* parse(Req& req, TiXmlDocument& doc, const std::string& request, const char* rootName) {
  if (request.size() > kDuMaxRequestSize) {
    req.fail("The request is too large.");
    return nullptr;
  }
  XmlDocStatus status =
      xmldoc_parse(doc, request.data(), request.size(), kDuMaxRequestDepth, TIXML_ENCODING_UTF8);
  if (status.result == XMLDOC_TOO_DEEP) {
    req.fail("The request is nested too deeply.");
    return nullptr;
  }
  const TiXmlElement* root = doc.RootElement();
  if (status.result != XMLDOC_OK || !root) {
    req.fail("The request is not well-formed XML: " +
             (status.result != XMLDOC_OK ? status.description : std::string("no element")) + ".");
    return nullptr;
  }
  if (std::strcmp(root->Value(), rootName) != 0 || root->NextSiblingElement()) {
    req.fail(std::string("The request must be one <") + rootName + "> element.");
    return nullptr;
  }
  return root;
}

bool readCustomPart(Req& r, const TiXmlElement* e, DuPart& p) {
  if (!r.children(e, {"Type", "System", "Position", "Direction", "Normal", "Productcode", "CustomPartType",
                      "Description", "Geometry"}))
    return false;
  p.className = "DURACustomPart";
  p.typeDefine = "EWAPART_CUSTOM";
  if (!r.integer(e, "System/ID", true, p.systemId) || !r.children(r.at(e, "System"), {"ID"}) ||
      !r.system(p.systemId, true))
    return false;
  if (!r.vector(e, "Position/WCS", false, p.position) || !r.vector(e, "Direction/WCS", true, p.direction) ||
      !r.vector(e, "Normal/WCS", true, p.normal))
    return false;
  if (!r.leaf(e, "Productcode", false, p.productCode) || !r.leaf(e, "Description", false, p.description) ||
      !r.leaf(e, "CustomPartType", false, p.customPartType))
    return false;
  if (p.customPartType.empty()) p.customPartType = "Special";
  if (const TiXmlElement* g = r.at(e, "Geometry")) {
    if (!r.children(g, {"Layer"}) || !r.leaf(g, "Layer/Name", true, p.layer)) return false;
    if (p.layer.empty()) return r.fail("<Geometry><Layer><Name> cannot be empty.");
  }
  return true;
}

bool readDuctEnd(Req& r, const TiXmlElement* e, DuConnection& c) {
  if (!r.children(e, {"ConnectedTo", "Position"})) return false;
  std::string to;
  if (!r.leaf(e, "ConnectedTo", true, to) || !r.vector(e, "Position/WCS", false, c.position)) return false;
  // An end that meets nothing yet is allowed: the duct then ends free.
  if (!to.empty() && !r.livePart(to, "part a duct end is connected to", c.connectedTo)) return false;
  return true;
}

bool readDuct(Req& r, const TiXmlElement* e, DuPart& p) {
  if (!r.children(e, {"Type", "System", "Normal", "Serie", "Shape", "Width", "Height", "Diameter", "Bend",
                      "Locked"},
                  {"Connection"}))
    return false;
  p.className = "DURADuct";
  p.typeDefine = "EWAPART_DUCT";
  p.connections.clear();
  for (const TiXmlElement* c = e->FirstChildElement("Connection"); c; c = c->NextSiblingElement("Connection")) {
    if (p.connections.size() == 2) return r.fail("A duct has two <Connection> ends.");
    DuConnection end;
    if (!readDuctEnd(r, c, end)) return false;
    p.connections.push_back(end);
  }
  if (p.connections.size() != 2) return r.fail("A duct has two <Connection> ends.");
  const TiXmlElement* sys = r.at(e, "System");
  if (sys && !r.children(sys, {"ID", "Type"})) return false;
  if (!r.integer(e, "System/ID", true, p.systemId) || !r.system(p.systemId, false)) return false;
  if (!r.integer(e, "System/Type/ID", true, p.systemTypeId)) return false;
  if (!r.vector(e, "Normal/WCS", true, p.normal)) return false;
  if (!r.leaf(e, "Serie/ID", true, p.serieId)) return false;
  if (!du_find_serie(r.server.project, p.serieId))
    return r.fail("The project has no duct serie \"" + p.serieId + "\".");
  if (!r.size(e, true, p.shape, p.width, p.height, p.diameter)) return false;
  if (r.at(e, "Bend") && (!r.real(e, "Bend/RDCoefficient", true, p.bendCoefficient) || p.bendCoefficient < 0))
    return r.fail("<Bend><RDCoefficient> must be a number of 0 or more.");
  int locked = 0;
  if (r.at(e, "Locked") && (!r.integer(e, "Locked/Size", true, locked) || (locked != 0 && locked != 1)))
    return r.fail("<Locked><Size> is 0 or 1.");
  p.lockedSize = locked == 1;
  DuVec a = p.connections[0].position, b = p.connections[1].position;
  DuVec d{b.x - a.x, b.y - a.y, b.z - a.z};
  double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
  if (length < 1e-9) return r.fail("The two ends of a duct cannot be at the same point.");
  p.position = a;
  p.direction = DuVec{d.x / length, d.y / length, d.z / length};
  for (DuConnection& c : p.connections) {
    c.shape = p.shape;
    c.width = p.width;
    c.height = p.height;
    c.diameter = p.diameter;
    c.normal = p.normal;
  }
  p.connections[0].direction = DuVec{-p.direction.x, -p.direction.y, -p.direction.z};
  p.connections[1].direction = p.direction;
  return true;
}

bool readSound(Req& r, const TiXmlElement* e, DuPart& p) {
  if (!r.children(e, {"Generation", "Attenuation"})) return false;
  for (const TiXmlElement* k = e->FirstChildElement(); k; k = k->NextSiblingElement()) {
    std::vector<double>& list = std::strcmp(k->Value(), "Generation") == 0 ? p.soundGeneration : p.soundAttenuation;
    std::string values;
    if (!list.empty()) return r.fail(std::string("The request gives <") + k->Value() + "> twice.");
    if (!r.children(k, {"dB"}) || !r.leaf(k, "dB", true, values)) return false;
    if (!du_parse_numbers(values, 8, list)) return r.fail(std::string("<") + k->Value() + "><dB> holds eight numbers.");
  }
  return true;
}

bool readStub(Req& r, const TiXmlElement* e, DuPart& p) {
  if (!r.children(e, {"Function", "ParentPart", "System", "Connections"}, {"Sound"})) return false;
  p.className = "DURAConnectionStub";
  p.typeDefine = "EWAPART_EXTERNALPART";
  if (!r.leaf(e, "Function/Name", true, p.functionName)) return false;
  size_t wanted;
  if (p.functionName == "Fan" || p.functionName == "Plug") wanted = 1;
  else if (p.functionName == "NBranch") wanted = 2;
  else return r.fail("Ductora makes connection stubs of the functions Fan, Plug and NBranch, not \"" + p.functionName + "\".");
  std::string parent;
  if (!r.leaf(e, "ParentPart", true, parent) || !r.livePart(parent, "parent part", p.parentPart)) return false;
  if (!r.integer(e, "System/ID", true, p.systemId) || !r.system(p.systemId, false)) return false;
  for (const TiXmlElement* s = e->FirstChildElement("Sound"); s; s = s->NextSiblingElement("Sound"))
    if (!readSound(r, s, p)) return false;
  const TiXmlElement* list = r.at(e, "Connections");
  if (!list) return r.fail("The request lacks <Connections>.");
  if (!r.children(list, {}, {"Connection"})) return false;
  for (const TiXmlElement* c = list->FirstChildElement("Connection"); c; c = c->NextSiblingElement("Connection")) {
    if (p.connections.size() == wanted) break;
    DuConnection k;
    if (!r.children(c, {"Position", "Direction", "Normal", "Shape", "Width", "Height", "Diameter"}) ||
        !r.vector(c, "Position/WCS", false, k.position) || !r.vector(c, "Direction/WCS", true, k.direction) ||
        !r.vector(c, "Normal/WCS", true, k.normal) || !r.size(c, false, k.shape, k.width, k.height, k.diameter))
      return false;
    p.connections.push_back(k);
  }
  size_t given = 0;
  for (const TiXmlElement* c = list->FirstChildElement("Connection"); c; c = c->NextSiblingElement("Connection")) ++given;
  if (given != wanted)
    return r.fail("A " + p.functionName + " stub has " + std::to_string(wanted) + " connection" +
                  (wanted == 1 ? "" : "s") + ", the request gives " + std::to_string(given) + ".");
  p.position = p.connections[0].position;
  p.direction = p.connections[0].direction;
  p.normal = p.connections[0].normal;
  return true;
}
}  // namespace

long du_request_create_part(DuServer& s, const std::string& request, std::string& handle) {
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  Req r{s, ""};
  TiXmlDocument doc;
  const TiXmlElement* root = parse(r, doc, request, "CreatePart");
  DuPart part;
  bool ok = root && r.children(root, {"Part"});
  const TiXmlElement* e = ok ? r.at(root, "Part") : nullptr;
  if (ok && !e) ok = r.fail("The request lacks <Part>.");
  std::string type;
  if (ok) ok = r.leaf(e, "Type/Define", true, type) && r.children(r.at(e, "Type"), {"Define"});
  if (ok) {
    if (type == "EWAPART_CUSTOM") ok = readCustomPart(r, e, part);
    else if (type == "EWAPART_DUCT") ok = readDuct(r, e, part);
    else ok = r.fail("Ductora cannot create parts of the type \"" + type + "\".");
  }
  if (!ok) return du_fail(s, DU_BAD_REQUEST, r.error);
  return du_add_part(s, part, handle);
}

long du_request_create_stub(DuServer& s, const std::string& request, std::string& handle) {
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  Req r{s, ""};
  TiXmlDocument doc;
  const TiXmlElement* root = parse(r, doc, request, "CreateConnectionStub");
  DuPart part;
  if (!root || !readStub(r, root, part)) return du_fail(s, DU_BAD_REQUEST, r.error);
  return du_add_part(s, part, handle);
}

long du_request_product_data(DuServer& s, const std::string& request) {
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  Req r{s, ""};
  TiXmlDocument doc;
  const TiXmlElement* root = parse(r, doc, request, "ManageProductData");
  std::string function, file, cls, serieId;
  bool ok = root && r.children(root, {"Function", "TCD", "TCDClass", "Serie"}) &&
            r.leaf(root, "Function/Name", true, function) && r.leaf(root, "TCD/Filename", true, file) &&
            r.leaf(root, "TCDClass/Name", true, cls) && r.leaf(root, "Serie/ID", true, serieId);
  if (ok && function != "Add") ok = r.fail("Ductora can only Add product data, not \"" + function + "\".");
  if (ok && cls != "DuctSerie") ok = r.fail("Ductora can only add the product class DuctSerie, not \"" + cls + "\".");
  if (ok && serieId.empty()) ok = r.fail("<Serie><ID> cannot be empty.");
  if (ok && file.empty()) ok = r.fail("<TCD><Filename> cannot be empty.");
  if (!ok) return du_fail(s, DU_BAD_REQUEST, r.error);

  DuSerie serie;
  std::string error;
  if (du_read_product_serie(file, serieId, serie, error) != 0) return du_fail(s, DU_BAD_VALUE, error);
  DuProject before = s.project;
  if (DuSerie* old = du_find_serie(s.project, serieId)) *old = serie;
  else s.project.series.push_back(serie);
  return du_commit(s, before);
}
