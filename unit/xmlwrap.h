// A thin wrapper over TinyXML with what the unit reader needs: load a document from a
// file, find child elements by name, read element text and attributes. Every fault is
// thrown as an xmlwrap::Exception carrying the library's description of it.
#pragma once
#include <tinyxml.h>

#include <cstddef>
#include <string>

#include "xmlexception.h"

namespace xmlwrap {

// Deepest element nesting a document may have. TinyXML parses (and frees) elements
// recursively, so a document nested far deeper than any unit file would exhaust the stack.
const size_t kMaxXmlDepth = 256;
// Largest file loaded; a unit file is a few kilobytes.
const size_t kMaxXmlFileSize = 16 * 1024 * 1024;

// Loads and parses the file into doc (white space condensed as the library is set).
// Throws Exception when the file cannot be read, is too large, is nested deeper than
// kMaxXmlDepth, is not well-formed or has no root element.
void loadFile(TiXmlDocument& doc, const std::string& path);
// The same for a document already in memory (the bytes up to the first zero byte).
void parseText(TiXmlDocument& doc, const std::string& text);

// The document's first element; throws when there is none.
const TiXmlElement& rootElement(const TiXmlDocument& doc);
// The first child element of that name, or null.
const TiXmlElement* findChild(const TiXmlElement& parent, const char* name);
// The first child element of that name; throws when there is none.
const TiXmlElement& child(const TiXmlElement& parent, const char* name);
// The element's text, "" when it has none.
std::string textOr(const TiXmlElement& element, const std::string& fallback = std::string());
// The element's text; throws when it has none.
std::string text(const TiXmlElement& element);
// The attribute's value, or fallback when the element has no such attribute.
std::string attribute(const TiXmlElement& element, const char* name,
                      const std::string& fallback = std::string());

}  // namespace xmlwrap
