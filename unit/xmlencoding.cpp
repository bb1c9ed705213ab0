#include "xmlencoding.h"

#include <cctype>
#include <cstring>

#include "charset.h"

namespace {

// Read when a document without a declaration is not UTF-8: what Windows programs write.
const char* const kFallbackEncoding = "WINDOWS-1252";

bool isUtf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    if (len == 0 || i + len > n) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

bool isUtf8Name(const std::string& name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == "UTF-8" || upper == "UTF8";
}

// Where the declaration's encoding value lies (begin, length); false when the document
// has no declaration or the declaration names no encoding.
bool declaredEncoding(const std::string& s, size_t& begin, size_t& length) {
  size_t start = s.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (s.compare(start, 5, "<?xml") != 0) return false;
  size_t end = s.find("?>", start);
  if (end == std::string::npos) return false;
  size_t at = s.find("encoding", start);
  if (at == std::string::npos || at > end) return false;
  at = s.find_first_of("\"'", at);
  if (at == std::string::npos || at > end) return false;
  size_t close = s.find(s[at], at + 1);
  if (close == std::string::npos || close > end) return false;
  begin = at + 1;
  length = close - begin;
  return true;
}

}  // namespace

std::string xmlToUtf8(const std::string& bytes) {
  size_t begin = 0, length = 0;
  bool declared = declaredEncoding(bytes, begin, length);
  std::string encoding = declared ? bytes.substr(begin, length) : std::string();
  if (declared ? isUtf8Name(encoding) : isUtf8(bytes)) return bytes;
  std::string text;
  if (!charsetToUtf8(bytes, declared ? encoding : kFallbackEncoding, text)) return bytes;
  if (declared) {
    text.replace(begin, length, "UTF-8");  // ASCII before it: the same place
  } else if (text.compare(0, 5, "<?xml") == 0 && text.find("?>") != std::string::npos) {
    text.insert(text.find("?>"), " encoding=\"UTF-8\"");
  } else {
    text.insert(0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");  // same line: messages keep theirs
  }
  return text;
}
