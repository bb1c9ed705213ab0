// The DXF tokenizer of text and binary files, value parsing and the host's text of numbers.
#include "dxf_tokens.h"
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdlib>
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

// Where the first LF is among the eight bytes at p (8 when none is). A byte that is LF
// turns its top bit on in t, and a borrow only carries past a byte that is: the lowest bit
// on marks the first.
inline size_t lineFeedIn8(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  const uint64_t x = w ^ 0x0A0A0A0A0A0A0A0AULL;
  const uint64_t t = (x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL;
  if (!t) return 8;
  // The lowest bit on, in the byte order of the machine's memory (both are little-endian).
  return size_t(__builtin_ctzll(t)) / 8;
}

inline bool digit(char c) { return c >= '0' && c <= '9'; }

std::string_view withoutSpaces(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

size_t trimmedInt(long long v, char* out) {
  return size_t(std::to_chars(out, out + dxf::kNumberChars, v).ptr - out);
}

const double kTens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
const unsigned long long kWholeTens[] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull,
                                         10000000ull, 100000000ull, 1000000000ull, 10000000000ull,
                                         100000000000ull, 1000000000000ull, 10000000000000ull,
                                         100000000000000ull, 1000000000000000ull};

// The shortest text of most numbers of a drawing ("12.5") without the general search of
// to_chars: the fewest decimals d whose rounding r / 10^d gives back v exactly. Division of
// two exact doubles rounds as reading the decimal does, and two decimals of at most 15
// significant digits never stand for one double, so r is the shortest digits. Only where
// to_chars would choose the fixed form too: 0.001 <= |v| < 1e15, whole numbers below 1e5.
// 0 for any other number (to_chars writes it).
size_t shortDecimal(double v, char* out) {
  const double a = std::fabs(v);
  if (!(a >= 0.001 && a < 1e15)) return 0;
  for (int d = 0; d < 16; ++d) {
    const double scaled = a * kTens[d];
    if (scaled >= 1e15) return 0;  // more than 15 significant digits
    const double r = std::nearbyint(scaled);
    if (r / kTens[d] != a) continue;
    const unsigned long long digits = (unsigned long long)r;
    if ((d == 0 && digits >= 100000) || (d > 0 && digits % 10 == 0)) return 0;
    char* p = out;
    if (v < 0) *p++ = '-';
    p = std::to_chars(p, p + 20, digits / kWholeTens[d]).ptr;
    *p++ = '.';
    if (d == 0) *p++ = '0';
    for (unsigned long long fraction = digits % kWholeTens[d], i = (unsigned long long)d; i-- > 0; fraction /= 10)
      p[i] = char('0' + fraction % 10);
    return size_t(p + d - out);
  }
  return 0;
}

// Whether the digits of a decimal, whole part and fraction, are those realText gives. With
// at most 15 significant digits a decimal is the shortest text of its double, so the digits
// are realText's; what is left is its choice of the shorter of "123.4" and "1.234e+02" (the
// fixed form on a tie).
bool isRealDigits(std::string_view whole, std::string_view fraction) {
  if (whole.empty() || fraction.empty() || (whole.size() > 1 && whole[0] == '0')) return false;
  const bool integral = fraction == "0";
  if (!integral && fraction.back() == '0') return false;
  auto exponentForm = [](size_t digits, size_t exponent) {
    return digits + (digits > 1 ? 1 : 0) + 2 + (exponent >= 100 ? 3 : 2);
  };
  if (whole != "0") {
    if (!integral) return whole.size() + fraction.size() <= 15;
    size_t digits = whole.find_last_not_of('0') + 1;
    return digits <= 15 && whole.size() <= exponentForm(digits, whole.size() - 1);
  }
  if (integral) return true;  // zero
  size_t zeros = fraction.find_first_not_of('0'), digits = fraction.size() - zeros;
  return digits <= 15 && 2 + fraction.size() <= exponentForm(digits, zeros + 1);
}

// The number of a plain decimal ("-12.5": digits, then a point and digits), read exactly:
// its digits (at most 16) as a whole number up to 2^53 and the power of ten of its decimals
// are two exact doubles, whose quotient rounds as reading the decimal does. False, with
// nothing set, for any other text (an exponent, more digits), which the general reading
// takes.
bool plainDecimal(std::string_view t, double& v, bool* hostText) {
  static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = t.data();
  const char* const end = p + t.size();
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  const char* const whole = p;
  unsigned long long digits = 0;
  while (p < end && digit(*p) && p - whole < 16) digits = digits * 10 + unsigned(*p++ - '0');
  const char* const dot = p;
  if (dot == whole || dot == end || *dot != '.') return false;
  const char* const fraction = ++p;
  while (p < end && digit(*p) && (p - fraction) + (dot - whole) < 16)
    digits = digits * 10 + unsigned(*p++ - '0');
  if (p != end || digits > (1ull << 53)) return false;
  const double magnitude = double(digits) / kPowers[end - fraction];
  v = negative ? -magnitude : magnitude;
  if (hostText)
    *hostText = isRealDigits(std::string_view(whole, size_t(dot - whole)),
                             std::string_view(fraction, size_t(end - fraction)));
  return true;
}
}  // namespace

