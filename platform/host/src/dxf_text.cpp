// Code pages of DXF files through the platform's converters (hostos.h), with the
// format's \U+XXXX escapes.
#include "dxf_text.h"
#include <cstdio>
#include <cstring>
#include <strings.h>
#include "hostimpl.h"
#include "hostos.h"

namespace {
// Code page 1252 bytes 0x80..0x9F; 0 marks the five bytes it leaves undefined, which are
// read as the characters of the same number and written back as those bytes.
const wchar_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                           0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

int toCp1252(wchar_t c) {
  if (c >= 0x20 && c < 0x80) return c;
  if (c >= 0xA0 && c <= 0xFF) return c;
  if (c >= 0x80 && c < 0xA0 && !kHigh[c - 0x80]) return c;
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] && kHigh[i] == c) return 0x80 + i;
  return -1;
}

int hexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// $DWGCODEPAGE values and the code pages they name.
struct Page {
  const char* dxf;
  int number;
};
const Page kPages[] = {
    {"ANSI_1250", 1250}, {"ANSI_1251", 1251}, {"ANSI_1253", 1253}, {"ANSI_1254", 1254},
    {"ANSI_1255", 1255}, {"ANSI_1256", 1256}, {"ANSI_1257", 1257}, {"ANSI_1258", 1258},
    {"ANSI_874", 874},   {"ANSI_932", 932},   {"ANSI_936", 936},   {"ANSI_949", 949},
    {"ANSI_950", 950},   {"ANSI_1361", 1361},
};

void appendEscape(std::string& out, wchar_t c) {
  char esc[24];
  uint32_t v = (uint32_t)c;
  if (v <= 0xFFFF) {
    std::snprintf(esc, sizeof esc, "\\U+%04X", v);
  } else {
    // Outside the basic plane: as its UTF-16 surrogate pair, as the format's writers do.
    v -= 0x10000;
    std::snprintf(esc, sizeof esc, "\\U+%04X\\U+%04X", 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
  }
  out += esc;
}

bool startsEscape(const std::wstring& text, size_t i) {
  return i + 2 < text.size() && text[i] == L'\\' && text[i + 1] == L'U' && text[i + 2] == L'+';
}

std::wstring unescape(std::wstring raw) {
  if (raw.find(L"\\U+") == std::wstring::npos) return raw;
  std::wstring out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (startsEscape(raw, i)) {
      int v = 0, k = 0;
      for (; k < 4 && i + 3 + k < raw.size(); ++k) {
        int d = hexDigit(raw[i + 3 + k]);
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

// Past the last code point; a 16-bit wchar_t (Windows) never is.
bool beyondUnicode(uint32_t c) { return c > 0x10FFFF; }

bool plainAscii(std::string_view bytes) {
  for (unsigned char b : bytes)
    if (b >= 0x80) return false;
  return true;
}
}  // namespace

namespace dxf {
struct Codec::Converters {
  std::shared_ptr<cadhost::OsCodePage> page;
};

Codec::Codec() = default;

Codec Codec::forDrawing(const std::string& acadver, const std::string& codePage) {
  Codec c;
  if (acadver >= "AC1021") {
    c.m_utf8 = true;
    c.m_page = codePage.empty() ? "ANSI_1252" : codePage;
    return c;
  }
  for (const Page& p : kPages) {
    if (strcasecmp(codePage.c_str(), p.dxf) != 0) continue;
    auto conv = std::make_shared<Converters>();
    conv->page = cadhost::osOpenCodePage(p.number);
    if (!conv->page) break;
    c.m_conv = conv;
    c.m_page = p.dxf;
    return c;
  }
  return c;
}

std::wstring Codec::decode(std::string_view bytes) const {
  // Most texts are ASCII without a backslash: the same characters in every code page.
  if (plainAscii(bytes) && bytes.find('\\') == std::string_view::npos) return std::wstring(bytes.begin(), bytes.end());
  std::wstring raw;
  if (m_utf8) {
    raw = cadhost::fromUtf8(bytes);
  } else if (!m_conv || plainAscii(bytes)) {
    raw.reserve(bytes.size());
    for (unsigned char b : bytes) raw += (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80]) ? kHigh[b - 0x80] : (wchar_t)b;
  } else {
    raw.reserve(bytes.size());
    cadhost::osDecode(*m_conv->page, bytes, raw);
  }
  return unescape(std::move(raw));
}

void Codec::append(std::string& out, const std::wstring& text) const {
  const size_t start = out.size();
  appendEach(out, text, false);
  // A double-byte code page reads a lone lead byte together with the byte after it, so
  // characters written one by one can read back as others: a text that would not read
  // back the same is written with every character beyond ASCII escaped.
  if (!m_conv || decode(out.substr(start)) == text) return;
  out.resize(start);
  appendEach(out, text, true);
}

void Codec::appendEach(std::string& out, const std::wstring& text, bool escapeBeyondAscii) const {
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\\' && startsEscape(text, i)) {
      out += "\\U+005C";
    } else if (c >= 0x20 && c < 0x80) {
      out += (char)c;
    } else if (c < 0x20 || escapeBeyondAscii || (c >= 0xD800 && c < 0xE000) || beyondUnicode((uint32_t)c)) {
      appendEscape(out, c);
    } else if (m_utf8) {
      out += cadhost::toUtf8(std::wstring(1, c));
    } else if (!m_conv) {
      int b = toCp1252(c);
      if (b >= 0) out += (char)b;
      else appendEscape(out, c);
    } else if (!cadhost::osEncode(*m_conv->page, c, out)) {
      appendEscape(out, c);
    }
  }
}

std::string Codec::encode(const std::wstring& text) const {
  std::string out;
  append(out, text);
  return out;
}
}  // namespace dxf
