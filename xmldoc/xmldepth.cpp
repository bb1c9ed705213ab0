// The depth scanner: it reads a text position by position as TinyXML does, without
// building anything, and counts element nesting. Every rule that decides where a construct
// ends is TinyXML's, odd ones included: a DOCTYPE or processing instruction ends at its
// first '>', internal subset or not; a numeric entity runs to the next ';' whatever lies
// between; in UTF-8 a lead byte swallows the bytes after it, '<' and quotes included.
// Where TinyXML stops on a fault it cannot see cheaply (an end tag of another name, an
// attribute given twice) the scanner reads on, which can only count more.
#include <cctype>
#include <cstring>

#include "xmldoc.h"

namespace {

const size_t kNowhere = static_cast<size_t>(-1);

// The bytes TinyXML takes as one character in UTF-8, from the first byte alone.
size_t utf8Length(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 1;
}

// TinyXML's character classes; every byte from 127 up counts as a letter.
bool isWhite(unsigned char c) { return std::isspace(c) || c == '\n' || c == '\r'; }
bool isAlpha(unsigned char c) { return c >= 127 || std::isalpha(c); }
bool isNameChar(unsigned char c) {
  return c >= 127 || std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == ':';
}
int lower(unsigned char c) { return c < 128 ? std::tolower(c) : c; }

struct NamedEntity {
  const char* text;
  char value;
};
const NamedEntity kNamedEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

class DepthScanner {
 public:
  DepthScanner(const unsigned char* text, size_t size, TiXmlEncoding encoding)
      : m_text(text), m_size(size), m_encoding(encoding) {}

  size_t run() {
    if (m_encoding == TIXML_ENCODING_UNKNOWN && startsWith(0, "\xEF\xBB\xBF"))
      m_encoding = TIXML_ENCODING_UTF8;
    size_t p = 0;
    while (true) {
      p = skipSpace(p);
      if (atEnd(p)) break;
      if (at(p) != '<') {
        if (m_depth == 0) break;  // TinyXML ends the document at anything but markup
        if (!readText(p, "<", nullptr)) break;
        --p;  // back to the '<' that ended the text
      } else if (m_depth > 0 && at(p + 1) == '/') {
        p = find(p + 2, ">");  // the end tag of the open element
        if (p == kNowhere) break;
        ++p;
        --m_depth;
      } else if (!markup(p)) {
        break;
      }
    }
    return m_deepest;
  }

 private:
  bool atEnd(size_t p) const { return p >= m_size; }
  unsigned char at(size_t p) const { return p < m_size ? m_text[p] : 0; }
  bool utf8() const { return m_encoding == TIXML_ENCODING_UTF8; }

  bool startsWith(size_t p, const char* tag, bool ignoreCase = false) const {
    for (; *tag; ++tag, ++p) {
      unsigned char c = at(p), t = static_cast<unsigned char>(*tag);
      if (atEnd(p) || (ignoreCase ? lower(c) != lower(t) : c != t)) return false;
    }
    return true;
  }
  // The position of the next occurrence of tag at or after from, or kNowhere.
  size_t find(size_t from, const char* tag) const {
    for (size_t p = from; p < m_size; ++p) {
      const void* first = std::memchr(m_text + p, tag[0], m_size - p);
      if (!first) return kNowhere;
      p = static_cast<size_t>(static_cast<const unsigned char*>(first) - m_text);
      if (startsWith(p, tag)) return p;
    }
    return kNowhere;
  }
  // White space, and in UTF-8 the byte order mark and two other three-byte sequences.
  size_t skipSpace(size_t p) const {
    while (!atEnd(p)) {
      if (utf8() && (startsWith(p, "\xEF\xBB\xBF") || startsWith(p, "\xEF\xBF\xBE") ||
                     startsWith(p, "\xEF\xBF\xBF")))
        p += 3;
      else if (isWhite(at(p)))
        ++p;
      else
        break;
    }
    return p;
  }
  bool name(size_t& p) const {
    if (atEnd(p) || !(isAlpha(at(p)) || at(p) == '_')) return false;
    while (!atEnd(p) && isNameChar(at(p))) ++p;
    return true;
  }

