#include "du_schema.h"
#include <cmath>
#include <cstring>
#include "du_limits.h"
#include "du_text.h"
#include "xmldoc.h"

namespace {
std::string quoted(const std::string& text) {
  std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
  return "\"" + shown + "\"";
}

// The text of an element: all its text children (CDATA included) in order.
std::string textOf(const TiXmlElement* e) {
  std::string out;
  for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling())
    if (const TiXmlText* t = n->ToText()) out += t->Value();
  return out;
}

std::string numberRange(double lo, double hi) {
  return du_format_number(lo) + " to " + du_format_number(hi);
}

struct Checker {
  std::string error;

  bool fail(const std::string& message) {
    if (error.empty()) error = message;
    return false;
  }

  bool attributes(const TiXmlElement* e, const DuRule& rule, const std::string& where) {
    for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
      const DuAttributeRule* known = nullptr;
      for (const DuAttributeRule& r : rule.attributes)
        if (std::strcmp(r.name, a->Name()) == 0) known = &r;
      if (!known)
        return fail("The element " + where + " has an attribute \"" + a->Name() + "\" that Ductora does not know.");
      int v;
      if (!du_parse_int(a->Value(), v) || v < known->lo || v > known->hi)
        return fail("The attribute \"" + std::string(a->Name()) + "\" of " + where + " must be a whole number from " +
                    std::to_string(known->lo) + " to " + std::to_string(known->hi) + ", not " +
                    quoted(a->Value()) + ".");
    }
    for (const DuAttributeRule& r : rule.attributes)
      if (!e->Attribute(r.name)) return fail("The element " + where + " lacks its attribute \"" + r.name + "\".");
    return true;
  }

  bool value(const TiXmlElement* e, const DuRule& rule, const std::string& where) {
    for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling()) {
      if (n->ToElement())
        return fail(where + " holds a value, not the element <" + std::string(n->Value()) + ">.");
      if (!n->ToText() && !n->ToComment()) return fail(where + " holds markup that is not a value.");
    }
    const std::string t = textOf(e);
    if (rule.kind == DU_XML_TEXT) {
      if (!du_valid_utf8(t)) return fail(where + " is not UTF-8 text.");
      if (t.size() > kDuMaxUserText)
        return fail(where + " holds " + std::to_string(t.size()) + " bytes; Ductora keeps at most " +
                    std::to_string(kDuMaxUserText) + ".");
      return true;
    }
    if (rule.kind == DU_XML_WHOLE) {
      int v;
      if (!du_parse_int(t, v) || v < rule.lo || v > rule.hi)
        return fail(where + " must be a whole number from " + numberRange(rule.lo, rule.hi) + ", not " + quoted(t) + ".");
      return true;
    }
    if (rule.kind == DU_XML_REAL) {
      double v;
      if (!du_parse_double(t, v) || v < rule.lo || v > rule.hi)
        return fail(where + " must be a number from " + numberRange(rule.lo, rule.hi) + ", not " + quoted(t) + ".");
      return true;
    }
    if (rule.kind == DU_XML_BANDS) {
      std::vector<double> v;
      bool ok = du_parse_numbers(t, 8, v);
      for (double d : v) ok = ok && d >= rule.lo && d <= rule.hi;
      if (!ok)
        return fail(where + " must be eight numbers from " + numberRange(rule.lo, rule.hi) + ", not " + quoted(t) + ".");
      return true;
    }
    DuVec v;
    if (!du_parse_vec(t, v)) return fail(where + " must be three numbers, not " + quoted(t) + ".");
    if (rule.kind == DU_XML_POINT) {
      if (std::fabs(v.x) > kDuMaxCoordinate || std::fabs(v.y) > kDuMaxCoordinate || std::fabs(v.z) > kDuMaxCoordinate)
        return fail(where + " lies farther than " + du_format_number(kDuMaxCoordinate) +
                    " from the origin on an axis: " + quoted(t) + ".");
      return true;
    }
    const double length = du_length(v);
    if (!(length >= kDuMinVectorLength && length <= kDuMaxVectorLength))
      return fail(where + " must be a vector of length " + du_format_number(kDuMinVectorLength) + " to " +
                  du_format_number(kDuMaxVectorLength) + ", not " + quoted(t) + ".");
    return true;
  }

  bool element(const TiXmlElement* e, const DuRule& rule, const std::string& where) {
    if (!attributes(e, rule, where)) return false;
    if (rule.kind != DU_XML_ELEMENTS) return value(e, rule, where);
    std::vector<int> seen(rule.children.size(), 0);
    for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling()) {
      if (n->ToComment()) continue;
      if (const TiXmlText* t = n->ToText()) return fail("Stray text " + quoted(t->Value()) + " in " + where + ".");
      const TiXmlElement* c = n->ToElement();
      if (!c) return fail(where + " holds markup that is not an element.");
      size_t k = 0;
      while (k < rule.children.size() && std::strcmp(rule.children[k].name, c->Value()) != 0) ++k;
      if (k == rule.children.size())
        return fail("Ductora does not know the element <" + std::string(c->Value()) + "> in " + where + ".");
      const DuRule& r = rule.children[k];
      if (++seen[k] > r.most)
        return fail(r.most == 1 ? "The element <" + std::string(r.name) + "> appears twice in " + where + "."
                                : where + " holds more than " + std::to_string(r.most) + " <" + r.name + "> elements.");
      std::string inner = where + "/" + r.name;
      if (r.most > 1) inner += "[" + std::to_string(seen[k]) + "]";
      if (!element(c, r, inner)) return false;
    }
    for (size_t k = 0; k < rule.children.size(); ++k) {
      const DuRule& r = rule.children[k];
      if (seen[k] < r.least)
        return fail(r.least == 1 ? where + " lacks <" + std::string(r.name) + ">."
                                 : where + " needs " + std::to_string(r.least) + " <" + r.name + "> elements, not " +
                                       std::to_string(seen[k]) + ".");
    }
    return true;
  }
};
}  // namespace

