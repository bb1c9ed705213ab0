// The one way an XML text becomes a TiXmlDocument. TinyXML parses (and frees) elements
// recursively, one stack frame per level, so a text is measured before it is parsed and
// refused when it nests deeper than the caller allows. And TinyXML steps over a whole
// UTF-8 sequence once it sees its lead byte, so a text that ends in a cut sequence makes
// it read up to three bytes past the end: it parses a copy with zero bytes behind it.
//
// A text is the bytes up to its first zero byte or its size, whichever comes first; the
// parser never sees anything behind a zero byte.
#pragma once
#include <tinyxml.h>

#include <cstddef>
#include <string>

// Zero bytes behind the copy handed to TinyXML (it may step three bytes past the end).
const size_t kXmlDocPadding = 8;

// Results of xmldoc_parse.
enum XmlDocResult {
  XMLDOC_OK = 0,         // parsed without a fault (the caller checks for a root element)
  XMLDOC_TOO_DEEP = -1,  // nested deeper than the limit: not parsed, doc left empty
  XMLDOC_BAD_XML = -2,   // TinyXML's fault: doc as TinyXML left it (ErrorRow, ErrorCol)
};

// The result of a parse and, on failure, the fault in words: TinyXML's own description,
// or "Elements are nested deeper than N levels".
struct XmlDocStatus {
  int result = XMLDOC_OK;
  std::string description;
};

// The element nesting depth TinyXML reaches (and so its recursion depth) parsing the text
// in that encoding: exact for a text it parses without a fault, never less than it for
// any other, whatever the bytes (quotes, markup characters and entities inside values,
// comments, CDATA sections, processing instructions and DOCTYPE declarations, stray bytes,
// cut texts). Needs no stack of its own; a null text is 0 deep.
size_t xmldoc_depth(const char* text, size_t size, TiXmlEncoding encoding);

// Clears doc and parses the text into it in that encoding (TIXML_DEFAULT_ENCODING takes
// a byte order mark or the declaration's encoding, as TinyXML does), after checking that
// its elements nest at most maxDepth levels.
XmlDocStatus xmldoc_parse(TiXmlDocument& doc, const char* text, size_t size, size_t maxDepth,
                          TiXmlEncoding encoding);
