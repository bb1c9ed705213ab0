// Output of DXF groups and the frame of one object with its kept groups.
#include "dxf_writer.h"
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace dxf {
// Group codes right-aligned in three columns ("  0", " 10", "330", "1000").
void Writer::code(int c) {
  char tmp[8];
  char* end = tmp + sizeof tmp;
  char* p = end;
  *--p = '\n';
  bool negative = c < 0;
  unsigned v = (unsigned)(negative ? -c : c);
  do {
    *--p = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  if (negative) *--p = '-';
  while (end - p < 4) *--p = ' ';
  m_buf.append(p, end - p);
}

void Writer::str(int c, std::string_view s) {
  code(c);
  m_buf += s;
  m_buf += '\n';
  maybeFlush();
}

void Writer::text(int c, const std::wstring& s) {
  code(c);
  m_codec.append(m_buf, s);
  m_buf += '\n';
  maybeFlush();
}

void Writer::real(int c, double v) {
  code(c);
  char tmp[32];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  m_buf.append(tmp, r.ptr);
  if (std::string_view(tmp, r.ptr - tmp).find_first_of(".en") == std::string_view::npos) m_buf += ".0";
  m_buf += '\n';
}

void Writer::angle(int c, double radians) {
  char tmp[40];
  std::snprintf(tmp, sizeof tmp, "%.15g", radians * 180.0 / M_PI);
  code(c);
  m_buf += tmp;
  if (!std::strpbrk(tmp, ".en")) m_buf += ".0";
  m_buf += '\n';
}

void Writer::integer(int c, long long v) {
  code(c);
  char tmp[24];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  m_buf.append(tmp, r.ptr);
  m_buf += '\n';
}

void Writer::handle(int c, Adesk::UInt64 h) {
  char tmp[24];
  char* end = tmp + sizeof tmp;
  char* p = end;
  *--p = 0;
  do {
    *--p = "0123456789ABCDEF"[h & 15];
    h >>= 4;
  } while (h);
  str(c, p);
}

void Writer::point(int c, const double* v, int dims) {
  for (int i = 0; i < dims; ++i) real(c + 10 * i, v[i]);
}

void Writer::flush() {
  if (m_sink) m_sink->append(m_buf);
  else if (!m_buf.empty() && std::fwrite(m_buf.data(), 1, m_buf.size(), m_file) != m_buf.size()) m_ok = false;
  m_buf.clear();
}

namespace {
const int kNoSection = -2;
}

ObjectOut::ObjectOut(Writer& w, const char* type, Adesk::UInt64 handle, Adesk::UInt64 owner, const DxfKept* kept,
                     int handleCode, const std::wstring* name)
    : m_w(w), m_kept(kept) {
  m_w.str(0, type);
  if (name) m_w.text(2, *name);
  m_w.handle(handleCode, handle);
  if (m_kept) {
    m_done.assign(m_kept->groups.size(), 0);
    section(0);
  }
  m_w.handle(330, owner);
  m_section = kNoSection;
}

void ObjectOut::section(int s) {
  if (!m_kept) return;
  for (size_t i = 0; i < m_kept->groups.size(); ++i) {
    const DxfKeptGroup& g = m_kept->groups[i];
    if (m_done[i] || g.section != s) continue;
    m_done[i] = 1;
    m_w.str(g.code, g.value);
    if (g.opens > 0) section(g.opens);
  }
}

void ObjectOut::subclass(const char* marker) {
  if (m_section != kNoSection) section(m_section);
  m_w.str(100, marker);
  m_section = kNoSection;
  if (!m_kept) return;
  for (const auto& s : m_kept->sections)
    if (s.first == marker) m_section = s.second;
}

void ObjectOut::end() {
  if (m_section != kNoSection) section(m_section);
  m_section = kNoSection;
  if (!m_kept) return;
  for (size_t i = 0; i < m_kept->groups.size(); ++i) {
    if (m_done[i]) continue;
    const DxfKeptGroup& g = m_kept->groups[i];
    m_done[i] = 1;
    m_w.str(g.code, g.value);
    if (g.opens > 0) section(g.opens);
  }
}

void writeVerbatim(Writer& w, const DxfKept& kept, const AcDbObject* o) {
  w.str(0, kept.type);
  if (!kept.hasHandle) w.handle(5, o->objectId().handle().value());
  for (const DxfKeptGroup& g : kept.groups) w.str(g.code, g.value);
  writeXData(w, o);
}

void writeXData(Writer& w, const AcDbObject* o) {
  for (const AcDbXDataApp& app : o->xDataApps()) {
    w.text(1001, app.appName);
    for (const AcDbXDataItem& item : app.items) {
      short code = item.code;
      if (code == 1000 || code == 1003 || code == 1005) {
        w.text(code, item.text);
      } else if (code == 1002 || code == 1004) {
        w.str(code, cadhost::toUtf8(item.text));  // a brace, or binary data as hexadecimal digits
      } else if (code >= 1010 && code <= 1013) {
        w.point(code, item.real);
      } else if (code >= 1040 && code <= 1042) {
        w.real(code, item.real[0]);
      } else {
        w.integer(code, item.integer);
      }
    }
  }
}
}  // namespace dxf
