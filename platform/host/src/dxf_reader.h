// The DXF reader: fills a fresh database from a drawing file. What the host models
// becomes its objects; everything else (header variables, classes, tables, entities,
// objects, sections, groups of modelled objects) is kept as read, for the writer.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>
#include "dxf_text.h"
#include "dxf_tokens.h"
#include "dxflimits.h"
#include "dxfschema.h"
#include "hostimpl.h"

namespace dxf {
// Handles of the objects the reader makes itself, until the file's handles are all known.
const Adesk::UInt64 kDxfTempHandleBase = kDxfHandleLimit;

class Reader {
 public:
  Reader(AcDbDatabase* db, const std::string& data) : m_db(db), m_d(*db->impl()), m_tok(data) {}
  // Reads the whole file; throws DxfError.
  void run();

 private:
  struct PendingInsert {
    AcDbBlockReference* ref;
    AcDbObjectId owner;
    std::wstring block;
    size_t line;
  };
  // Whether the host models a group of an object (and has taken its value).
  typedef std::function<bool(const Group&)> Take;

  // A text the host models (a name, a text of extended data), decoded; a text longer than
  // kDxfMaxTextChars is refused, since it could not be written back within the limits.
  std::wstring text(const Group& g) const;
  // A name of a table record, or one an object gives: as text, and a name with a NUL
  // character in it is refused (no name holds one; the host's names end at it).
  std::wstring name(const Group& g) const;

  // dxf_read.cpp: sections, header and tables.
  void header();
  void keepSection(std::vector<DxfGroup>& out);
  void tables();
  void record(const std::string& table, AcDbSymbolTable* t, const Group& type, const std::vector<Group>& gs);
  AcDbObjectId foreignObject(const std::string& type, const std::vector<Group>& gs, bool entity, size_t line,
                             AcDbObjectId owner = AcDbObjectId::kNull);
  AcDbSymbolTable* makeTable(const std::string& name, Adesk::UInt64 handle, size_t line);
  AcDbObjectId addObject(AcDbObject* o, AcDbObjectId owner, Adesk::UInt64 handle, size_t line);
  void reserveHandle(Adesk::UInt64 h, size_t line);
  // Refuses a handle of the drawing's own at or past kDxfHandleLimit.
  void checkHandle(Adesk::UInt64 h, size_t line) const;
  void noteHandles(const std::vector<Group>& gs);
  void keepGroups(const std::vector<Group>& gs, size_t end, const std::vector<const char*>& markers,
                  const Take& take, DxfKept& kept);
  void ensureRecord(AcDbObjectId& tableId, const std::wstring& name, size_t line);

  // dxf_read_entities.cpp: blocks, entities, extended data, objects, the end.
  AcDbBlockTableRecord* blockNamed(const std::wstring& name, size_t line);
  void blocks();
  std::vector<Group> entities(AcDbBlockTableRecord* btr, bool section);
  void entity(const DxfEntityKind* kind, const std::vector<Group>& gs, AcDbBlockTableRecord* btr, size_t line);
  void foreignEntity(const std::string& type, const std::vector<Group>& gs, AcDbBlockTableRecord* btr, size_t line);
  // customentity_dxf.cpp: an entity of a class a module added (kept as read when its own
  // groups do not read).
  void customEntity(AcRxClass* cls, const std::string& type, const std::vector<Group>& gs, AcDbBlockTableRecord* btr,
                    size_t line);
  void setProperties(AcDbEntity* e, const std::wstring& layer, const std::wstring& linetype, int color, size_t line);
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
  std::vector<std::pair<AcDbLayerTableRecord*, std::wstring>> m_layerLinetypes;
  std::set<Adesk::UInt64> m_reserved;  // BLOCK and ENDBLK handles
  std::set<std::wstring> m_xdataApps;
  std::string m_lastSection;
};
}  // namespace dxf
