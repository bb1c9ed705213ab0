// The XML requests: <CreatePart> (custom parts and ducts), <CreateConnectionStub>
// ("Fan", "Plug", "NBranch"), <ManageProductData>, and the line-type definition. Each
// kind has its table of elements (du_schema.h); what the tables cannot say (the shape's
// sizes, parts and systems that must exist, a normal that is not along the direction, a
// duct that fits its serie and the connections it joins) is checked here before anything
// changes.
#include <climits>
#include "du_internal.h"
#include "du_limits.h"
#include "du_product.h"
#include "du_schema.h"
#include "du_text.h"

namespace {
DuRule leaf(const char* name, int least, DuValueKind kind, double lo = 0, double hi = 0) {
  return DuRule{name, least, 1, kind, lo, hi, {}, {}};
}
DuRule group(const char* name, int least, int most, std::vector<DuRule> children) {
  return DuRule{name, least, most, DU_XML_ELEMENTS, 0, 0, std::move(children), {}};
}
DuRule wcs(const char* name, DuValueKind kind) { return group(name, 1, 1, {leaf("WCS", 1, kind)}); }
DuRule systemId() { return group("System", 1, 1, {leaf("ID", 1, DU_XML_WHOLE, INT_MIN, INT_MAX)}); }
DuRule typeDefine() { return group("Type", 1, 1, {leaf("Define", 1, DU_XML_TEXT)}); }
DuRule size(const char* name, int least) { return leaf(name, 0, DU_XML_WHOLE, least, kDuMaxDuctSize); }

const DuRule& customPartRule() {
  static const DuRule rule = group(
      "CreatePart", 1, 1,
      {group("Part", 1, 1,
             {typeDefine(), systemId(), wcs("Position", DU_XML_POINT), wcs("Direction", DU_XML_VECTOR),
              wcs("Normal", DU_XML_VECTOR), leaf("Productcode", 0, DU_XML_TEXT), leaf("CustomPartType", 0, DU_XML_TEXT),
              leaf("Description", 0, DU_XML_TEXT),
              group("Geometry", 0, 1, {group("Layer", 1, 1, {leaf("Name", 1, DU_XML_TEXT)})})})});
  return rule;
}

const DuRule& ductRule() {
  static const DuRule rule = group(
      "CreatePart", 1, 1,
      {group("Part", 1, 1,
             {typeDefine(),
              group("Connection", 2, 2, {leaf("ConnectedTo", 1, DU_XML_TEXT), wcs("Position", DU_XML_POINT)}),
              group("System", 1, 1,
                    {leaf("ID", 1, DU_XML_WHOLE, INT_MIN, INT_MAX),
                     group("Type", 1, 1, {leaf("ID", 1, DU_XML_WHOLE, 0, kDuMaxSystemTypeId)})}),
              wcs("Normal", DU_XML_VECTOR), group("Serie", 1, 1, {leaf("ID", 1, DU_XML_TEXT)}),
              group("Shape", 1, 1, {leaf("ID", 1, DU_XML_WHOLE, 0, 1)}), size("Width", 1), size("Height", 1),
              size("Diameter", 1), group("Bend", 0, 1, {leaf("RDCoefficient", 1, DU_XML_REAL, 0, kDuMaxBendCoefficient)}),
              group("Locked", 0, 1, {leaf("Size", 1, DU_XML_WHOLE, 0, 1)})})});
  return rule;
}

const DuRule& stubRule() {
  static const DuRule rule = group(
      "CreateConnectionStub", 1, 1,
      {group("Function", 1, 1, {leaf("Name", 1, DU_XML_TEXT)}), leaf("ParentPart", 1, DU_XML_TEXT), systemId(),
       group("Sound", 0, 2,
             {group("Generation", 0, 1, {leaf("dB", 1, DU_XML_BANDS, kDuMinSound, kDuMaxSound)}),
              group("Attenuation", 0, 1, {leaf("dB", 1, DU_XML_BANDS, kDuMinSound, kDuMaxSound)})}),
       group("Connections", 1, 1,
             {group("Connection", 1, 2,
                    {wcs("Position", DU_XML_POINT), wcs("Direction", DU_XML_VECTOR), wcs("Normal", DU_XML_VECTOR),
                     group("Shape", 1, 1, {leaf("ID", 1, DU_XML_WHOLE, 0, 1)}), size("Width", 0), size("Height", 0),
                     size("Diameter", 0)})})});
  return rule;
}

const DuRule& productDataRule() {
  static const DuRule rule =
      group("ManageProductData", 1, 1,
            {group("Function", 1, 1, {leaf("Name", 1, DU_XML_TEXT)}), group("TCD", 1, 1, {leaf("Filename", 1, DU_XML_TEXT)}),
             group("TCDClass", 1, 1, {leaf("Name", 1, DU_XML_TEXT)}), group("Serie", 1, 1, {leaf("ID", 1, DU_XML_TEXT)})});
  return rule;
}

const DuRule& linetypeRule() {
  static const DuRule rule = [] {
    DuRule linetype = group("Linetype", 1, kDuMaxLinetypes, {group("Layer", 1, 1, {leaf("Name", 1, DU_XML_TEXT)})});
    linetype.attributes = {{"id", 1, kDuMaxLinetypeId}};
    return group("Linetypedef", 1, 1, {linetype});
  }();
  return rule;
}

// A direction and a normal must span a plane.
bool parallel(const DuVec& a, const DuVec& b) { return du_length(du_cross(du_unit(a), du_unit(b))) < kDuParallel; }

struct Reading {
  DuServer& server;
  std::string error;
  bool fail(const std::string& message) {
    error = message;
    return false;
  }