namespace dxf {
bool isBinaryDxf(std::string_view data) {
  return data.size() >= kBinarySentinelBytes && std::memcmp(data.data(), kBinarySentinel, kBinarySentinelBytes) == 0;
}

Tokenizer::Tokenizer(std::string_view data, size_t start) : m_data(data), m_pos(start) {
  if (!isBinaryDxf(data)) return;
  m_binary = true;
  m_pos = kBinarySentinelBytes;
  // The first group is 0 SECTION: a one-byte code is followed by the text at once.
  m_shortCodes = m_pos + 1 < data.size() && data[m_pos] == 0 && data[m_pos + 1] != 0;
}

// The code line most files have (spaces, then the digits of a code, then LF or CR LF) in
// one pass; false, with nothing taken, for any other line.
__attribute__((always_inline)) inline bool Tokenizer::quickCode(Group& g) {
  const char* p = m_data.data();
  const size_t size = m_data.size();
  // The code right-aligned in three columns ("  0", " 10", "330") from eight bytes at once.
  if (size - m_pos >= 8) {
    const char* q = p + m_pos;
    const size_t lf = lineFeedIn8(q);
    const char a = q[0], b = q[1], c = q[2];
    if ((lf == 3 || (lf == 4 && q[3] == '\r')) && digit(c) && (digit(b) || (b == ' ' && a == ' ')) &&
        (digit(a) || a == ' ')) {
      g.code = (a == ' ' ? 0 : (a - '0') * 100) + (b == ' ' ? 0 : (b - '0') * 10) + (c - '0');
      ++m_line;
      m_pos += lf + 1;
      return true;
    }
  }
  size_t i = m_pos;
  while (i < size && p[i] == ' ') ++i;
  const size_t first = i;
  int code = 0;
  while (i < size && i - first < 4 && p[i] >= '0' && p[i] <= '9') code = code * 10 + (p[i++] - '0');
  if (i == first || code > 1071 || i >= size) return false;
  const size_t nl = p[i] == '\r' && i + 1 < size ? i + 1 : i;
  if (p[nl] != '\n' || nl - m_pos > kDxfMaxLineBytes) return false;
  g.code = code;
  ++m_line;
  m_pos = nl + 1;
  return true;
}

// The next line's bounds, without its line end (LF, or CR LF and any CRs before it).
__attribute__((always_inline)) inline bool Tokenizer::line(size_t& begin, size_t& end) {
  if (m_pos >= m_data.size()) return false;
  const char* p = m_data.data();
  const size_t size = m_data.size();
  // Most lines are a few bytes long: they end before memchr would have started.
  size_t stop = m_pos;
  const size_t quick = std::min(size, m_pos + 16);
  if (quick - m_pos == 16) {
    size_t lf = lineFeedIn8(p + m_pos);
    if (lf == 8) lf += lineFeedIn8(p + m_pos + 8);
    stop += lf;
  } else {
    while (stop < quick && p[stop] != '\n') ++stop;
  }
  bool nl = stop < quick;
  if (!nl && stop < size) {
    const void* at = std::memchr(p + stop, '\n', size - stop);
    nl = at != nullptr;
    stop = nl ? size_t((const char*)at - p) : size;
  }
  ++m_line;
  if (stop - m_pos > kDxfMaxLineBytes) throw DxfError{"line longer than the reader's limit", m_line};
  begin = m_pos;
  end = stop;
  while (end > begin && p[end - 1] == '\r') --end;
  m_pos = nl ? stop + 1 : size;
  return true;
}

bool Tokenizer::next(Group& g) {
  if (m_peeked) {
    g = std::move(m_peek);
    m_peeked = false;
    return true;
  }
  for (;;) {
    if (!(m_binary ? nextBinary(g) : nextText(g))) return false;
    if (g.code != kCommentCode) return true;
    m_comments.emplace_back(g.value);
  }
}

bool Tokenizer::nextText(Group& g) {
  if (quickCode(g)) {
    size_t begin, end;
    if (!line(begin, end)) throw DxfError{"file ends after group code " + std::to_string(g.code) + " (truncated)", m_line};
    g.value = m_data.substr(begin, end - begin);
    g.line = m_line;
    return true;
  }
  size_t begin, end;
  if (!line(begin, end)) return false;
  const char* p = m_data.data();
  while (begin < end && (p[begin] == ' ' || p[begin] == '\t')) ++begin;
  while (end > begin && (p[end - 1] == ' ' || p[end - 1] == '\t')) --end;
  if (begin == end) throw DxfError{"empty line where a group code was expected", m_line};
  auto codeText = [&] { return std::string(p + begin, std::min<size_t>(end - begin, 40)); };
  size_t i = begin;
  bool negative = p[i] == '-';
  if (p[i] == '-' || p[i] == '+') ++i;
  bool digits = i < end;
  long c = 0;
  for (; digits && i < end; ++i) {
    if (p[i] < '0' || p[i] > '9') digits = false;
    else if (c < 100000) c = c * 10 + (p[i] - '0');
  }
  if (negative) c = -c;
  if (!digits || c < -5 || c > 1071) throw DxfError{"bad group code \"" + codeText() + "\"", m_line};
  g.code = (int)c;
  if (!line(begin, end)) throw DxfError{"file ends after group code " + std::to_string(c) + " (truncated)", m_line};
  g.value = m_data.substr(begin, end - begin);
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
      // A text is one line of a text drawing, which is how the host saves it: a line break
      // inside would split it into groups of its own, and CRs at its end are line ends there.
      if (std::memchr(d + m_pos, '\n', n)) throw DxfError{"text with a line break in it", g.line};
      g.value = m_data.substr(m_pos, n);
      while (!g.value.empty() && g.value.back() == '\r') g.value.remove_suffix(1);
      m_pos += n + 1;
      break;
    }
    case Binary::kReal: {
      unsigned long long bits = little(8);
      double v;
      std::memcpy(&v, &bits, sizeof v);
      g.value = keep({num, realText(v, num)});
      break;
    }
    case Binary::kInt16: g.value = keep({num, trimmedInt((int16_t)little(2), num)}); break;
    case Binary::kInt32: g.value = keep({num, trimmedInt((int32_t)little(4), num)}); break;
    case Binary::kInt64: g.value = keep({num, trimmedInt((long long)little(8), num)}); break;
    case Binary::kBool: g.value = keep({num, trimmedInt((long long)little(1), num)}); break;
    case Binary::kChunk: {
      size_t n = little(1);
      need(n);
      std::string hex;
      appendHex(hex, d + m_pos, n);
      g.value = keep(hex);
      m_pos += n;
      break;
    }
  }
  return true;
}

