// Custom entities in DXF files: the filers that hand a class its own groups, reading such an
// entity, writing it with its proxy graphics, and its class in the CLASSES section.
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <memory>
#include <set>
#include "adslib.h"
#include "customentity.h"
#include "dbfiler.h"
#include "dxf_reader.h"
#include "dxflimits.h"

AcDbDxfFiler::~AcDbDxfFiler() = default;

namespace {
using dxf::DxfError;
using dxf::Group;

// Bytes of proxy graphics in one group 310, as other programs write them.
const size_t kProxyChunkBytes = 127;

bool isPointCode(int code) { return (code >= 10 && code <= 18) || (code >= 110 && code <= 112) || code == 210; }
bool isRealCode(int code) {
  return (code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
         (code >= 1010 && code <= 1059);
}
bool isShortCode(int code) {
  return (code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 299) ||
         (code >= 370 && code <= 389) || (code >= 400 && code <= 409) || (code >= 1060 && code <= 1070);
}
bool isLongCode(int code) {
  return (code >= 90 && code <= 99) || (code >= 420 && code <= 429) || (code >= 440 && code <= 449) || code == 1071;
}

// Codes a class may not write among its own groups: they would end the object, claim its
// handle or owner, or start extended data.
bool reservedCode(int code) {
  return code <= 0 || code == 5 || code == 105 || code == 330 || code == 999 || code >= 1000;
}

std::string narrow(const ACHAR* text) { return cadhost::toUtf8(text ? text : L""); }

std::wstring formatted(const ACHAR* format, va_list args) {
  std::vector<wchar_t> buf(1024);
  const int n = std::vswprintf(buf.data(), buf.size(), format ? format : L"", args);
  return n < 0 ? std::wstring(format ? format : L"") : std::wstring(buf.data(), size_t(n));
}

class InFiler : public AcDbDxfFiler {
 public:
  InFiler(const std::vector<Group>& gs, size_t from, const dxf::Codec& codec) : m_gs(gs), m_pos(from), m_codec(codec) {}

  Acad::ErrorStatus filerStatus() const override { return m_status; }
  Acad::ErrorStatus setError(Acad::ErrorStatus status, const ACHAR* format, ...) override {
    if (m_status == Acad::eOk) {
      va_list args;
      va_start(args, format);
      m_why = narrow(formatted(format, args).c_str());
      va_end(args);
      m_status = status;
    }
    return m_status;
  }
  const std::string& why() const { return m_why; }

  Acad::ErrorStatus readResBuf(resbuf* rb) override {
    if (!rb) return Acad::eInvalidInput;
    if (m_status != Acad::eOk) return m_status;
    if (m_pos >= m_gs.size()) return Acad::eEndOfFile;
    m_last = m_pos;
    const Group& g = m_gs[m_pos++];
    rb->rbnext = nullptr;
    rb->restype = short(g.code);
    try {
      if (isPointCode(g.code)) {
        double v[3] = {dxf::toReal(g), 0, 0};
        for (int k = 1; k < 3 && m_pos < m_gs.size() && m_gs[m_pos].code == g.code + 10 * k; ++k)
          v[k] = dxf::toReal(m_gs[m_pos++]);
        std::memcpy(rb->resval.rpoint, v, sizeof v);
      } else if (isRealCode(g.code)) {
        rb->resval.rreal = dxf::toReal(g);
      } else if (isShortCode(g.code)) {
        const long long v = dxf::toInt(g);
        if (v < -32768 || v > 32767) throw DxfError{"group " + std::to_string(g.code) + " out of range", g.line};
        rb->resval.rint = short(v);
      } else if (isLongCode(g.code)) {
        const long long v = dxf::toInt(g);
        if (v < INT32_MIN || v > INT32_MAX) throw DxfError{"group " + std::to_string(g.code) + " out of range", g.line};
        rb->resval.rlong = Adesk::Int32(v);
      } else {
        m_text = m_codec.decode(g.value);
        if (m_text.size() > kDxfMaxTextChars) throw DxfError{"group " + std::to_string(g.code) + " too long", g.line};
        rb->resval.rstring = &m_text[0];
      }
    } catch (const DxfError& e) {
      return setError(Acad::eBadDxfSequence, L"%ls", cadhost::fromUtf8(e.what).c_str());
    }
    return Acad::eOk;
  }
  void pushBackItem() override { m_pos = m_last; }
  bool atSubclassData(const ACHAR* name) override {
    if (m_pos >= m_gs.size() || m_gs[m_pos].code != 100 || m_codec.decode(m_gs[m_pos].value) != (name ? name : L""))
      return false;
    m_last = m_pos++;
    return true;
  }
  bool atEOF() override { return m_pos >= m_gs.size(); }

  Acad::ErrorStatus writeString(AcDb::DxfCode, const ACHAR*) override { return Acad::eNotApplicable; }
  Acad::ErrorStatus writeDouble(AcDb::DxfCode, double) override { return Acad::eNotApplicable; }
  Acad::ErrorStatus writeInt16(AcDb::DxfCode, Adesk::Int16) override { return Acad::eNotApplicable; }
  Acad::ErrorStatus writeInt32(AcDb::DxfCode, Adesk::Int32) override { return Acad::eNotApplicable; }
  Acad::ErrorStatus writePoint3d(AcDb::DxfCode, const AcGePoint3d&) override { return Acad::eNotApplicable; }
  Acad::ErrorStatus writeVector3d(AcDb::DxfCode, const AcGeVector3d&) override { return Acad::eNotApplicable; }

 private:
  const std::vector<Group>& m_gs;
  size_t m_pos, m_last = 0;
  const dxf::Codec& m_codec;
  std::wstring m_text;
  Acad::ErrorStatus m_status = Acad::eOk;
  std::string m_why;
};

// Writes a class's groups into the object being written: a subclass marker opens its
// section (kept groups of the section before go out first).
class OutFiler : public AcDbDxfFiler {
 public:
  OutFiler(dxf::Writer& w, dxf::ObjectOut& o) : m_w(w), m_o(o) {}

  Acad::ErrorStatus filerStatus() const override { return m_status; }
  Acad::ErrorStatus setError(Acad::ErrorStatus status, const ACHAR*, ...) override {
    if (m_status == Acad::eOk) m_status = status;
    return m_status;
  }
  Acad::ErrorStatus readResBuf(resbuf*) override { return Acad::eNotApplicable; }
  void pushBackItem() override {}
  bool atSubclassData(const ACHAR*) override { return false; }
  bool atEOF() override { return true; }

  Acad::ErrorStatus writeString(AcDb::DxfCode code, const ACHAR* text) override {
    if (!allowed(code)) return m_status;
    if (code == AcDb::kDxfSubclass) {
      m_o.subclass(narrow(text).c_str());
    } else {
      m_w.text(code, text ? text : L"");
    }
    return Acad::eOk;
  }
  Acad::ErrorStatus writeDouble(AcDb::DxfCode code, double value) override {
    if (!allowed(code)) return m_status;
    m_w.real(code, value);
    return Acad::eOk;
  }
  Acad::ErrorStatus writeInt16(AcDb::DxfCode code, Adesk::Int16 value) override {
    if (!allowed(code)) return m_status;
    m_w.integer(code, value);
    return Acad::eOk;
  }
  Acad::ErrorStatus writeInt32(AcDb::DxfCode code, Adesk::Int32 value) override {
    if (!allowed(code)) return m_status;
    m_w.integer(code, value);
    return Acad::eOk;
  }
  Acad::ErrorStatus writePoint3d(AcDb::DxfCode code, const AcGePoint3d& p) override {
    if (!allowed(code)) return m_status;
    const double v[3] = {p.x, p.y, p.z};
    m_w.point(code, v);
    return Acad::eOk;
  }
  Acad::ErrorStatus writeVector3d(AcDb::DxfCode code, const AcGeVector3d& d) override {
    return writePoint3d(code, AcGePoint3d(d.x, d.y, d.z));
  }

 private:
  bool allowed(int code) {
    if (m_status != Acad::eOk) return false;
    if (!reservedCode(code)) return true;
    m_status = Acad::eInvalidInput;
    return false;
  }
  dxf::Writer& m_w;
  dxf::ObjectOut& m_o;
  Acad::ErrorStatus m_status = Acad::eOk;
};

bool takeHex(std::string_view text, std::string& bytes) {
  if (text.size() % 2) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      const char c = text[i + size_t(k)];
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    bytes += char(v);
  }
  return true;
}

std::string version(const AcDbDatabase::Impl& d) {
  const auto* v = d.file.read ? d.file.headerVar("$ACADVER") : nullptr;
  return v && !v->empty() ? v->front().value : "AC1015";
}
}  // namespace