  bool system(int id, bool noneAllowed) {
    if ((noneAllowed && id == -1) || du_find_system(server.project, id)) return true;
    return fail("The project has no system " + std::to_string(id) + ".");
  }

  bool livePart(const std::string& text, const std::string& what, std::string& handle) {
    long code;
    DuPart* p = du_live_part(server, text, &code);
    if (!p) return fail("The " + what + " is not a Ductora part: " + server.lastError);
    handle = p->handle;
    return true;
  }

  // Shape 1 has Width and Height, shape 0 a Diameter.
  bool size(const TiXmlElement* e, const std::string& where, DuConnection& c) {
    c.shape = du_whole(e, "Shape/ID", 0);
    c.width = du_whole(e, "Width", 0);
    c.height = du_whole(e, "Height", 0);
    c.diameter = du_whole(e, "Diameter", 0);
    const bool rect = du_at(e, "Width") && du_at(e, "Height") && !du_at(e, "Diameter");
    const bool round = du_at(e, "Diameter") && !du_at(e, "Width") && !du_at(e, "Height");
    if (c.shape == 1 && !rect) return fail("A rectangular " + where + " has <Width> and <Height>, and no <Diameter>.");
    if (c.shape == 0 && !round) return fail("A round " + where + " has a <Diameter>, and no <Width> or <Height>.");
    return true;
  }

  bool placement(const DuVec& direction, const DuVec& normal, const std::string& where) {
    if (parallel(direction, normal)) return fail("The normal of " + where + " lies along its direction.");
    return true;
  }

  // The duct's shape is its serie's: a serie of diameters is round, one of WxH sizes
  // rectangular (a serie of both, or of none, takes either).
  bool serieShape(const DuPart& duct, const DuSerie& serie) {
    int round = 0, rectangular = 0;
    for (const std::string& size : serie.sizes) (size.find_first_of("xX") == std::string::npos ? round : rectangular)++;
    const int shape = round && !rectangular ? 0 : rectangular && !round ? 1 : duct.shape;
    if (shape == duct.shape) return true;
    return fail("The duct serie \"" + serie.id + "\" is " + (shape ? "rectangular" : "round") + ", the duct " +
                sizeText(duct.shape, duct.width, duct.height, duct.diameter) + " (/CreatePart/Part/Shape/ID).");
  }

