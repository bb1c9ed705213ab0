#include "xmldoc.h"

#include <cstring>

XmlDocStatus xmldoc_parse(TiXmlDocument& doc, const char* text, size_t size, size_t maxDepth,
                          TiXmlEncoding encoding) {
  doc.Clear();
  doc.ClearError();
  const size_t length = text ? strnlen(text, size) : 0;
  XmlDocStatus status;
  if (xmldoc_depth(text, length, encoding) > maxDepth) {
    status.result = XMLDOC_TOO_DEEP;
    status.description = "Elements are nested deeper than " + std::to_string(maxDepth) + " levels";
    return status;
  }
  std::string copy;
  copy.reserve(length + kXmlDocPadding);
  copy.assign(text ? text : "", length);
  copy.append(kXmlDocPadding, '\0');
  doc.Parse(copy.c_str(), nullptr, encoding);
  if (doc.Error()) {
    status.result = XMLDOC_BAD_XML;
    status.description = doc.ErrorDesc() && *doc.ErrorDesc() ? doc.ErrorDesc() : "XML error";
  }
  return status;
}