  // One character of text or of a quoted value, appended to value when there is one
  // (only while the encoding is still unknown: bytes and entities as single bytes).
  // False where TinyXML gives up: a numeric entity it cannot read.
  bool character(size_t& p, std::string* value) const {
    size_t length = utf8() ? utf8Length(at(p)) : 1;
    if (length > 1) {
      p += length;  // possibly past the end, as TinyXML does
    } else if (at(p) == '&') {
      return entity(p, value);
    } else {
      if (value) value->push_back(static_cast<char>(at(p)));
      ++p;
    }
    return true;
  }
  bool entity(size_t& p, std::string* value) const {
    if (at(p + 1) == '#' && !atEnd(p + 2)) {
      bool hex = at(p + 2) == 'x';
      size_t digits = p + (hex ? 3 : 2);
      if (atEnd(digits)) return false;
      // The next ';' anywhere behind, then digits back to the nearest 'x' or '#'.
      size_t semicolon = find(digits, ";");
      if (semicolon == kNowhere) return false;
      unsigned long code = 0, factor = 1;
      for (size_t q = semicolon - 1; at(q) != (hex ? 'x' : '#'); --q) {
        unsigned char c = at(q);
        int digit = c >= '0' && c <= '9'         ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (digit < 0) return false;
        code += factor * static_cast<unsigned long>(digit);
        factor *= hex ? 16 : 10;
      }
      if (value) value->push_back(static_cast<char>(code));
      p = semicolon + 1;
      return true;
    }
    for (const NamedEntity& named : kNamedEntities)
      if (startsWith(p, named.text)) {
        if (value) value->push_back(named.value);
        p += std::strlen(named.text);
        return true;
      }
    ++p;  // a lone '&': TinyXML drops it
    return true;
  }
  // Characters up to endTag, then past it. False where TinyXML gives up, also when nothing
  // follows endTag.
  bool readText(size_t& p, const char* endTag, std::string* value) const {
    while (!atEnd(p) && !startsWith(p, endTag))
      if (!character(p, value)) return false;
    if (atEnd(p)) return false;
    p += std::strlen(endTag);
    return !atEnd(p);
  }
  // name = "value", 'value' or an unquoted value, from before the name to behind the value.
  bool attribute(size_t& p, std::string* value) const {
    p = skipSpace(p);
    if (!name(p) || atEnd(p)) return false;
    p = skipSpace(p);
    if (at(p) != '=') return false;
    p = skipSpace(p + 1);
    if (atEnd(p)) return false;
    if (at(p) == '"') return readText(++p, "\"", value);
    if (at(p) == '\'') return readText(++p, "'", value);
    for (; !atEnd(p) && !isWhite(at(p)) && at(p) != '/' && at(p) != '>'; ++p) {
      if (at(p) == '"' || at(p) == '\'') return false;
      if (value) value->push_back(static_cast<char>(at(p)));
    }
    return true;
  }

  // A "<..." construct other than an end tag, from its '<' to behind it (behind the start
  // tag for an element); false where TinyXML stops.
  bool markup(size_t& p) {
    if (startsWith(p, "<?xml", true)) return declaration(p);
    if (startsWith(p, "<!--")) return skipPast(p + 4, "-->", p);
    if (startsWith(p, "<![CDATA[")) return skipPast(p + 9, "]]>", p) && !atEnd(p);
    if (isAlpha(at(p + 1)) || at(p + 1) == '_') return startTag(p);
    return skipPast(p + 1, ">", p);  // DOCTYPE, processing instruction, anything else
  }
  // Moves p behind the next tag at or after from, or to the end; false at the end.
  bool skipPast(size_t from, const char* tag, size_t& p) const {
    size_t found = find(from, tag);
    p = found == kNowhere ? m_size : found + std::strlen(tag);
    return found != kNowhere;
  }
  bool startTag(size_t& p) {
    if (++m_depth > m_deepest) m_deepest = m_depth;
    p = skipSpace(p + 1);
    if (!name(p) || atEnd(p)) return false;
    while (true) {
      p = skipSpace(p);
      if (atEnd(p)) return false;
      if (at(p) == '/') {
        if (at(p + 1) != '>') return false;
        p += 2;
        --m_depth;
        return true;
      }
      if (at(p) == '>') {
        ++p;
        return true;
      }
      if (!attribute(p, nullptr) || atEnd(p)) return false;
    }
  }
  // "<?xml ...>": TinyXML reads version, encoding and standalone as attributes and steps
  // over anything else. At document level it takes the encoding from the first one.
  bool declaration(size_t& p) {
    const bool detect = m_depth == 0 && m_encoding == TIXML_ENCODING_UNKNOWN;
    std::string encoding;
    p += 5;
    while (!atEnd(p)) {
      if (at(p) == '>') {
        ++p;
        if (detect) m_encoding = encodingNamed(encoding.c_str());
        return true;
      }
      p = skipSpace(p);
      if (startsWith(p, "version", true) || startsWith(p, "standalone", true)) {
        if (!attribute(p, nullptr)) return false;
      } else if (startsWith(p, "encoding", true)) {
        encoding.clear();
        if (!attribute(p, detect ? &encoding : nullptr)) return false;
      } else {
        while (!atEnd(p) && at(p) != '>' && !isWhite(at(p))) ++p;
      }
    }
    return false;
  }
  static TiXmlEncoding encodingNamed(const char* name) {
    auto startsWithName = [name](const char* prefix) {
      for (size_t i = 0; prefix[i]; ++i)
        if (lower(static_cast<unsigned char>(name[i])) != lower(static_cast<unsigned char>(prefix[i])))
          return false;
      return true;
    };
    if (!*name || startsWithName("utf-8") || startsWithName("utf8")) return TIXML_ENCODING_UTF8;
    return TIXML_ENCODING_LEGACY;
  }

  const unsigned char* m_text;
  size_t m_size;
  TiXmlEncoding m_encoding;
  size_t m_depth = 0;
  size_t m_deepest = 0;
};

}  // namespace

size_t xmldoc_depth(const char* text, size_t size, TiXmlEncoding encoding) {
  if (!text) return 0;
  return DepthScanner(reinterpret_cast<const unsigned char*>(text), strnlen(text, size), encoding)
      .run();
}
