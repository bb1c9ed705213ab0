// The DXF reader: fills a fresh database from a drawing file. What the host models
// becomes its objects; everything else (header variables, classes, tables, entities,
// objects, sections, groups of modelled objects) is kept as read, for the writer.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>
#include "dxf_text.h"
#include "dxf_tokens.h"
#include "dxflimits.h"
#include "dxfschema.h"
#include "hostimpl.h"

namespace dxf {
// Group 67 with 1: the entity belongs to paper space.
bool isPaperMark(const Group& g);
// Whether the file's bytes of a name are the name itself in the characters every code page
// writes alike (printable ASCII, no backslash): the host writes it so.
bool plainText(std::string_view bytes, const std::wstring& text);
// Where the extended data of an object's groups starts (their size when there is none).
size_t xdataStart(const std::vector<Group>& gs);

// Handles of the objects the reader makes itself, until the file's handles are all known.
const Adesk::UInt64 kDxfTempHandleBase = kDxfHandleLimit;

// A group of an entity the host models: the field of its kind it sets and which of the
// field's values (component -1 for a property: handle, layer, linetype, colour), and its
// number as the file gives it (degrees for an angle), and whether that text is the host's
// own text of the number.
struct TakenGroup {
  const Group* group;
  double number;
  size_t field;
  int component;
  bool hostText;
};

class Reader {
 public:
  // The file's text from `start` on (after a byte order mark), or a binary file.
  Reader(AcDbDatabase* db, std::string_view data, size_t start) : m_db(db), m_d(*db->impl()), m_tok(data, start) {}
  // Reads the whole file; throws DxfError.
  void run();
  // What the reader mended in a file it read (empty when nothing), for the user.
  const std::string& warning() const { return m_warning; }

 private:
  struct PendingInsert {
    AcDbBlockReference* ref;
    AcDbObjectId owner;
    std::wstring block;
    std::string blockAsRead;
    size_t line;
  };
  // The layer a spelling of its name in the file stands for, decoded and looked up (or
  // made) once while the spelling stays in the reader's small cache of them.
  struct LayerSpelling {
    bool used = false;
    std::string bytes;
    std::wstring name;
    AcDbObjectId id;
  };
  struct LayerLinetype {
    AcDbLayerTableRecord* layer;
    std::wstring name;
    bool given;          // the file gave it (group 6)
    std::string asRead;  // as the file gave it
  };

  // A text the host models (a name, a text of extended data), decoded; a text longer than
  // kDxfMaxTextChars is refused, since it could not be written back within the limits.
  std::wstring text(const Group& g) const;
  // A name of a table record, or one an object gives: as text, and a name with a NUL
  // character in it is refused (no name holds one; the host's names end at it).
  std::wstring name(const Group& g) const;

  // dxf_read.cpp: sections, header and tables.
  void header();
  void headerGroup(const Group& g);
  void lateHeader(const Group& first);
  void version(size_t line);
  void keepSection(std::vector<DxfGroup>& out);
  void tables();
  void record(const std::string& table, AcDbSymbolTable* t, const Group& type, const std::vector<Group>& gs);
  // dropPaperMark: an entity of model space, which the paper-space mark would move.
  AcDbObjectId foreignObject(std::string_view type, const std::vector<Group>& gs, bool entity, size_t line,
                             AcDbObjectId owner = AcDbObjectId::kNull, bool dropPaperMark = false);
  AcDbSymbolTable* makeTable(const std::string& name, Adesk::UInt64 handle, size_t line);
  // pooled: o lives in the database's pool.
  AcDbObjectId addObject(AcDbObject* o, AcDbObjectId owner, Adesk::UInt64 handle, size_t line, bool pooled = false);
  void reserveHandle(Adesk::UInt64 h, size_t line);
  // Refuses a handle of the drawing's own at or past kDxfHandleLimit.
  void checkHandle(Adesk::UInt64 h, size_t line) const;
  void noteHandles(const std::vector<Group>& gs);
  // take(group): whether the host models a group of the object (and has taken its value).
  template <class Take>
  void keepGroups(const std::vector<Group>& gs, size_t end, const std::vector<const char*>& markers,
                  const Take& take, DxfKept& kept);
  void ensureRecord(AcDbObjectId& tableId, const std::wstring& name, size_t line);

