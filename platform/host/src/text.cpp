// Wide and UTF-8 text, letter case.
#include <cwctype>
#include "hostimpl.h"
#include "standin.h"

namespace cadhost {

namespace {
// Where wchar_t has 16 bits (Windows), wide text is UTF-16: characters past U+FFFF are
// surrogate pairs.
const bool kUtf16 = sizeof(wchar_t) == 2;

bool isHigh(uint32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool isLow(uint32_t c) { return c >= 0xDC00 && c < 0xE000; }

void appendWide(std::wstring& out, uint32_t c) {
  if (kUtf16 && c > 0xFFFF) {
    out += (wchar_t)(0xD800 + ((c - 0x10000) >> 10));
    out += (wchar_t)(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += (wchar_t)c;
  }
}
}  // namespace

std::string toUtf8(const std::wstring& w) {
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t c = (uint32_t)w[i];
    if (kUtf16 && isHigh(c) && i + 1 < w.size() && isLow((uint32_t)w[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + ((uint32_t)w[++i] - 0xDC00);
    }
    standin::appendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
  }
  return out;
}

// Invalid sequences become U+FFFD, one per byte, so nothing is read past the end.
std::wstring fromUtf8(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char b = (unsigned char)s[i];
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > n) {
      out += (wchar_t)0xFFFD;
      ++i;
      continue;
    }
    uint32_t c = len == 1 ? b : (b & (0x7F >> len));
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cb = (unsigned char)s[i + k];
      if ((cb & 0xC0) != 0x80) { ok = false; break; }
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok || c > 0x10FFFF) {
      out += (wchar_t)0xFFFD;
      ++i;
      continue;
    }
    appendWide(out, c);
    i += len;
  }
  return out;
}

// Names are compared often (every entity's layer and block); plain ASCII skips the
// locale's case tables.
bool equalsNoCase(const std::wstring& a, const std::wstring& b) {
  return equalsNoCase(a.data(), a.size(), b.data(), b.size());
}

bool equalsNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb) {
  if (na != nb) return false;
  for (size_t i = 0; i < na; ++i) {
    wchar_t x = a[i], y = b[i];
    if (x == y) continue;
    if (x < 128 && y < 128) {
      if (x >= L'a' && x <= L'z') x -= 32;
      if (y >= L'a' && y <= L'z') y -= 32;
      if (x != y) return false;
    } else if (std::towupper(x) != std::towupper(y)) {
      return false;
    }
  }
  return true;
}

std::wstring upper(std::wstring s) {
  for (wchar_t& c : s) c = (wchar_t)std::towupper(c);
  return s;
}

std::wstring handleText(const AcDbHandle& h) {
  ACHAR buf[20];
  h.getIntoAsciiBuffer(buf, 20);
  return buf;
}

}  // namespace cadhost
