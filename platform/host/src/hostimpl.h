// Host runtime internals shared by the database, the DXF files, the editor and the program.
#pragma once
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "dbents.h"
#include "dbmain.h"
#include "objectpool.h"

// The database's record of one object (see StubList).
struct DxfKept;
// What an entity's groups in a drawing file gave of what the host models: its schema
// fields (bit i: field i), those points without a Z, its linetype and colour (defaults or
// not). A field the file left out stays out while it holds its default.
struct DxfEntityRead {
  bool fromFile = false, linetype = false, color = false;
  uint32_t fields = 0, flat = 0;
};
struct AcDbStub {
  AcDbDatabase* db = nullptr;
  AcDbHandle handle;
  AcDbObject* object = nullptr;
  int readers = 0;
  bool writer = false;
  bool erased = false;
  bool pooled = false;  // the object lives in the database's pool
  DxfEntityRead read;
  std::shared_ptr<DxfKept> dxf;  // what a drawing file held that the host does not model
};

// One group of a DXF file, its value as the file holds it (in the file's code page).
struct DxfGroup {
  int code = 0;
  std::string value;
};

// The groups of one object that the host does not model, kept as read and written back
// where they were: each belongs to the section after a subclass marker (group 100).
struct DxfKeptGroup {
  int code = 0;
  int section = 0;  // 0 the object's head, -1 anywhere, k after the file's k-th group 100
  int opens = 0;    // a group 100 the host does not write itself: the section it opens
  std::string value;
};
// A value the host models that the file gave in another form than the host writes it.
struct DxfAsRead {
  short code = 0;
  std::string written, read;
};
struct DxfKept {
  std::string type;  // group 0 of an object the host does not model
  // An object the host does not model: every group (extended data excepted) as read, in
  // the form the writer gives groups ("  8\nWalls\n"), so that it is written in one piece.
  bool verbatim = false;
  std::string text;
  bool hasHandle = false;      // the groups hold the object's handle (group 5 or 105)
  bool namesOwner = false;     // the groups hold an owner (330); files before R13 name none
  size_t afterHandle = 0;      // where the handle's group ends in text
  Adesk::UInt64 owner = 0;     // the first owner outside application data, or 0
  // The groups the host does not model of an object it models.
  std::vector<DxfKeptGroup> groups;
  // The subclass markers the host writes itself (its own texts), with the section each
  // opened in the file.
  std::vector<std::pair<const char*, int>> sections;
  int extraFlags = 0;  // bits of group 70 the host does not model (layers)
  // A custom entity's proxy graphics as read: written back while it draws nothing itself.
  std::string proxyGraphics;
  // Values in another form than the host's ("1.50", "BYLAYER", an angle's own digits, a
  // name's letter case): each is written as read while the host would write the same text
  // as it did when the file was read, that is while the value is unchanged. (A value the
  // host had to mend, such as an empty layer name, is not among them.)
  std::vector<DxfAsRead> asRead;
  // A second group of a code the host models (it takes the first): written right after the
  // host's own, so that the object reads back the same.
  std::vector<DxfGroup> shadowed;
  // Nothing to keep of a modelled object but its fields (an entity that needs no DxfKept).
  bool empty() const {
    return groups.empty() && asRead.empty() && shadowed.empty() && !extraFlags && proxyGraphics.empty();
  }
  // The value of the first kept group of that code; false when there is none.
  bool find(int code, std::string_view* value = nullptr) const;
};

// A table as the file had it: the table the host models, or one it keeps as read (head
// and records, each a foreign object).
struct DxfTable {
  std::string name;
  AcDbObjectId head;
  std::vector<AcDbObjectId> records;  // of a kept table
};

// Header variables, sections and objects of a drawing file, kept for writing it back.
struct DxfFileKept {
  bool read = false;  // the drawing came from a file
  bool binary = false;  // read from a binary file (saved as text)
  std::vector<std::string> comments;  // groups 999, written at the head of the file
  std::vector<std::pair<std::string, std::vector<DxfGroup>>> header;  // $NAME and its groups
  bool hasClasses = false;
  std::vector<DxfGroup> classes;
  std::vector<DxfTable> tables;  // in file order
  bool hasObjects = false;
  std::vector<AcDbObjectId> objects;  // the OBJECTS section in order
  // Sections the host does not know, each after the section it followed ("" first).
  struct Section {
    std::string name, after;
    std::vector<DxfGroup> groups;
  };
  std::vector<Section> sections;
  const std::vector<DxfGroup>* headerVar(const std::string& name) const {
    for (auto& v : header)
      if (v.first == name) return &v.second;
    return nullptr;
  }
  // The first value of a header variable, or "".
  std::string headerValue(const std::string& name) const {
    const std::vector<DxfGroup>* v = headerVar(name);
    return v && !v->empty() ? v->front().value : std::string();
  }
};

