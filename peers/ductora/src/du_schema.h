// Strict reading of Ductora's XML texts (requests, the line-type definition): one table
// per text says which elements may stand where, how often, and what each value holds.
// A text is accepted only when it has nothing unknown, nothing repeated beyond its
// count, nothing missing, no attribute but the allowed ones, no stray text, and every
// value of its kind and within its range. Text values are kept exactly as written
// (white space and entities), whatever the process-wide TinyXML setting.
#pragma once
#include <string>
#include <vector>
#include <tinyxml.h>
#include "du_project.h"

enum DuValueKind {
  DU_XML_ELEMENTS,  // holds elements only
  DU_XML_TEXT,      // a text value, kept exactly (at most kDuMaxUserText bytes)
  DU_XML_WHOLE,     // a whole number within [lo, hi]
  DU_XML_REAL,      // a number within [lo, hi]
  DU_XML_POINT,     // three numbers, each within plus or minus kDuMaxCoordinate
  DU_XML_VECTOR,    // three numbers, length within kDuMinVectorLength .. kDuMaxVectorLength
  DU_XML_BANDS,     // eight numbers within [lo, hi]
};

// An attribute an element may (and then must) carry: a whole number within [lo, hi].
struct DuAttributeRule {
  const char* name;
  int lo, hi;
};

struct DuRule {
  const char* name;
  int least, most;  // how often the element stands in its parent
  DuValueKind kind;
  double lo, hi;
  std::vector<DuRule> children;  // DU_XML_ELEMENTS only
  std::vector<DuAttributeRule> attributes;
};

// Parses the text (at most kDuMaxRequestSize bytes, nested at most kDuMaxRequestDepth)
// into doc and checks it against rule. "" when it is well formed for the rule, else a
// sentence that names what is wrong and where ("/CreatePart/Part/Connection[2]").
std::string du_read_strict(TiXmlDocument& doc, const std::string& text, const DuRule& rule);
// The two halves of du_read_strict: the parse alone, and the check of a parsed document.
std::string du_parse_xml(TiXmlDocument& doc, const std::string& text);
std::string du_check_xml(const TiXmlDocument& doc, const DuRule& rule);

// Values of an element that du_read_strict accepted, at a path of single children below
// e ("Position/WCS"). The element itself for an empty path; null when it is absent.
const TiXmlElement* du_at(const TiXmlElement* e, const char* path);
// The text of the element at path exactly as written; "" when absent or empty.
std::string du_words(const TiXmlElement* e, const char* path);
int du_whole(const TiXmlElement* e, const char* path, int absent);
double du_real(const TiXmlElement* e, const char* path, double absent);
DuVec du_vector(const TiXmlElement* e, const char* path);
std::vector<double> du_bands(const TiXmlElement* e, const char* path);

// The process-wide white-space setting of TinyXML, off while one of these lives: texts
// keep their white space. Other modules of the process find it as they left it.
struct DuKeepWhiteSpace {
  bool before;
  DuKeepWhiteSpace();
  ~DuKeepWhiteSpace();
};
