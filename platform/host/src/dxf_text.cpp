// Code page 1252 with \U+XXXX escapes, the text form of DXF R2000 drawings.
#include "dxf_text.h"
#include <cstdio>
#include "hostimpl.h"

namespace {
// Code page 1252 bytes 0x80..0x9F; 0 marks the five bytes it leaves undefined.
const wchar_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                           0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

int toCp1252(wchar_t c) {
  if (c >= 0x20 && c < 0x80) return c;
  if (c >= 0xA0 && c <= 0xFF) return c;
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] && kHigh[i] == c) return 0x80 + i;
  return -1;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

namespace dxf {
void appendEncoded(std::string& out, const std::wstring& text) {
  for (wchar_t c : text) {
    int b = toCp1252(c);
    if (b >= 0) {
      out += (char)b;
    } else if ((uint32_t)c <= 0xFFFF) {
      char esc[12];
      std::snprintf(esc, sizeof esc, "\\U+%04X", (unsigned)c);
      out += esc;
    } else {
      // Outside the basic plane: as its UTF-16 surrogate pair, as the format's writers do.
      uint32_t v = (uint32_t)c - 0x10000;
      char esc[24];
      std::snprintf(esc, sizeof esc, "\\U+%04X\\U+%04X", 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
      out += esc;
    }
  }
}

std::string encode(const std::wstring& text) {
  std::string out;
  appendEncoded(out, text);
  return out;
}

std::wstring decode(const std::string& bytes, bool utf8) {
  std::wstring raw;
  if (utf8) {
    raw = cadhost::fromUtf8(bytes);
  } else {
    raw.reserve(bytes.size());
    for (unsigned char b : bytes) raw += (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80]) ? kHigh[b - 0x80] : (wchar_t)b;
  }
  if (raw.find(L"\\U+") == std::wstring::npos) return raw;
  std::wstring out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == L'\\' && i + 6 < raw.size() && raw[i + 1] == L'U' && raw[i + 2] == L'+') {
      int v = 0, k = 0;
      for (; k < 4 && i + 3 + k < raw.size(); ++k) {
        int d = raw[i + 3 + k] < 128 ? hexDigit((char)raw[i + 3 + k]) : -1;
        if (d < 0) break;
        v = v * 16 + d;
      }
      if (k == 4) {
        out += (wchar_t)v;
        i += 6;
        continue;
      }
    }
    out += raw[i];
  }
  // Join surrogate pairs into one character.
  std::wstring joined;
  joined.reserve(out.size());
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] >= 0xD800 && out[i] < 0xDC00 && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] < 0xE000) {
      joined += (wchar_t)(0x10000 + ((out[i] - 0xD800) << 10) + (out[i + 1] - 0xDC00));
      ++i;
    } else {
      joined += out[i];
    }
  }
  return joined;
}
}  // namespace dxf