// The BLOCK and ENDBLK of a block table record: handles and kept groups.
struct DxfBlockEnds {
  bool read = false;  // from a file: the kept groups hold the defaults
  Adesk::UInt64 begin = 0, end = 0;
  DxfKept beginKept, endKept;
};

// The stubs of a database in chunks that never move, so that an object id (a stub
// pointer) keeps its address for the database's lifetime; chunks grow with the drawing and
// take their room from the database's pool, which outlives them.
class StubList {
 public:
  StubList() = default;
  StubList(const StubList&) = delete;
  StubList& operator=(const StubList&) = delete;
  StubList(StubList&& o) noexcept { swap(o); }
  StubList& operator=(StubList&& o) noexcept {
    swap(o);
    return *this;
  }
  ~StubList() {
    for (size_t c = 0; c < m_chunks.size(); ++c)
      for (size_t i = 0; i < m_room[c]; ++i) m_chunks[c][i].~AcDbStub();
  }
  AcDbStub& add(ObjectPool& pool) {
    if (m_size == m_capacity) {
      size_t chunk = std::min<size_t>(kLargestChunk, std::max<size_t>(64, m_capacity));
      m_chunks.reserve(m_chunks.size() + 1);
      m_sizes.reserve(m_chunks.size() + 1);
      m_room.reserve(m_chunks.size() + 1);
      auto* stubs = static_cast<AcDbStub*>(pool.allocate(chunk * sizeof(AcDbStub)));
      for (size_t i = 0; i < chunk; ++i) new (stubs + i) AcDbStub;
      m_chunks.push_back(stubs);
      m_sizes.push_back(0);
      m_room.push_back(chunk);
      m_capacity += chunk;
    }
    ++m_size;
    return m_chunks.back()[m_sizes.back()++];
  }
  size_t size() const { return m_size; }
  template <class F>
  void each(F f) {
    for (size_t c = 0; c < m_chunks.size(); ++c)
      for (size_t i = 0; i < m_sizes[c]; ++i) f(m_chunks[c][i]);
  }

 private:
  void swap(StubList& o) noexcept {
    std::swap(m_chunks, o.m_chunks);
    std::swap(m_sizes, o.m_sizes);
    std::swap(m_room, o.m_room);
    std::swap(m_size, o.m_size);
    std::swap(m_capacity, o.m_capacity);
  }
  static constexpr size_t kLargestChunk = 8192;
  std::vector<AcDbStub*> m_chunks;
  std::vector<size_t> m_sizes, m_room;  // stubs in use, stubs made
  size_t m_size = 0, m_capacity = 0;
};

struct AcDbDatabase::Impl {
  ObjectPool pool;  // the stubs, and the objects read from a drawing file: ends last
  StubList stubs;
  // Stubs by handle: handles are mostly dense from 1 up, so a vector indexed by handle
  // serves them; far-off handles (from files) go to a map.
  std::vector<AcDbStub*> dense;
  std::unordered_map<Adesk::UInt64, AcDbStub*> sparse;
  AcDbStub* find(Adesk::UInt64 h) const {
    if (h < dense.size()) return dense[h];
    auto it = sparse.find(h);
    return it == sparse.end() ? nullptr : it->second;
  }
  void insert(Adesk::UInt64 h, AcDbStub* s) {
    if (h < dense.size() || h < 2 * stubs.size() + 65536) {
      if (h >= dense.size()) dense.resize(std::max<size_t>(h + 1, dense.size() * 2), nullptr);
      dense[h] = s;
    } else {
      sparse[h] = s;
    }
  }
  void erase(Adesk::UInt64 h) {
    if (h < dense.size()) dense[h] = nullptr;
    else sparse.erase(h);
  }
  Adesk::UInt64 nextHandle = 1;
  AcDbObjectId blockTable, layerTable, linetypeTable, regAppTable;
  std::wstring fileName;
  // Handles of the file-only objects the DXF writer emits (table heads the database does not
  // model, dictionaries, layouts), by role, so they stay the same across save and load.
  std::map<std::string, Adesk::UInt64> roleHandles;
  // BLOCK and ENDBLK of each block table record, by the record's handle.
  std::unordered_map<Adesk::UInt64, DxfBlockEnds> blockEnds;
  DxfFileKept file;

  Adesk::UInt64 allocHandle() { return nextHandle++; }
  Adesk::UInt64 roleHandle(const std::string& role);

  // Every opening for write counts as a change; a block's extents (model space's among
  // them) stay measured while the count is what it was.
  uint64_t changes = 0;
  struct BlockBox {
    uint64_t changes = 0;
    bool empty = true;
    AcGePoint3d lo, hi;
  };
  std::unordered_map<const AcDbStub*, BlockBox> blockBoxes;
};

// An object was opened for write or closed after it: extents are to be measured again.
inline void noteWrite(AcDbStub* s) {
  if (s->db) ++s->db->impl()->changes;
}

