// The DXF tokenizer and value parsing.
#include "dxf_tokens.h"
#include <sys/stat.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include "dxflimits.h"
#include "hostimpl.h"

namespace dxf {
bool Tokenizer::next(Group& g) {
  if (m_peeked) {
    g = m_peek;
    m_peeked = false;
    return true;
  }
  for (;;) {
    std::string codeLine;
    if (!line(codeLine)) return false;
    g.line = m_line;
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
    if (g.code != kCommentCode) return true;
  }
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

Adesk::UInt64 toHandle(const Group& g, bool atLimit) {
  AcDbHandle h(cadhost::fromUtf8(g.value).c_str());
  if ((h.isNull() && g.value != "0") || h.value() > kDxfHandleLimit || (h.value() == kDxfHandleLimit && !atLimit))
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
}  // namespace dxf