std::string_view Tokenizer::keep(std::string_view text) {
  const size_t kChunkBytes = 1 << 16;  // more than any one value
  if (m_room.empty() || m_room.back().capacity() - m_room.back().size() < text.size()) {
    m_room.emplace_back();
    m_room.back().reserve(std::max(kChunkBytes, text.size()));
  }
  std::string& chunk = m_room.back();
  const size_t at = chunk.size();
  chunk.append(text);  // within its capacity: the views of earlier values stay valid
  return std::string_view(chunk).substr(at);
}

void Tokenizer::release(Mark m) {
  if (m.chunk > m_room.size()) return;  // given back already
  // The first chunk stays, emptied, for the values of the next object.
  m_room.resize(std::max<size_t>(m.chunk, std::min<size_t>(m_room.size(), 1)));
  if (!m_room.empty()) m_room.back().resize(m.chunk ? m.used : 0);
}

std::string shownValue(const Group& g) { return std::string(g.value.substr(0, 40)); }

// Plain numbers in one quick pass (between spaces, which files pad numbers with); anything
// else as the C library reads it.
double toReal(const Group& g, bool* hostText) {
  const std::string_view t = withoutSpaces(g.value);
  double v = 0;
  if (plainDecimal(t, v, hostText)) return v;
  if (hostText) *hostText = isRealText(g.value);
  auto quick = std::from_chars(t.data(), t.data() + t.size(), v);
  if (quick.ec == std::errc() && quick.ptr == t.data() + t.size() && !t.empty() && std::isfinite(v)) return v;
  char* end = nullptr;
  const std::string text(g.value);
  const char* s = text.c_str();
  while (*s == ' ') ++s;
  v = std::strtod(s, &end);
  while (end && *end == ' ') ++end;
  if (end == s || *end || !std::isfinite(v))
    throw DxfError{"group " + std::to_string(g.code) + ": \"" + shownValue(g) + "\" is not a number", g.line};
  return v;
}

