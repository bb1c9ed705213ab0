#include "du_text.h"
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// strtod would accept "inf", "nan" and hexadecimal floats: allow only plain decimals.
bool plainDecimal(const std::string& t) {
  if (t.empty() || t.size() > 64) return false;
  for (char c : t)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  return true;
}
}  // namespace

bool du_normalize_handle(const std::string& text, std::string& handle) {
  if (text.empty() || text.size() > 16) return false;
  uint64_t value = 0;
  for (char c : text) {
    int d = hexDigit(c);
    if (d < 0) return false;
    value = (value << 4) | uint64_t(d);
  }
  if (value == 0) return false;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(value));
  handle = buf;
  return true;
}

bool du_parse_double(const std::string& text, double& value) {
  std::string t = trimmed(text);
  if (!plainDecimal(t)) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool du_parse_int(const std::string& text, int& value) {
  std::string t = trimmed(text);
  if (t.empty() || t.size() > 12) return false;
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size()) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return false;
  long long v = std::strtoll(t.c_str(), nullptr, 10);
  if (v < INT_MIN || v > INT_MAX) return false;
  value = int(v);
  return true;
}

bool du_parse_numbers(const std::string& text, size_t count, std::vector<double>& values) {
  std::vector<double> out;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    if (pos == text.size()) break;
    size_t end = pos;
    while (end < text.size() && !isBlank(text[end])) ++end;
    double v;
    if (out.size() == count || !du_parse_double(text.substr(pos, end - pos), v)) return false;
    out.push_back(v);
    pos = end;
  }
  if (out.size() != count) return false;
  values = out;
  return true;
}

bool du_parse_vec(const std::string& text, DuVec& v) {
  std::vector<double> n;
  if (!du_parse_numbers(text, 3, n)) return false;
  v = DuVec{n[0], n[1], n[2]};
  return true;
}

namespace {
// Model blocks arrive as megabytes of digits: one table lookup per digit.
const struct HexDigits {
  int8_t value[256];
  HexDigits() {
    for (int c = 0; c < 256; ++c) value[c] = int8_t(hexDigit(char(c)));
  }
} kHexDigits;
}  // namespace

bool du_parse_hex_into(const std::string& text, uint8_t* out) {
  if (text.size() % 2) return false;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  int bad = 0;
  for (size_t i = 0; i < text.size(); ++i) bad |= kHexDigits.value[in[i]];
  if (bad < 0) return false;
  for (size_t i = 0; i < text.size(); i += 2)
    *out++ = uint8_t(kHexDigits.value[in[i]] << 4 | kHexDigits.value[in[i + 1]]);
  return true;
}

bool du_parse_hex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2) return false;
  const size_t start = bytes.size();
  bytes.resize(start + text.size() / 2);
  if (du_parse_hex_into(text, bytes.data() + start)) return true;
  bytes.resize(start);
  return false;
}

// The two digits of every byte value, looked up at once: a display list of megabytes is
// most of a project file.
void du_append_hex(std::string& out, const std::vector<uint8_t>& bytes) {
  static const auto pairs = [] {
    std::array<char, 512> t{};
    static const char digits[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
      t[size_t(2 * b)] = digits[b >> 4];
      t[size_t(2 * b + 1)] = digits[b & 15];
    }
    return t;
  }();
  const size_t at = out.size(), n = bytes.size();
  out.resize(at + 2 * n);
  char* hex = &out[at];
  const uint8_t* from = bytes.data();
  for (size_t i = 0; i < n; ++i) std::memcpy(hex + 2 * i, &pairs[2 * size_t(from[i])], 2);
}

std::string du_format_number(double value) {
  char buf[64];
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", value);
  else
    std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}

std::string du_format_exact(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  if (std::strtod(buf, nullptr) != value) std::snprintf(buf, sizeof buf, "%.17g", value);
  return buf;
}

std::string du_format_vec(const DuVec& v) {
  return du_format_exact(v.x) + " " + du_format_exact(v.y) + " " + du_format_exact(v.z);
}


bool du_parse_ranged(const std::string& text, double lo, double hi, double& value) {
  double v;
  if (!du_parse_double(text, v) || v < lo || v > hi) return false;
  value = v;
  return true;
}

bool du_valid_utf8(const std::string& text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    size_t n;
    uint32_t cp;
    if (c < 0x80) n = 1, cp = c;
    else if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07;
    else return false;
    if (size_t(end - p) < n) return false;
    for (size_t i = 1; i < n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    p += n;
  }
  return true;
}