namespace dxf {
AcDbEntity* readCustomEntity(AcRxClass* cls, const std::vector<Group>& gs, const Codec& codec, bool paper,
                             DxfKept& kept, CustomEntityProps& props, std::string& why) {
  // The host's part ends at the first subclass marker after AcDbEntity's.
  size_t own = gs.size();
  bool entitySeen = false;
  int braces = 0;
  for (size_t i = 0; i < gs.size() && own == gs.size(); ++i) {
    if (gs[i].code == 102) {
      braces += gs[i].value == "}" ? -1 : 1;
    } else if (gs[i].code == 100 && braces <= 0) {
      if (entitySeen || gs[i].value != "AcDbEntity") own = i;
      entitySeen = true;
    }
  }
  if (!entitySeen || own == gs.size()) {
    why = "it has no groups of its class";
    return nullptr;
  }
  try {
    int section = 0;
    bool ownerSeen = false, handleSeen = false;
    braces = 0;
    for (size_t i = 0; i < own; ++i) {
      const Group& g = gs[i];
      if (g.code == 102 || braces > 0) {
        if (g.code == 102) braces += g.value == "}" ? -1 : 1;
        kept.groups.push_back({g.code, section, 0, std::string(g.value)});
      } else if (g.code == 100) {
        section = 1;
        kept.sections.emplace_back("AcDbEntity", 1);
      } else if (g.code == 5 && !handleSeen) {
        handleSeen = true;
        props.handle = toHandle(g);
      } else if (g.code == 330 && !ownerSeen) {
        ownerSeen = true;
      } else if (g.code == 67 && paper && toInt(g) == 1) {
      } else if (g.code == 8 || g.code == 6) {
        std::wstring name = codec.decode(g.value);
        if (name.size() > kDxfMaxTextChars || name.find(L'\0') != std::wstring::npos)
          throw DxfError{"group " + std::to_string(g.code) + ": not a name", g.line};
        (g.code == 8 ? props.layer : props.linetype) = name.empty() && g.code == 8 ? L"0" : name;
      } else if (g.code == 62) {
        props.color = int(toInt(g));
      } else if (section == 1 && (g.code == 92 || g.code == 160)) {
      } else if (section == 1 && g.code == 310) {
        if (!takeHex(g.value, kept.proxyGraphics)) throw DxfError{"group 310: not hexadecimal", g.line};
      } else {
        kept.groups.push_back({g.code, section == 0 ? -1 : section, 0, std::string(g.value)});
      }
    }
  } catch (const DxfError& e) {
    why = e.what;
    return nullptr;
  }
  std::unique_ptr<AcRxObject> made(cls->create());
  auto* e = AcDbEntity::cast(made.get());
  if (!e) {
    why = "its class makes no entity";
    return nullptr;
  }
  InFiler filer(gs, own, codec);
  if (e->dxfInFields(&filer) != Acad::eOk || filer.filerStatus() != Acad::eOk) {
    why = filer.why().empty() ? "its class does not read its groups" : filer.why();
    return nullptr;
  }
  made.release();
  return e;
}

void Reader::customEntity(AcRxClass* cls, std::string_view type, const std::vector<Group>& gs,
                          AcDbBlockTableRecord* btr, size_t line) {
  size_t end = 0;
  while (end < gs.size() && gs[end].code != 1001) ++end;
  const std::vector<Group> own(gs.begin(), gs.begin() + long(end));
  auto kept = std::make_shared<DxfKept>();
  CustomEntityProps props;
  std::string why;
  const bool paper = cadhost::equalsNoCase(btr->name(), L"*Paper_Space");
  AcDbEntity* e = readCustomEntity(cls, own, m_codec, paper, *kept, props, why);
  if (!e) {
    btr->entities().push_back(
        foreignObject(type, gs, true, line, btr->objectId(), cadhost::equalsNoCase(btr->name(), L"*Model_Space")));
    return;
  }
  AcDbObjectId id = addObject(e, btr->objectId(), props.handle, line);
  id.stub()->dxf = kept;
  btr->entities().push_back(id);
  xdata(e, gs, end);
  LayerSpelling layer;
  layer.name = props.layer;
  setProperties(e, layer, props.linetype, props.color, line);
}

void writeCustomEntity(WriteContext& c, const AcDbEntity* e, Adesk::UInt64 owner, bool paper) {
  Writer& w = c.w;
  const DxfKept* kept = e->objectId().stub()->dxf.get();
  ObjectOut o(w, e->isA()->dxfName(), e->objectId().handle().value(), owner, kept);
  o.subclass("AcDbEntity");
  if (paper && !(kept && kept->find(67))) w.integer(67, 1);
  w.text(8, e->layerName());
  if (!cadhost::equalsNoCase(e->linetypeName(), L"ByLayer")) w.text(6, e->linetypeName());
  if (e->colorIndex() != 256) w.integer(62, e->colorIndex());
  std::vector<cadhost::GiPrimitive> drawn;
  cadhost::drawnPrimitives(e, AcGeMatrix3d::kIdentity, true, drawn);
  std::string graphics = cadhost::proxyGraphics(drawn);
  if (graphics.empty() && kept) graphics = kept->proxyGraphics;
  if (!graphics.empty()) {
    w.integer(version(*c.d) >= "AC1027" ? 160 : 92, (long long)graphics.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(graphics.data());
    std::string hex;
    for (size_t at = 0; at < graphics.size(); at += kProxyChunkBytes) {
      hex.clear();
      dxf::appendHex(hex, bytes + at, std::min(graphics.size() - at, kProxyChunkBytes));
      w.str(310, hex);
    }
  }
  OutFiler filer(w, o);
  e->dxfOutFields(&filer);
  o.end();
  writeXData(w, e);
}

void writeCustomClasses(WriteContext& c) {
  if (!cadhost::anyCustomClass()) return;
  std::vector<AcRxClass*> used;
  std::vector<long long> counts;
  c.d->stubs.each([&](AcDbStub& s) {
    const AcDbEntity* e = s.erased ? nullptr : AcDbEntity::cast(s.object);
    if (!e || !cadhost::isCustomEntity(e)) return;
    AcRxClass* cls = e->isA();
    size_t k = 0;
    while (k < used.size() && used[k] != cls) ++k;
    if (k == used.size()) {
      used.push_back(cls);
      counts.push_back(0);
    }
    ++counts[k];
  });
  std::set<std::string> named;
  const std::vector<DxfGroup>& kept = c.d->file.classes;
  for (size_t i = 0; i + 1 < kept.size(); ++i)
    if (kept[i].code == 0 && kept[i + 1].code == 1) named.insert(kept[i + 1].value);
  const bool counted = version(*c.d) >= "AC1018";
  for (size_t k = 0; k < used.size(); ++k) {
    AcRxClass* cls = used[k];
    if (named.count(cls->dxfName())) continue;
    Writer& w = c.w;
    w.str(0, "CLASS");
    w.str(1, cls->dxfName());
    w.text(2, cls->name());
    w.text(3, cls->appName() ? cls->appName() : L"");
    w.integer(90, cls->proxyFlags());
    if (counted) w.integer(91, counts[k]);
    w.integer(280, 0);  // not a proxy when it was read
    w.integer(281, 1);  // an entity
  }
}
}  // namespace dxf
