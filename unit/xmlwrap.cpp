#include "xmlwrap.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "xmlencoding.h"

namespace xmlwrap {
namespace {

// Zero bytes behind the text handed to the parser: on a multi-byte sequence cut by the
// end of the text TinyXML steps past the terminator by up to three bytes.
const size_t kParserPadding = 8;

bool isSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isAsciiAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// TinyXML takes every byte from 127 up as a letter.
bool isNameStart(unsigned char c) { return c >= 127 || isAsciiAlpha(c) || c == '_'; }
bool isNameChar(unsigned char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// Position of the first byte from which TinyXML's UTF-8 stepping could swallow markup: a
// lead byte not followed by enough continuation bytes.
const unsigned char* firstBrokenSequence(const unsigned char* p, const unsigned char* end) {
  for (; p < end; ++p) {
    if (*p < 0xC0) continue;
    size_t length = *p < 0xE0 ? 2 : *p < 0xF0 ? 3 : 4;
    for (size_t i = 1; i < length; ++i)
      if (p + i >= end || p[i] < 0x80) return p;
  }
  return end;
}

// Follows TinyXML's tokenising of markup (elements, end tags, comments, CDATA sections,
// declarations, other "<...>" nodes) and counts element nesting. Where it cannot be sure
// to read the bytes as the parser will (bytes outside ASCII inside a tag, broken UTF-8,
// anything the parser would reject), it falls back to an upper bound: every possible
// start tag from that point on counts as one level deeper.
class DepthScanner {
 public:
  DepthScanner(const unsigned char* begin, const unsigned char* end)
      : m_p(begin), m_end(end), m_limit(firstBrokenSequence(begin, end)) {}

  size_t run() {
    while (true) {
      const unsigned char* safe = m_p;
      size_t safeDepth = m_depth;
      while (m_p < m_limit && *m_p != '<') ++m_p;
      if (m_p >= m_end) break;
      if (m_p >= m_limit || !markup()) {
        countEveryStartTag(safe, safeDepth);
        break;
      }
      if (m_deepest > kMaxXmlDepth) break;
    }
    return m_deepest;
  }

 private:
  bool has(size_t n) const { return static_cast<size_t>(m_limit - m_p) >= n; }
  bool startsWith(const char* text, bool ignoreCase = false) const {
    size_t n = std::strlen(text);
    if (!has(n)) return false;
    for (size_t i = 0; i < n; ++i) {
      unsigned char a = m_p[i], b = static_cast<unsigned char>(text[i]);
      if (ignoreCase && a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
      if (a != b) return false;
    }
    return true;
  }
  // Moves behind the next occurrence of the text at or after from; false when it is missing.
  bool skipPast(size_t from, const char* text) {
    size_t n = std::strlen(text);
    for (const unsigned char* q = m_p + from; q + n <= m_limit; ++q)
      if (std::memcmp(q, text, n) == 0) {
        m_p = q + n;
        return true;
      }
    return false;
  }
  void skipSpace() {
    while (m_p < m_limit && isSpace(*m_p)) ++m_p;
  }

  // One "<..." construct at m_p; false when the scanner can no longer follow the parser.
  bool markup() {
    if (startsWith("</")) {
      if (!skipPast(2, ">")) return false;
      if (m_depth > 0) --m_depth;  // at document level the parser takes it as an unknown node
      return true;
    }
    if (startsWith("<?xml", true)) return declaration();
    if (startsWith("<!--")) return skipPast(4, "-->");
    if (startsWith("<![CDATA[")) return skipPast(9, "]]>");
    if (startsWith("<!")) return skipPast(1, ">");
    if (has(2) && isNameStart(m_p[1])) return element();
    return skipPast(1, ">");
  }

  bool element() {
    ++m_depth;
    if (m_depth > m_deepest) m_deepest = m_depth;
    ++m_p;
    if (!name()) return false;
    while (true) {
      skipSpace();
      if (m_p >= m_limit) return false;
      if (*m_p == '/') {
        if (!has(2) || m_p[1] != '>') return false;
        m_p += 2;
        --m_depth;
        return true;
      }
      if (*m_p == '>') {
        ++m_p;
        return true;
      }
      if (!attribute()) return false;
    }
  }

  bool declaration() {
    m_p += 5;
    while (true) {
      if (m_p >= m_limit) return false;
      if (*m_p == '>') {
        ++m_p;
        return true;
      }
      skipSpace();
      if (startsWith("version", true) || startsWith("encoding", true) ||
          startsWith("standalone", true)) {
        if (!attribute()) return false;
        continue;
      }
      while (m_p < m_limit && *m_p != '>' && !isSpace(*m_p)) {
        if (*m_p >= 127) return false;
        ++m_p;
      }
    }
  }

  // An ASCII name; false for anything else.
  bool name() {
    if (m_p >= m_limit || *m_p >= 127 || !isNameStart(*m_p)) return false;
    while (m_p < m_limit && isNameChar(*m_p)) {
      if (*m_p >= 127) return false;
      ++m_p;
    }
    return true;
  }

  // name = "value" (or 'value', or an unquoted value); a quoted value holding markup
  // characters is given up on, so that no reading of it can hide a tag.
  bool attribute() {
    if (!name()) return false;
    skipSpace();
    if (m_p >= m_limit || *m_p != '=') return false;
    ++m_p;
    skipSpace();
    if (m_p >= m_limit) return false;
    unsigned char quote = *m_p;
    if (quote == '"' || quote == '\'') {
      for (++m_p; m_p < m_limit && *m_p != quote; ++m_p)
        if (*m_p == '<' || *m_p == '>') return false;
      if (m_p >= m_limit) return false;
      ++m_p;
      return true;
    }
    while (m_p < m_limit && !isSpace(*m_p) && *m_p != '/' && *m_p != '>') {
      if (*m_p == '"' || *m_p == '\'' || *m_p >= 127) return false;
      ++m_p;
    }
    return true;
  }

  void countEveryStartTag(const unsigned char* from, size_t depth) {
    for (const unsigned char* q = from; q + 1 < m_end; ++q)
      if (*q == '<' && isNameStart(q[1])) ++depth;
    if (depth > m_deepest) m_deepest = depth;
  }

  const unsigned char* m_p;
  const unsigned char* m_end;
  const unsigned char* m_limit;  // the scanner follows the parser only before this byte
  size_t m_depth = 0;
  size_t m_deepest = 0;
};

std::string location(const TiXmlElement& element) {
  char where[64];
  std::snprintf(where, sizeof where, " (line %d)", element.Row());
  return where;
}

}  // namespace

size_t nestingDepth(const char* data, size_t size) {
  if (!data) return 0;
  const unsigned char* begin = reinterpret_cast<const unsigned char*>(data);
  return DepthScanner(begin, begin + size).run();
}

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
  if (nestingDepth(buffer.data(), buffer.size()) > kMaxXmlDepth)
    throw Exception("Elements are nested deeper than " + std::to_string(kMaxXmlDepth) + " levels");
  buffer.append(kParserPadding, '\0');
  doc.Clear();
  doc.ClearError();
  doc.Parse(buffer.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
  if (doc.Error()) {
    char where[64];
    std::snprintf(where, sizeof where, " (line %d, column %d)", doc.ErrorRow(), doc.ErrorCol());
    throw Exception(std::string(doc.ErrorDesc() ? doc.ErrorDesc() : "XML error") + where);
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
