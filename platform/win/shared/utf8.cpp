// The one UTF-8 encoder and decoder of the stand-ins, and case folding by it (standin.h).
#include "standin.h"

namespace standin {
void appendUtf8(std::string& out, uint32_t cp) {
  if (cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out += (char)cp;
  } else if (cp < 0x800) {
    out += (char)(0xC0 | (cp >> 6));
    out += (char)(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += (char)(0xE0 | (cp >> 12));
    out += (char)(0x80 | ((cp >> 6) & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  } else {
    out += (char)(0xF0 | (cp >> 18));
    out += (char)(0x80 | ((cp >> 12) & 0x3F));
    out += (char)(0x80 | ((cp >> 6) & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  }
}

bool decodeUtf8(const unsigned char* s, size_t n, size_t i, uint32_t& cp, size_t& len) {
  len = 1;
  unsigned char c = s[i];
  if (c < 0x80) {
    cp = c;
    return true;
  }
  size_t extra;
  uint32_t min;
  if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; min = 0x10000; }
  else return false;
  if (extra >= n - i) return false;
  for (size_t k = 1; k <= extra; ++k) {
    if ((s[i + k] & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  len = extra + 1;
  return true;
}

std::string foldCase(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    size_t len;
    if (!decodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), i, cp, len)) {
      out += text[i];
      ++i;
      continue;
    }
    if (cp < 0x80)
      out += (char)((cp >= 'A' && cp <= 'Z') ? cp + 32 : cp);
    else
      appendUtf8(out, lowerCase(cp));
    i += len;
  }
  return out;
}

bool equalNoCase(const std::string& a, const std::string& b) { return a == b || foldCase(a) == foldCase(b); }
}  // namespace standin