long long toInt(const Group& g) {
  const std::string_view t = withoutSpaces(g.value);
  long long v = 0;
  auto quick = std::from_chars(t.data(), t.data() + t.size(), v);
  if (quick.ec == std::errc() && quick.ptr == t.data() + t.size() && !t.empty()) return v;
  char* end = nullptr;
  const std::string text(g.value);
  const char* s = text.c_str();
  while (*s == ' ') ++s;
  errno = 0;
  v = std::strtoll(s, &end, 10);
  while (end && *end == ' ') ++end;
  if (end == s || *end || errno)
    throw DxfError{"group " + std::to_string(g.code) + ": \"" + shownValue(g) + "\" is not an integer", g.line};
  return v;
}

bool parseHex(std::string_view s, Adesk::UInt64& h) {
  if (s.empty() || s.size() > 16) return false;
  h = 0;
  for (char c : s) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    h = h * 16 + d;
  }
  return true;
}

Adesk::UInt64 toHandle(const Group& g, bool atLimit) {
  Adesk::UInt64 h = 0;
  if (!parseHex(g.value, h)) h = 0;
  if ((h == 0 && g.value != "0") || h > kDxfHandleLimit || (h == kDxfHandleLimit && !atLimit))
    throw DxfError{"\"" + shownValue(g) + "\" is not a handle", g.line};
  return h;
}

std::vector<Group> readObject(Tokenizer& t) {
  std::vector<Group> out;
  readObject(t, out);
  return out;
}

void readObject(Tokenizer& t, std::vector<Group>& out) {
  size_t n = 0;
  for (;;) {
    if (n == out.size()) out.emplace_back();
    Group& g = out[n];
    if (!t.next(g)) throw DxfError{"file ends inside an object (truncated)", t.lineNo()};
    if (g.code == 0) {
      t.pushBack(g);
      out.resize(n);
      return;
    }
    ++n;
  }
}

FileData::~FileData() { cadhost::fileBytesFree(m_bytes); }

bool FileData::read(const std::string& path, std::wstring* message) {
  const int result = cadhost::fileBytesRead(m_bytes, path, kDxfMaxFileBytes);
  if (result == cadhost::kReadDone) return true;
  if (message) {
    const std::wstring name = cadhost::fromUtf8(path);
    switch (result) {
      case cadhost::kReadTooLarge: *message = name + L": larger than the reader's limit"; break;
      case cadhost::kReadNoMemory: *message = L"out of memory"; break;
      case cadhost::kReadFailed: *message = L"cannot read " + name; break;
      default: *message = L"cannot open " + name;
    }
  }
  return false;
}