  // dxf_read_entities.cpp: blocks, entities, extended data, objects, the end.
  AcDbBlockTableRecord* blockNamed(const std::wstring& name, size_t line);
  void blocks();
  std::vector<Group> entities(AcDbBlockTableRecord* btr, bool section);
  void entity(const DxfEntityKind* kind, const std::vector<Group>& gs, AcDbBlockTableRecord* btr, size_t line);
  // customentity_dxf.cpp: an entity of a class a module added (kept as read when its own
  // groups do not read).
  void customEntity(AcRxClass* cls, std::string_view type, const std::vector<Group>& gs, AcDbBlockTableRecord* btr,
                    size_t line);
  // An entity's layer: group 8's spelling (null for none) as read before, or decoded now.
  LayerSpelling& layerSpelling(const Group* g);
  void setProperties(AcDbEntity* e, LayerSpelling& layer, const std::wstring& linetype, int color, size_t line);
  void noteEntityAsRead(const DxfEntityKind* kind, const AcDbEntity* e, const std::vector<TakenGroup>& taken,
                        DxfKept& kept, DxfEntityRead& read);
  std::string handleText(Adesk::UInt64 h) const;
  // Keeps the form of a group as read when the host writes it otherwise and same() says it
  // stands for the value the host holds.
  template <class Same>
  void asRead(DxfKept& kept, int code, const std::string& written, std::string_view read, Same same) const {
    if (written != read && same()) kept.asRead.push_back({(short)code, written, std::string(read)});
  }
  void asRead(DxfKept& kept, int code, const std::string& written, std::string_view read) const {
    if (written != read) kept.asRead.push_back({(short)code, written, std::string(read)});
  }
  // The same for an object read before, whose kept groups are made when needed.
  template <class Same>
  void asRead(AcDbObjectId id, int code, std::string written, std::string_view read, Same same) const {
    if (written == read || !same()) return;
    std::shared_ptr<DxfKept>& kept = id.stub()->dxf;
    if (!kept) kept = std::make_shared<DxfKept>();
    kept->asRead.push_back({(short)code, std::move(written), std::string(read)});
  }
  bool sameName(std::string_view read, const std::wstring& name) const;
  void xdata(AcDbObject* o, const std::vector<Group>& gs, size_t from);
  void objects();
  void finish();
  void refuseBlockCycles();

  AcDbDatabase* m_db;
  AcDbDatabase::Impl& m_d;
  Tokenizer m_tok;
  Codec m_codec;
  Adesk::UInt64 m_handseed = 0, m_maxHandle = 0;
  size_t m_objects = 0;
  std::vector<AcDbStub*> m_deferred;  // objects the reader made: handles given at the end
  std::vector<PendingInsert> m_inserts;
  std::vector<LayerLinetype> m_layerLinetypes;
  std::set<Adesk::UInt64> m_reserved;  // BLOCK and ENDBLK handles
  std::set<std::wstring> m_xdataApps;
  LayerSpelling m_layerSpellings[64];  // by a hash of the spelling
  std::string m_lastSection;
  std::set<std::string> m_tablesSeen;  // across TABLES sections: a file names each table once
  bool m_r12 = false;  // a file before R13: its layouts' blocks may be named $MODEL_SPACE, $PAPER_SPACE
  std::string m_warning;
  // Room that serves entity after entity: its groups, its field values and which were
  // read, the groups the host took.
  std::vector<Group> m_groups;
  std::vector<DxfValue> m_values;
  std::vector<uint8_t> m_seen;
  std::vector<TakenGroup> m_taken;
  AcDbObjectId m_spaceOf;  // the block of the last entity read, and whether it is a layout's
  bool m_paper = false, m_model = false;
  std::map<const DxfEntityKind*, std::vector<const char*>> m_markers;  // each kind's subclass markers
};

// Splits an object's groups before `end`: the head's application data (102 groups), the
// host's own subclass markers, what `take` models, and the rest, kept by section.
template <class Take>
void Reader::keepGroups(const std::vector<Group>& gs, size_t end, const std::vector<const char*>& markers,
                        const Take& take, DxfKept& kept) {
  int section = 0, ordinal = 0, braces = 0;
  size_t opened = 0;  // the line of the outermost open application data
  // The host's markers are taken in their order, each once: a marker out of that order is
  // kept as one the host does not know, since the host writes its own in order.
  size_t next = 0;
  for (size_t i = 0; i < end; ++i) {
    const Group& g = gs[i];
    if (g.code == 100 && braces == 0) {
      ++ordinal;
      size_t k = next;
      while (k < markers.size() && g.value != markers[k]) ++k;
      if (k < markers.size()) {
        next = k + 1;
        if (kept.sections.empty()) kept.sections.reserve(markers.size());
        kept.sections.emplace_back(markers[k], ordinal);
      } else {
        kept.groups.push_back({100, section == 0 ? -1 : section, ordinal, std::string(g.value)});
      }
      section = ordinal;
      continue;
    }
    if (g.code == 102) {
      if (!g.value.empty() && g.value[0] == '{') {
        if (braces++ == 0) opened = g.line;
      } else if (g.value == "}" && braces > 0) {
        --braces;
      }
      kept.groups.push_back({g.code, section, 0, std::string(g.value)});
      continue;
    }
    if (braces > 0) {
      kept.groups.push_back({g.code, section, 0, std::string(g.value)});
      continue;
    }
    if (take(g)) continue;
    // A group of the head that is no application data goes wherever the host has room.
    kept.groups.push_back({g.code, section == 0 ? -1 : section, 0, std::string(g.value)});
  }
  // Application data that does not end would take the object's own groups with it.
  if (braces > 0) throw DxfError{"application data (group 102) without its closing \"}\"", opened};
}
}  // namespace dxf