  // End k of the duct meets the part `to`: a connection stub at one of its connections, of
  // the duct's size and system, or a duct end where it stands, of the duct's system; and
  // no other duct is joined there already.
  bool joins(const DuPart& duct, size_t k, const DuPart& to) {
    const DuConnection& end = duct.connections[k];
    const std::string where = " (/CreatePart/Part/Connection[" + std::to_string(k + 1) + "])";
    const std::string endName = "End " + std::to_string(k + 1) + " of the duct";
    const bool stub = !to.functionName.empty();
    if (!stub && to.className != "DURAPathwayConnector")
      return fail(endName + " meets " + to.handle + ", a " + to.className +
                  "; a duct joins connection stubs and duct ends" + where + ".");
    std::string places;
    const DuConnection* at = joint(end, to, places);
    if (!at)
      return fail(endName + " is at " + du_format_vec(end.position) + ", not where " + to.handle + " is joined (" +
                  places + ")" + where + ".");
    const std::string size = sizeText(duct.shape, duct.width, duct.height, duct.diameter);
    if (stub && size != sizeText(at->shape, at->width, at->height, at->diameter))
      return fail(endName + " is " + size + ", the connection of " + to.handle + " it meets " +
                  sizeText(at->shape, at->width, at->height, at->diameter) + where + ".");
    if (to.systemId != duct.systemId)
      return fail("The duct is of system " + std::to_string(duct.systemId) + ", " + to.handle + " at its end " +
                  std::to_string(k + 1) + " of system " + std::to_string(to.systemId) + where + ".");
    const DuVec place = stub ? at->position : to.position;
    if (const DuPart* other = ductAt(to.handle, place))
      return fail("The connection of " + to.handle + " at " + du_format_vec(place) + " is joined to the duct " +
                  other->handle + " already" + where + ".");
    return true;
  }

  // Where a duct's end meets `to`: the stub's connection at the end, or (a duct end) the
  // end itself when it stands there; null when it is not there. places: where it could.
  static const DuConnection* joint(const DuConnection& end, const DuPart& to, std::string& places) {
    if (to.functionName.empty()) {
      places = du_format_vec(to.position);
      return du_length(du_sub(to.position, end.position)) <= kDuJoinTolerance ? &end : nullptr;
    }
    const DuConnection* at = nullptr;
    for (const DuConnection& c : to.connections) {
      if (du_length(du_sub(c.position, end.position)) <= kDuJoinTolerance) at = &c;
      places += (places.empty() ? "" : "; ") + du_format_vec(c.position);
    }
    return at;
  }

  // A duct in the drawing with an end joined to the part at that place.
  const DuPart* ductAt(const std::string& handle, const DuVec& place) {
    for (const DuPart& other : server.project.parts) {
      const bool alive = !server.hooks.entityAlive || server.hooks.entityAlive(other);
      if (other.typeDefine != "EWAPART_DUCT" || !alive) continue;
      for (const DuConnection& c : other.connections)
        if (c.connectedTo == handle && du_length(du_sub(c.position, place)) <= kDuJoinTolerance) return &other;
    }
    return nullptr;
  }

