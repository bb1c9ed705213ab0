// Output of DXF groups and the frame of one object with its kept groups.
#include "dxf_writer.h"
#include "dxf_tokens.h"
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace dxf {
// Group codes right-aligned in three columns ("  0", " 10", "330", "1000").
void Writer::str(int c, std::string_view s) {
  if (m_room - m_used < s.size() + kGroupFrameChars) flush();
  if (s.size() + kGroupFrameChars > m_room) {  // a value longer than the buffer
    std::string group;
    appendGroup(group, c, s);
    text(group);
    return;
  }
  m_used += groupChars(m_buf.get() + m_used, c, s);
}

void Writer::text(std::string_view groups) {
  while (!groups.empty()) {
    if (m_used == m_room) flush();
    const size_t n = std::min(groups.size(), m_room - m_used);
    std::memcpy(m_buf.get() + m_used, groups.data(), n);
    m_used += n;
    groups.remove_prefix(n);
  }
}

void Writer::object(const DxfKept* kept) {
  m_object = kept && (!kept->asRead.empty() || !kept->shadowed.empty()) ? kept : nullptr;
  if (!m_object) return;
  m_asReadUsed.assign(kept->asRead.size(), 0);
  m_shadowedUsed.assign(kept->shadowed.size(), 0);
}

void Writer::modelled(int c, std::string_view s) {
  if (!m_object) {
    str(c, s);
    return;
  }
  const std::vector<DxfAsRead>& asRead = m_object->asRead;
  for (size_t i = 0; i < asRead.size(); ++i) {
    if (asRead[i].code != c || m_asReadUsed[i] || asRead[i].written != s) continue;
    m_asReadUsed[i] = 1;
    s = asRead[i].read;
    break;
  }
  str(c, s);
  const std::vector<DxfGroup>& shadowed = m_object->shadowed;
  for (size_t i = 0; i < shadowed.size(); ++i) {
    if (shadowed[i].code != c || m_shadowedUsed[i]) continue;
    m_shadowedUsed[i] = 1;
    group(shadowed[i]);
  }
}

void Writer::shadowed() {
  if (!m_object) return;
  for (size_t i = 0; i < m_object->shadowed.size(); ++i)
    if (!m_shadowedUsed[i]) group(m_object->shadowed[i]);
  m_object = nullptr;
}

void Writer::text(int c, const std::wstring& s) {
  if (m_object) {
    modelled(c, m_codec.encode(s));
    return;
  }
  m_encoded.clear();
  m_codec.append(m_encoded, s);
  str(c, m_encoded);
}

void Writer::real(int c, double v) {
  char tmp[kNumberChars];
  modelled(c, std::string_view(tmp, realText(v, tmp)));
}

void Writer::angle(int c, double radians) {
  char tmp[kNumberChars];
  modelled(c, std::string_view(tmp, angleText(radians, tmp)));
}

void Writer::integer(int c, long long v) {
  char tmp[24];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  modelled(c, std::string_view(tmp, r.ptr - tmp));
}

void Writer::handle(int c, Adesk::UInt64 h) {
  char tmp[kHandleChars];
  modelled(c, handleChars(h, tmp));
}

void Writer::point(int c, const double* v, int dims) {
  for (int i = 0; i < dims; ++i) real(c + 10 * i, v[i]);
}

void Writer::flush() {
  if (m_sink) m_sink->append(m_buf.get(), m_used);
  else if (m_used && std::fwrite(m_buf.get(), 1, m_used, m_file) != m_used) m_ok = false;
  m_used = 0;
}

namespace {
const int kNoSection = -2;
}

ObjectOut::ObjectOut(Writer& w, const char* type, Adesk::UInt64 handle, Adesk::UInt64 owner, const DxfKept* kept,
                     int handleCode, const std::wstring* name)
    : m_w(w), m_kept(kept) {
  m_w.object(kept);
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
    if (std::strcmp(s.first, marker) == 0) m_section = s.second;
}

void ObjectOut::end() {
  if (m_section != kNoSection) section(m_section);
  m_section = kNoSection;
  m_w.shadowed();
  if (!m_kept) return;
  for (size_t i = 0; i < m_kept->groups.size(); ++i) {
    if (m_done[i]) continue;
    const DxfKeptGroup& g = m_kept->groups[i];
    m_done[i] = 1;
    m_w.str(g.code, g.value);
    if (g.opens > 0) section(g.opens);
  }
}

void writeVerbatim(Writer& w, const DxfKept& kept, const AcDbObject* o, Adesk::UInt64 owner) {
  w.str(0, kept.type);
  if (kept.namesOwner) owner = 0;
  // A dimension style's handle is group 105 (its group 5 is no handle).
  if (!kept.hasHandle) w.handle(kept.type == "DIMSTYLE" ? 105 : 5, o->objectId().handle().value());
  const std::string_view text = kept.text;
  w.text(text.substr(0, kept.afterHandle));
  if (owner) w.handle(330, owner);
  w.text(text.substr(kept.afterHandle));
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

bool DxfKept::find(int code, std::string_view* value) const {
  if (verbatim) {
    size_t at = 0;
    int c;
    std::string_view v;
    while (dxf::nextGroup(text, at, c, v))
      if (c == code) {
        if (value) *value = v;
        return true;
      }
    return false;
  }
  for (const DxfKeptGroup& g : groups)
    if (g.code == code) {
      if (value) *value = g.value;
      return true;
    }
  return false;
}