DuKeepWhiteSpace::DuKeepWhiteSpace() : before(TiXmlBase::IsWhiteSpaceCondensed()) {
  TiXmlBase::SetCondenseWhiteSpace(false);
}
DuKeepWhiteSpace::~DuKeepWhiteSpace() { TiXmlBase::SetCondenseWhiteSpace(before); }

std::string du_parse_xml(TiXmlDocument& doc, const std::string& text) {
  if (text.size() > kDuMaxRequestSize) return "The text is larger than " + std::to_string(kDuMaxRequestSize) + " bytes.";
  XmlDocStatus status;
  {
    DuKeepWhiteSpace keep;
    status = xmldoc_parse(doc, text.data(), text.size(), kDuMaxRequestDepth, TIXML_ENCODING_UTF8);
  }
  if (status.result == XMLDOC_TOO_DEEP) return "The text is nested too deeply.";
  if (status.result != XMLDOC_OK)
    return "The text is not well-formed XML: " + status.description + " (line " + std::to_string(doc.ErrorRow()) +
           ", column " + std::to_string(doc.ErrorCol()) + ").";
  return "";
}

std::string du_check_xml(const TiXmlDocument& doc, const DuRule& rule) {
  const TiXmlElement* root = nullptr;
  for (const TiXmlNode* n = doc.FirstChild(); n; n = n->NextSibling()) {
    if (n->ToComment() || (n->ToDeclaration() && !root)) continue;
    if (n->ToElement() && !root) {
      root = n->ToElement();
      continue;
    }
    return std::string("The text must be one <") + rule.name + "> element, with nothing but comments after it.";
  }
  if (!root || std::strcmp(root->Value(), rule.name) != 0)
    return std::string("The text must be one <") + rule.name + "> element" +
           (root ? ", not <" + std::string(root->Value()) + ">." : ".");
  Checker c;
  c.element(root, rule, std::string("/") + rule.name);
  return c.error;
}

std::string du_read_strict(TiXmlDocument& doc, const std::string& text, const DuRule& rule) {
  std::string error = du_parse_xml(doc, text);
  return error.empty() ? du_check_xml(doc, rule) : error;
}

const TiXmlElement* du_at(const TiXmlElement* e, const char* path) {
  const char* p = path;
  while (e && *p) {
    const char* slash = std::strchr(p, '/');
    std::string name = slash ? std::string(p, size_t(slash - p)) : std::string(p);
    e = e->FirstChildElement(name.c_str());
    p = slash ? slash + 1 : p + name.size();
  }
  return e;
}

std::string du_words(const TiXmlElement* e, const char* path) {
  const TiXmlElement* l = du_at(e, path);
  return l ? textOf(l) : "";
}

int du_whole(const TiXmlElement* e, const char* path, int absent) {
  const TiXmlElement* l = du_at(e, path);
  int v = absent;
  if (l) du_parse_int(textOf(l), v);
  return v;
}

double du_real(const TiXmlElement* e, const char* path, double absent) {
  const TiXmlElement* l = du_at(e, path);
  double v = absent;
  if (l) du_parse_double(textOf(l), v);
  return v;
}

DuVec du_vector(const TiXmlElement* e, const char* path) {
  DuVec v;
  if (const TiXmlElement* l = du_at(e, path)) du_parse_vec(textOf(l), v);
  return v;
}

std::vector<double> du_bands(const TiXmlElement* e, const char* path) {
  std::vector<double> v;
  if (const TiXmlElement* l = du_at(e, path)) du_parse_numbers(textOf(l), 8, v);
  return v;
}
