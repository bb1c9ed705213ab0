// UTF-8 and UTF-16LE for the registry: stored text values and hive files.
#include "reg_text.h"
#include <vector>
#include "standin.h"
#include "reg_hive.h"
#include <windows.h>

namespace zwin {
using standin::appendUtf8;
namespace {
// A byte that is not part of a UTF-8 character travels as the lone surrogate U+DC00 + byte.
const char32_t kByteEscape = 0xDC00;

// One strict UTF-8 character at s[i]; false for anything else (overlong forms, surrogates,
// beyond U+10FFFF, cut sequences).
bool decodeUtf8(const BYTE* s, size_t n, size_t i, char32_t& cp, size_t& len) {
  uint32_t c = 0;
  const bool ok = standin::decodeUtf8(s, n, i, c, len);
  cp = c;
  return ok;
}

void appendUnit(std::vector<BYTE>& out, char32_t u) {
  out.push_back((BYTE)(u & 0xFF));
  out.push_back((BYTE)(u >> 8));
}

// One code point as UTF-16LE: a surrogate pair beyond the basic plane.
void appendUtf16(std::vector<BYTE>& out, char32_t cp) {
  if (cp >= 0x10000) {
    appendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
    appendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    appendUnit(out, cp);
  }
}
}  // namespace

bool utf16Units(const std::string& bytes, size_t begin, std::u32string& out) {
  bool clean = true;
  size_t n = (bytes.size() - begin) / 2;
  auto unit = [&](size_t k) {
    return (char32_t)((unsigned char)bytes[begin + 2 * k] | ((unsigned char)bytes[begin + 2 * k + 1] << 8));
  };
  for (size_t k = 0; k < n; ++k) {
    char32_t u = unit(k);
    if (u >= 0xD800 && u < 0xDC00 && k + 1 < n && unit(k + 1) >= 0xDC00 && unit(k + 1) < 0xE000) {
      out += 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
      continue;
    }
    if (u >= 0xD800 && u < 0xE000) clean = false;
    out += u;
  }
  return clean;
}

bool isUtf8(const std::string& text) {
  const BYTE* s = reinterpret_cast<const BYTE*>(text.data());
  char32_t cp;
  size_t len;
  for (size_t i = 0; i < text.size(); i += len)
    if (!decodeUtf8(s, text.size(), i, cp, len)) return false;
  return true;
}

std::string utf16FileToUtf8(const std::string& bytes) {
  std::u32string units;
  utf16Units(bytes, 2, units);
  std::string out;
  out.reserve(units.size());
  for (char32_t cp : units) appendUtf8(out, cp >= 0xD800 && cp < 0xE000 ? 0xFFFD : cp);
  return out;
}

std::string utf8ToUtf16File(const std::string& text) {
  std::vector<BYTE> out = {0xFF, 0xFE};
  const BYTE* s = reinterpret_cast<const BYTE*>(text.data());
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t len;
    if (!decodeUtf8(s, text.size(), i, cp, len)) {
      cp = 0xFFFD;
      len = 1;
    }
    if (cp == '\n') appendUnit(out, '\r');
    appendUtf16(out, cp);
    i += len;
  }
  return std::string(out.begin(), out.end());
}

bool isTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<BYTE> narrowToStored(const BYTE* data, size_t size) {
  std::vector<BYTE> out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size;) {
    char32_t cp;
    size_t len;
    if (!decodeUtf8(data, size, i, cp, len)) {
      cp = kByteEscape + data[i];
      len = 1;
    }
    appendUtf16(out, cp);
    i += len;
  }
  return out;
}

std::string storedToNarrow(const std::vector<BYTE>& data) {
  std::string bytes(data.begin(), data.end());
  std::u32string units;
  utf16Units(bytes, 0, units);
  std::string out;
  out.reserve(units.size());
  for (char32_t cp : units) {
    if (cp >= kByteEscape + 0x80 && cp <= kByteEscape + 0xFF) out += (char)(cp - kByteEscape);
    else appendUtf8(out, cp);
  }
  if (bytes.size() % 2) out += bytes.back();
  return out;
}
}  // namespace zwin