  static std::string sizeText(int shape, int width, int height, int diameter) {
    return shape ? "rectangular " + std::to_string(width) + "x" + std::to_string(height)
                 : "round " + std::to_string(diameter);
  }
};

bool readCustomPart(Reading& r, const TiXmlElement* e, DuPart& p) {
  p.className = "DURACustomPart";
  p.typeDefine = "EWAPART_CUSTOM";
  p.systemId = du_whole(e, "System/ID", -1);
  p.position = du_vector(e, "Position/WCS");
  p.direction = du_vector(e, "Direction/WCS");
  p.normal = du_vector(e, "Normal/WCS");
  p.productCode = du_words(e, "Productcode");
  p.description = du_words(e, "Description");
  p.customPartType = du_at(e, "CustomPartType") ? du_words(e, "CustomPartType") : "Special";
  if (du_at(e, "Geometry")) p.layer = du_words(e, "Geometry/Layer/Name");
  if (p.layer.empty()) return r.fail("The layer name of /CreatePart/Part/Geometry/Layer/Name cannot be empty.");
  return r.system(p.systemId, true) && r.placement(p.direction, p.normal, "the part");
}

bool readDuct(Reading& r, const TiXmlElement* e, DuPart& p) {
  p.className = "DURADuct";
  p.typeDefine = "EWAPART_DUCT";
  p.systemId = du_whole(e, "System/ID", 0);
  p.systemTypeId = du_whole(e, "System/Type/ID", 0);
  p.normal = du_vector(e, "Normal/WCS");
  p.serieId = du_words(e, "Serie/ID");
  p.bendCoefficient = du_real(e, "Bend/RDCoefficient", 0);
  p.lockedSize = du_whole(e, "Locked/Size", 0) == 1;
  DuConnection size;
  if (!r.system(p.systemId, false) || !r.size(e, "duct", size)) return false;
  const DuSerie* serie = du_find_serie(r.server.project, p.serieId);
  if (!serie) return r.fail("The project has no duct serie \"" + p.serieId + "\".");
  p.shape = size.shape;
  p.width = size.width;
  p.height = size.height;
  p.diameter = size.diameter;
  if (!r.serieShape(p, *serie)) return false;
  int index = 0;
  for (const TiXmlElement* c = e->FirstChildElement("Connection"); c; c = c->NextSiblingElement("Connection")) {
    DuConnection end = size;
    end.position = du_vector(c, "Position/WCS");
    end.normal = p.normal;
    const std::string to = du_words(c, "ConnectedTo");
    // An end that meets nothing yet is allowed: the duct then ends free.
    if (!to.empty() && !r.livePart(to, "part the duct's end " + std::to_string(++index) + " meets", end.connectedTo))
      return false;
    p.connections.push_back(end);
  }
  const DuVec run = du_sub(p.connections[1].position, p.connections[0].position);
  if (du_length(run) < kDuMinVectorLength) return r.fail("The two ends of a duct cannot be at the same point.");
  if (!r.placement(run, p.normal, "the duct (its run from end 1 to end 2)")) return false;
  for (size_t k = 0; k < 2; ++k) {
    const std::string& to = p.connections[k].connectedTo;
    const DuPart* part = to.empty() ? nullptr : du_find_part(r.server.project, to);
    if (part && !r.joins(p, k, *part)) return false;
  }
  p.position = p.connections[0].position;
  p.direction = du_unit(run);
  p.connections[0].direction = du_scale(p.direction, -1);
  p.connections[1].direction = p.direction;
  return true;
}

bool readStub(Reading& r, const TiXmlElement* e, DuPart& p) {
  p.className = "DURAConnectionStub";
  p.typeDefine = "EWAPART_EXTERNALPART";
  p.functionName = du_words(e, "Function/Name");
  size_t wanted;
  if (p.functionName == "Fan" || p.functionName == "Plug") wanted = 1;
  else if (p.functionName == "NBranch") wanted = 2;
  else return r.fail("Ductora makes connection stubs of the functions Fan, Plug and NBranch, not \"" + p.functionName + "\".");
  p.systemId = du_whole(e, "System/ID", 0);
  if (!r.livePart(du_words(e, "ParentPart"), "parent part", p.parentPart) || !r.system(p.systemId, false)) return false;
  for (const TiXmlElement* s = e->FirstChildElement("Sound"); s; s = s->NextSiblingElement("Sound")) {
    if (!s->FirstChildElement()) return r.fail("A <Sound> element holds <Generation>, <Attenuation> or both.");
    for (const TiXmlElement* band = s->FirstChildElement(); band; band = band->NextSiblingElement()) {
      const bool generation = std::string(band->Value()) == "Generation";
      std::vector<double>& list = generation ? p.soundGeneration : p.soundAttenuation;
      if (!list.empty()) return r.fail(std::string("The request gives <") + band->Value() + "> twice.");
      list = du_bands(band, "dB");
    }
  }
  int index = 0;
  const TiXmlElement* list = du_at(e, "Connections");
  for (const TiXmlElement* c = list->FirstChildElement("Connection"); c; c = c->NextSiblingElement("Connection")) {
    const std::string where = "connection " + std::to_string(++index);
    DuConnection k;
    k.position = du_vector(c, "Position/WCS");
    k.direction = du_vector(c, "Direction/WCS");
    k.normal = du_vector(c, "Normal/WCS");
    if (!r.size(c, where, k) || !r.placement(k.direction, k.normal, where)) return false;
    if (k.shape ? k.width == 0 || k.height == 0 : k.diameter == 0)
      return r.fail("Connection " + std::to_string(index) + " of the stub has no size: its " +
                    (k.shape ? "<Width> and <Height>" : "<Diameter>") + " must not be 0 (/CreateConnectionStub/"
                    "Connections/Connection[" + std::to_string(index) + "]).");
    p.connections.push_back(k);
  }
  if (p.connections.size() != wanted)
    return r.fail("A " + p.functionName + " stub has " + std::to_string(wanted) + " connection" +
                  (wanted == 1 ? "" : "s") + ", the request gives " + std::to_string(p.connections.size()) + ".");
  p.position = p.connections[0].position;
  p.direction = p.connections[0].direction;
  p.normal = p.connections[0].normal;
  return true;
}

// The part type a <CreatePart> asks for, read before the kind's table is chosen.
std::string requestedType(const TiXmlDocument& doc) {
  const TiXmlElement* root = doc.RootElement();
  return root && std::string(root->Value()) == "CreatePart" ? du_words(root, "Part/Type/Define") : "";
}
}  // namespace

