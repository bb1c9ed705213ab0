// Output of DXF groups: a buffered writer of group codes and values in the drawing's code
// page, and the frame of one object that puts the groups the host keeps (but does not
// model) back in the subclass sections they came from.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>
#include "dxf_text.h"
#include "hostimpl.h"

namespace dxf {
class Writer {
 public:
  Writer(FILE* f, const Codec& codec) : m_file(f), m_codec(codec) { m_buf.reserve(1 << 20); }
  // Into a text instead of a file.
  Writer(std::string& sink, const Codec& codec) : m_file(nullptr), m_sink(&sink), m_codec(codec) {}
  ~Writer() { flush(); }

  void code(int c);
  void str(int c, std::string_view s);  // a value as it stands (file bytes, whole)
  void text(int c, const std::wstring& s);  // a text in the file's code page
  void real(int c, double v);
  // Degrees from radians, with 15 digits so that 30 degrees comes back as 30.0.
  void angle(int c, double radians);
  void integer(int c, long long v);
  void handle(int c, Adesk::UInt64 h);
  void point(int c, const double* v, int dims = 3);
  void group(const DxfGroup& g) { str(g.code, g.value); }
  void groups(const std::vector<DxfGroup>& gs) {
    for (const DxfGroup& g : gs) group(g);
  }
  const Codec& codec() const { return m_codec; }
  bool ok() const { return m_ok; }
  void flush();

 private:
  void maybeFlush() {
    if (m_buf.size() > (1 << 20)) flush();
  }
  FILE* m_file;
  std::string* m_sink = nullptr;
  const Codec& m_codec;
  std::string m_buf;
  bool m_ok = true;
};

// One object: group 0, its handle, the kept application data groups (102), its owner;
// then its subclass sections, each followed by the kept groups of that section in the
// file; whatever is left at the end. Kept groups are written as read.
class ObjectOut {
 public:
  // name: a group 2 the object carries before its handle (the head of a table).
  ObjectOut(Writer& w, const char* type, Adesk::UInt64 handle, Adesk::UInt64 owner, const DxfKept* kept,
            int handleCode = 5, const std::wstring* name = nullptr);
  // Writes the kept groups of the section before, then "100 marker".
  void subclass(const char* marker);
  // The kept groups of the last section and every kept group not written yet.
  void end();
  // True when the object came from a file: its defaults are in its kept groups.
  bool kept() const { return m_kept != nullptr; }

 private:
  void section(int s);
  Writer& m_w;
  const DxfKept* m_kept;
  std::vector<char> m_done;
  int m_section = 0;
};

// What the parts of the writer share: the drawing, the output, the extents of model space.
struct WriteContext {
  AcDbDatabase* db;
  AcDbDatabase::Impl* d;
  Writer& w;
  bool hasExtents = false;
  double extMin[3] = {0, 0, 0}, extMax[3] = {0, 0, 0};
  std::vector<char> sectionsWritten;  // of the drawing's sections the host does not know
};
// Gives a handle to every object a save writes that has none yet (the tables the host
// writes itself, its dictionaries and layouts, the BLOCK and ENDBLK of each block): false
// when they pass kDxfHandleLimit.
bool reserveFileHandles(AcDbDatabase* db);
// dxf_write_tables.cpp: the handles the tables and objects need, the CLASSES, TABLES and
// OBJECTS sections.
void reserveTableHandles(AcDbDatabase::Impl& d);
void writeClasses(WriteContext& c);
void writeTables(WriteContext& c);
void writeObjects(WriteContext& c);

// The code page a drawing is written in: R2000 for a new drawing, else as it was read.
Codec drawingCodec(const AcDbDatabase::Impl& d);

// The owner handle (first group 330 outside application data) of kept groups; 0 when none.
Adesk::UInt64 keptOwner(const DxfKept& kept);

// An object the host does not model, written as read (with its handle when the file gave
// it none), then its extended data.
void writeVerbatim(Writer& w, const DxfKept& kept, const AcDbObject* o);
void writeXData(Writer& w, const AcDbObject* o);
}  // namespace dxf
