#include "xmlwrap.h"

#include <cstdio>
#include <fstream>

#include "xmldoc.h"
#include "xmlencoding.h"

namespace xmlwrap {
namespace {

std::string location(const TiXmlElement& element) {
  char where[64];
  std::snprintf(where, sizeof where, " (line %d)", element.Row());
  return where;
}

}  // namespace

void parseText(TiXmlDocument& doc, const std::string& text) {
  // The parser sees a C string: everything behind a zero byte is not part of the document.
  std::string buffer(text.c_str());
  if (buffer.size() > kMaxXmlFileSize)
    throw Exception("The document is larger than " + std::to_string(kMaxXmlFileSize) + " bytes");
  // Line ends as TinyXML's own file loading gives them: "\r\n" and "\r" become "\n".
  size_t out = 0;
  for (size_t in = 0; in < buffer.size(); ++in) {
    if (buffer[in] == '\r') {
      buffer[out++] = '\n';
      if (in + 1 < buffer.size() && buffer[in + 1] == '\n') ++in;
    } else {
      buffer[out++] = buffer[in];
    }
  }
  buffer.resize(out);
  XmlDocStatus status =
      xmldoc_parse(doc, buffer.data(), buffer.size(), kMaxXmlDepth, TIXML_DEFAULT_ENCODING);
  if (status.result == XMLDOC_TOO_DEEP)
    throw Exception("Elements are nested deeper than " + std::to_string(kMaxXmlDepth) + " levels");
  if (status.result != XMLDOC_OK) {
    char where[64];
    std::snprintf(where, sizeof where, " (line %d, column %d)", doc.ErrorRow(), doc.ErrorCol());
    throw Exception(status.description + where);
  }
  if (!doc.RootElement()) throw Exception("The document has no root element");
}

void loadFile(TiXmlDocument& doc, const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Exception("Failed to open file '" + path + "'");
  file.seekg(0, std::ios::end);
  std::streamoff size = file.tellg();
  if (size < 0) throw Exception("Failed to read file '" + path + "'");
  if (static_cast<unsigned long long>(size) > kMaxXmlFileSize)
    throw Exception("The file '" + path + "' is larger than " + std::to_string(kMaxXmlFileSize) +
                    " bytes");
  file.seekg(0, std::ios::beg);
  std::string text(static_cast<size_t>(size), '\0');
  if (size > 0 && !file.read(&text[0], size)) throw Exception("Failed to read file '" + path + "'");
  parseText(doc, xmlToUtf8(text));
}

const TiXmlElement& rootElement(const TiXmlDocument& doc) {
  const TiXmlElement* root = doc.RootElement();
  if (!root) throw Exception("The document has no root element");
  return *root;
}

const TiXmlElement* findChild(const TiXmlElement& parent, const char* name) {
  return parent.FirstChildElement(name);
}

const TiXmlElement& child(const TiXmlElement& parent, const char* name) {
  const TiXmlElement* found = parent.FirstChildElement(name);
  if (!found)
    throw Exception(std::string("Element '") + parent.Value() + "' has no child element '" + name +
                    "'" + location(parent));
  return *found;
}

std::string textOr(const TiXmlElement& element, const std::string& fallback) {
  const char* value = element.GetText();
  return value ? std::string(value) : fallback;
}

std::string text(const TiXmlElement& element) {
  const char* value = element.GetText();
  if (!value)
    throw Exception(std::string("Element '") + element.Value() + "' has no text" +
                    location(element));
  return value;
}

std::string attribute(const TiXmlElement& element, const char* name, const std::string& fallback) {
  const char* value = element.Attribute(name);
  return value ? std::string(value) : fallback;
}

}  // namespace xmlwrap