namespace dxf {
// The colour group (62) of a layer: its colour, negative while the layer is off; one no
// layer has (by layer, by entity) as white.
int layerColor(const AcDbLayerTableRecord* l);
}

// An object or entity of a kind the host does not model, read from a drawing file: its
// groups are kept with its stub and written back as read.
class AcDbForeignObject : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbForeignObject);
};
class AcDbForeignEntity : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(AcDbForeignEntity);
};

namespace cadhost {
// Every database that lives now.
std::vector<AcDbDatabase*> liveDatabases();

// Text helpers.
std::string toUtf8(const std::wstring& w);
std::wstring fromUtf8(std::string_view s);
bool equalsNoCase(const std::wstring& a, const std::wstring& b);
bool equalsNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb);
std::wstring upper(std::wstring s);

// Output of the command line: standard output, or the capture of a test session.
void printUtf8(const std::string& text);
void flushOutput();

// One line of user input after showing the prompt (UTF-8). False at end of input.
// "*cancel*" is returned as it stands; callers treat it as Escape. A wait line ("*wait*"
// or "*wait* SECONDS") is answered here at any prompt: it waits (60 s, or SECONDS up to
// 600) until the programs the session started through the shell have ended, says so,
// and asks again.
bool readAnswer(const std::string& prompt, std::string& answer);

// Where input comes from: a script (prompt printed, answer echoed), the terminal or a
// test session's queue (behaves as a script).
void setScriptInput(FILE* in);          // script file or standard input
void setTerminalInput();
void setQueueInput(const std::vector<std::string>& answers);
void appendQueueInput(const std::vector<std::string>& answers);
void setCapture(bool on);
std::string takeCapture();
void installWinHostIo();

// Modules.
int loadApplication(const std::string& path, bool reportErrors);
int unloadApplication(const std::wstring& name, bool force);
void unloadAllApplications();
void listApplications();
void listMenus();
void clearMenus();
std::string executableFolder();

// Host commands.
bool runBuiltinCommand(const std::wstring& name, const std::wstring& rest);
// One argument of a host command: a text (RTSTR; "\\" is the pause token), a real or a point.
struct CmdArg {
  int type = 0;
  std::wstring text;
  double value[3] = {0, 0, 0};
};
// The INSERT command with its arguments after the command name; missing arguments and
// pause tokens are asked at the prompt. RTNORM, RTCAN or RTERROR.
int insertCommand(const std::vector<CmdArg>& args);
// Runs a command typed at the command prompt or given to acedCommandS: built-ins, then
// registered commands. False for an unknown command.
bool runCommand(const std::wstring& name, const std::wstring& rest);
// A line typed at the command prompt: its first word names the command, the rest is its
// argument. False for QUIT and EXIT, which end the session.
bool runCommandLine(const std::string& line);
AcDbObjectId lastEntity(AcDbDatabase* db);
// The entity under the point (nearest within the pick box), or the null id.
AcDbObjectId pickEntity(AcDbDatabase* db, const AcGePoint3d& p);
// The extents of what model space shows (block references by their blocks' extents);
// false when it shows nothing the host can measure.
bool drawingExtents(AcDbDatabase* db, AcGePoint3d& lo, AcGePoint3d& hi);
// Parses "x,y" or "x,y,z"; false for anything else.
bool parsePoint(const std::string& text, AcGePoint3d& p);
bool parseReal(const std::string& text, double& v);
void listEntity(AcDbObjectId id);
std::wstring handleText(const AcDbHandle& h);
// Reads DXF text or binary DXF into db (replacing its contents); eOk (message: what the
// reader mended in the file, or empty), or eBadDxfSequence with the reason and db unchanged.
Acad::ErrorStatus dxfInFromText(AcDbDatabase* db, std::string_view data, std::wstring* message);
// Writes the drawing as DXF text to f (flushed); false when a write failed.
bool dxfWrite(AcDbDatabase* db, FILE* f);

// document.cpp: the file of the drawing a session has open.
// Opens the drawing at path into db for this session (a path where no file stands names a
// new drawing): the session takes the drawing's lock, or opens it read-only with a line
// saying why when another session has it. eOk (message: what the reader left out, or
// empty), or the reader's failure with message.
Acad::ErrorStatus openDrawingFile(AcDbDatabase* db, const std::wstring& path, std::wstring* message);
// Before a save of db as path: eOk with the file to write (the file a link at the drawing's
// name leads to), or eNotApplicable with message when the save would cost another
// session's work (the drawing is read-only or changed on disk, or path is another
// session's drawing). Each eOk is followed by endDrawingSave, saved or not.
Acad::ErrorStatus beginDrawingSave(AcDbDatabase* db, const std::wstring& path, std::string& target,
                                   std::wstring* message);
void endDrawingSave(AcDbDatabase* db, const std::string& target, bool saved);
// Gives up the drawing's file and its lock (when the database goes).
void closeDrawingFile(const AcDbDatabase* db);
}