long du_request_create_part(DuServer& s, const std::string& request, std::string& handle) {
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  TiXmlDocument doc;
  std::string error = du_parse_xml(doc, request);
  // The part type chooses the table that reads the rest.
  const std::string type = requestedType(doc);
  if (error.empty()) {
    if (type == "EWAPART_DUCT") error = du_check_xml(doc, ductRule());
    else error = du_check_xml(doc, customPartRule());
    const bool known = type == "EWAPART_DUCT" || type == "EWAPART_CUSTOM";
    if (!known && (error.empty() || !type.empty()))
      error = "Ductora cannot create parts of the type \"" + type + "\" (EWAPART_CUSTOM or EWAPART_DUCT).";
  }
  if (!error.empty()) return du_fail(s, DU_BAD_REQUEST, error);
  Reading r{s, ""};
  DuPart part;
  const TiXmlElement* e = du_at(doc.RootElement(), "Part");
  if (!(type == "EWAPART_DUCT" ? readDuct(r, e, part) : readCustomPart(r, e, part)))
    return du_fail(s, DU_BAD_REQUEST, r.error);
  rc = du_refusal(s, "CreatePart", type);
  return rc != DU_OK ? rc : du_add_part(s, part, handle);
}

long du_request_create_stub(DuServer& s, const std::string& request, std::string& handle) {
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  TiXmlDocument doc;
  std::string error = du_read_strict(doc, request, stubRule());
  if (!error.empty()) return du_fail(s, DU_BAD_REQUEST, error);
  Reading r{s, ""};
  DuPart part;
  if (!readStub(r, doc.RootElement(), part)) return du_fail(s, DU_BAD_REQUEST, r.error);
  rc = du_refusal(s, "CreateConnectionStub", part.functionName);
  return rc != DU_OK ? rc : du_add_part(s, part, handle);
}

long du_request_product_data(DuServer& s, const std::string& request) {
  long rc = du_need_project(s);
  if (rc != DU_OK) return rc;
  TiXmlDocument doc;
  std::string error = du_read_strict(doc, request, productDataRule());
  if (!error.empty()) return du_fail(s, DU_BAD_REQUEST, error);
  const TiXmlElement* root = doc.RootElement();
  const std::string function = du_words(root, "Function/Name"), file = du_words(root, "TCD/Filename"),
                    cls = du_words(root, "TCDClass/Name"), serieId = du_words(root, "Serie/ID");
  if (function != "Add") return du_fail(s, DU_BAD_REQUEST, "Ductora can only Add product data, not \"" + function + "\".");
  if (cls != "DuctSerie")
    return du_fail(s, DU_BAD_REQUEST, "Ductora can only add the product class DuctSerie, not \"" + cls + "\".");
  if (serieId.empty()) return du_fail(s, DU_BAD_REQUEST, "<Serie><ID> cannot be empty.");
  if (file.empty()) return du_fail(s, DU_BAD_REQUEST, "<TCD><Filename> cannot be empty.");
  rc = du_refusal(s, "ManageProductData", function);
  if (rc != DU_OK) return rc;

  DuSerie serie;
  if (du_read_product_serie(file, serieId, serie, error) != 0) return du_fail(s, DU_BAD_VALUE, error);
  if (DuSerie* old = du_find_serie(s.project, serieId)) *old = serie;
  else s.project.series.push_back(serie);
  s.dirty = true;
  return DU_OK;
}

std::string du_read_linetypes(const std::string& text) {
  TiXmlDocument doc;
  std::string error = du_read_strict(doc, text, linetypeRule());
  if (!error.empty()) return error;
  std::vector<int> ids;
  for (const TiXmlElement* l = doc.RootElement()->FirstChildElement(); l; l = l->NextSiblingElement()) {
    int id = 0;
    l->QueryIntAttribute("id", &id);
    for (int seen : ids)
      if (seen == id) return "The line type " + std::to_string(id) + " is defined twice.";
    ids.push_back(id);
    if (du_words(l, "Layer/Name").empty()) return "The layer of line type " + std::to_string(id) + " cannot be empty.";
  }
  return "";
}
