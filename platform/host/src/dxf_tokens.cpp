// The DXF tokenizer of text and binary files, value parsing and the host's text of numbers.
#include "dxf_tokens.h"
#include <sys/stat.h>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include "dxflimits.h"
#include "hostimpl.h"

namespace {
// How a binary file holds the value of a group code.
enum class Binary { kText, kReal, kInt16, kInt32, kInt64, kBool, kChunk };

Binary binaryType(int code) {
  if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
      (code >= 460 && code <= 469) || (code >= 1010 && code <= 1059))
    return Binary::kReal;
  if ((code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
      (code >= 370 && code <= 389) || (code >= 400 && code <= 409) || (code >= 1060 && code <= 1070))
    return Binary::kInt16;
  if ((code >= 90 && code <= 99) || (code >= 420 && code <= 429) || (code >= 440 && code <= 459) || code == 1071)
    return Binary::kInt32;
  if (code >= 160 && code <= 169) return Binary::kInt64;
  if (code >= 290 && code <= 299) return Binary::kBool;
  if ((code >= 310 && code <= 319) || code == 1004) return Binary::kChunk;
  return Binary::kText;
}

size_t trimmedInt(long long v, char* out) {
  return size_t(std::to_chars(out, out + dxf::kNumberChars, v).ptr - out);
}
}  // namespace