std::string_view handleChars(Adesk::UInt64 h, char* out) {
  char* const end = out + kHandleChars;
  char* p = end;
  do {
    *--p = "0123456789ABCDEF"[h & 15];
    h >>= 4;
  } while (h);
  return std::string_view(p, end - p);
}

void appendHex(std::string& out, const unsigned char* bytes, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
}

namespace {
// The code right-aligned in three columns and its line end, at out (16 bytes of room): its
// length.
struct ShortCodes {
  char text[1000][4];
  constexpr ShortCodes() : text() {
    for (int code = 0; code < 1000; ++code) {
      text[code][0] = code >= 100 ? char('0' + code / 100) : ' ';
      text[code][1] = code >= 10 ? char('0' + code / 10 % 10) : ' ';
      text[code][2] = char('0' + code % 10);
      text[code][3] = '\n';
    }
  }
};
constexpr ShortCodes kShortCodes;

inline size_t codeChars(int code, char* out) {
  if (code >= 0 && code < 1000) {
    std::memcpy(out, kShortCodes.text[code], 4);
    return 4;
  }
  char tmp[16];
  char* end = tmp + sizeof tmp;
  char* p = end;
  *--p = '\n';
  bool negative = code < 0;
  unsigned v = (unsigned)(negative ? -code : code);
  do {
    *--p = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  if (negative) *--p = '-';
  while (end - p < 4) *--p = ' ';
  std::memcpy(out, p, size_t(end - p));
  return size_t(end - p);
}
}  // namespace

void appendCode(std::string& out, int code) {
  char tmp[16];
  out.append(tmp, codeChars(code, tmp));
}

size_t groupChars(char* out, int code, std::string_view value) {
  size_t n = codeChars(code, out);
  std::memcpy(out + n, value.data(), value.size());
  n += value.size();
  out[n++] = '\n';
  return n;
}

void appendGroup(std::string& out, int code, std::string_view value) {
  // Most groups are short: one append for the whole group.
  char tmp[64];
  if (value.size() + kGroupFrameChars <= sizeof tmp) {
    out.append(tmp, groupChars(tmp, code, value));
    return;
  }
  appendCode(out, code);
  out.append(value);
  out += '\n';
}

bool nextGroup(std::string_view text, size_t& at, int& code, std::string_view& value) {
  size_t codeEnd = text.find('\n', at);
  if (codeEnd == std::string_view::npos) return false;
  size_t i = at;
  while (i < codeEnd && text[i] == ' ') ++i;
  bool negative = i < codeEnd && text[i] == '-';
  code = 0;
  for (i += negative ? 1 : 0; i < codeEnd; ++i) code = code * 10 + (text[i] - '0');
  if (negative) code = -code;
  size_t valueEnd = text.find('\n', codeEnd + 1);
  if (valueEnd == std::string_view::npos) valueEnd = text.size();
  value = text.substr(codeEnd + 1, valueEnd - codeEnd - 1);
  at = valueEnd + 1;
  return true;
}

size_t realText(double v, char* out) {
  if (v == 0) {
    const char* zero = std::signbit(v) ? "-0.0" : "0.0";
    std::memcpy(out, zero, std::strlen(zero));
    return std::strlen(zero);
  }
  if (size_t n = shortDecimal(v, out)) return n;
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

bool isRealText(std::string_view t) {
  size_t i = !t.empty() && t[0] == '-' ? 1 : 0, dot = t.find('.', i);
  if (dot == std::string_view::npos) return false;
  std::string_view whole = t.substr(i, dot - i), fraction = t.substr(dot + 1);
  for (std::string_view part : {whole, fraction})
    for (char c : part)
      if (c < '0' || c > '9') return false;
  return isRealDigits(whole, fraction);
}
}  // namespace dxf