namespace dxf {
bool isBinaryDxf(const std::string& data) {
  return data.size() >= kBinarySentinelBytes && std::memcmp(data.data(), kBinarySentinel, kBinarySentinelBytes) == 0;
}

Tokenizer::Tokenizer(const std::string& data, size_t start) : m_data(data), m_pos(start) {
  if (!isBinaryDxf(data)) return;
  m_binary = true;
  m_pos = kBinarySentinelBytes;
  // The first group is 0 SECTION: a one-byte code is followed by the text at once.
  m_shortCodes = m_pos + 1 < data.size() && data[m_pos] == 0 && data[m_pos + 1] != 0;
}

bool Tokenizer::next(Group& g) {
  if (m_peeked) {
    g = m_peek;
    m_peeked = false;
    return true;
  }
  for (;;) {
    if (!(m_binary ? nextBinary(g) : nextText(g))) return false;
    if (g.code != kCommentCode) return true;
    m_comments.push_back(g.value);
  }
}

bool Tokenizer::nextText(Group& g) {
  std::string codeLine;
  if (!line(codeLine)) return false;
  size_t b = codeLine.find_first_not_of(" \t"), e = codeLine.find_last_not_of(" \t");
  if (b == std::string::npos) throw DxfError{"empty line where a group code was expected", m_line};
  std::string t = codeLine.substr(b, e - b + 1);
  char* end = nullptr;
  errno = 0;
  long c = std::strtol(t.c_str(), &end, 10);
  if (*end || errno || c < -5 || c > 1071) throw DxfError{"bad group code \"" + t.substr(0, 40) + "\"", m_line};
  g.code = (int)c;
  if (!line(g.value)) throw DxfError{"file ends after group code " + t + " (truncated)", m_line};
  g.line = m_line;  // messages name the line of the value
  return true;
}

bool Tokenizer::nextBinary(Group& g) {
  const size_t size = m_data.size();
  if (m_pos >= size) return false;
  const unsigned char* d = reinterpret_cast<const unsigned char*>(m_data.data());
  g.line = m_pos;
  auto need = [&](size_t n) {
    if (size - m_pos < n) throw DxfError{"file ends inside a group (truncated)", g.line};
  };
  auto little = [&](size_t n) {
    need(n);
    unsigned long long v = 0;
    for (size_t i = 0; i < n; ++i) v |= (unsigned long long)d[m_pos + i] << (8 * i);
    m_pos += n;
    return v;
  };
  int code = m_shortCodes ? (int)little(1) : (int)(int16_t)little(2);
  if (m_shortCodes && code == 255) code = (int)(int16_t)little(2);
  if (code < -5 || code > 1071) throw DxfError{"bad group code " + std::to_string(code), g.line};
  g.code = code;
  char num[kNumberChars];
  switch (binaryType(code)) {
    case Binary::kText: {
      const void* nul = std::memchr(d + m_pos, 0, size - m_pos);
      if (!nul) throw DxfError{"file ends inside a text (truncated)", g.line};
      size_t n = (const unsigned char*)nul - (d + m_pos);
      if (n > kDxfMaxLineBytes) throw DxfError{"text longer than the reader's limit", g.line};
      g.value.assign(m_data, m_pos, n);
      m_pos += n + 1;
      break;
    }
    case Binary::kReal: {
      unsigned long long bits = little(8);
      double v;
      std::memcpy(&v, &bits, sizeof v);
      g.value.assign(num, realText(v, num));
      break;
    }
    case Binary::kInt16: g.value.assign(num, trimmedInt((int16_t)little(2), num)); break;
    case Binary::kInt32: g.value.assign(num, trimmedInt((int32_t)little(4), num)); break;
    case Binary::kInt64: g.value.assign(num, trimmedInt((long long)little(8), num)); break;
    case Binary::kBool: g.value.assign(num, trimmedInt((long long)little(1), num)); break;
    case Binary::kChunk: {
      size_t n = little(1);
      need(n);
      static const char kDigits[] = "0123456789ABCDEF";
      g.value.resize(2 * n);
      for (size_t i = 0; i < n; ++i) {
        g.value[2 * i] = kDigits[d[m_pos + i] >> 4];
        g.value[2 * i + 1] = kDigits[d[m_pos + i] & 15];
      }
      m_pos += n;
      break;
    }
  }
  return true;
}

bool Tokenizer::line(std::string& out) {
  if (m_pos >= m_data.size()) return false;
  size_t nl = m_data.find('\n', m_pos);
  size_t end = nl == std::string::npos ? m_data.size() : nl;
  ++m_line;
  if (end - m_pos > kDxfMaxLineBytes) throw DxfError{"line longer than the reader's limit", m_line};
  out.assign(m_data, m_pos, end - m_pos);
  while (!out.empty() && out.back() == '\r') out.pop_back();  // CR LF, and any CRs before it
  m_pos = nl == std::string::npos ? m_data.size() : nl + 1;
  return true;
}

double toReal(const Group& g) {
  char* end = nullptr;
  const char* s = g.value.c_str();
  while (*s == ' ') ++s;
  double v = std::strtod(s, &end);
  while (end && *end == ' ') ++end;
  if (end == s || *end || !std::isfinite(v))
    throw DxfError{"group " + std::to_string(g.code) + ": \"" + g.value.substr(0, 40) + "\" is not a number", g.line};
  return v;
}

long long toInt(const Group& g) {
  char* end = nullptr;
  const char* s = g.value.c_str();
  while (*s == ' ') ++s;
  errno = 0;
  long long v = std::strtoll(s, &end, 10);
  while (end && *end == ' ') ++end;
  if (end == s || *end || errno)
    throw DxfError{"group " + std::to_string(g.code) + ": \"" + g.value.substr(0, 40) + "\" is not an integer", g.line};
  return v;
}

Adesk::UInt64 toHandle(const Group& g) {
  AcDbHandle h(cadhost::fromUtf8(g.value).c_str());
  if ((h.isNull() && g.value != "0") || h.value() >= (Adesk::UInt64(1) << 62))
    throw DxfError{"\"" + g.value.substr(0, 40) + "\" is not a handle", g.line};
  return h.value();
}

std::vector<Group> readObject(Tokenizer& t) {
  std::vector<Group> out;
  Group g;
  while (t.next(g)) {
    if (g.code == 0) {
      t.pushBack(g);
      return out;
    }
    out.push_back(g);
  }
  throw DxfError{"file ends inside an object (truncated)", t.lineNo()};
}

bool readFile(const std::string& path, std::string& data, std::wstring* message) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (message) *message = L"cannot open " + cadhost::fromUtf8(path);
    return false;
  }
  if ((size_t)st.st_size > kDxfMaxFileBytes) {
    if (message) *message = cadhost::fromUtf8(path) + L": larger than the reader's limit";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  data = buf.str();
  if (!in && !in.eof()) {
    if (message) *message = L"cannot read " + cadhost::fromUtf8(path);
    return false;
  }
  return true;
}

size_t realText(double v, char* out) {
  char* end = std::to_chars(out, out + kNumberChars - 3, v).ptr;
  bool plain = true;
  for (char* p = out; p < end; ++p)
    if (*p == '.' || *p == 'e' || *p == 'n') plain = false;  // a point, an exponent, inf or nan
  if (plain) {
    *end++ = '.';
    *end++ = '0';
  }
  return size_t(end - out);
}

size_t angleText(double radians, char* out) { return realText(radians * 180.0 / M_PI, out); }
}  // namespace dxf
