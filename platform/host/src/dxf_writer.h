// Output of DXF groups: a buffered writer of group codes and values in the drawing's code
// page, and the frame of one object that puts the groups the host keeps (but does not
// model) back in the subclass sections they came from.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include "dxf_text.h"
#include "hostimpl.h"

namespace dxf {
class Writer {
 public:
  Writer(FILE* f, const Codec& codec) : m_file(f), m_codec(codec), m_buf(new char[kFileBuffer]), m_room(kFileBuffer) {}
  // Into a text (one object's groups) instead of a file.
  Writer(std::string& sink, const Codec& codec)
      : m_file(nullptr), m_sink(&sink), m_codec(codec), m_buf(new char[kTextBuffer]), m_room(kTextBuffer) {}
  ~Writer() { flush(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void str(int c, std::string_view s);  // a value as it stands (file bytes, whole)
  // Groups already in the writer's form (see appendGroup), as they stand.
  void text(std::string_view groups);
  // Values the host models, each in the host's form, or as the object's file gave it
  // while the host's form is what it was then (DxfKept::asRead), followed by the groups of
  // the same code that the host did not take (DxfKept::shadowed).
  void text(int c, const std::wstring& s);  // a text in the file's code page
  void real(int c, double v);
  void angle(int c, double radians);  // degrees in the file
  void integer(int c, long long v);
  void handle(int c, Adesk::UInt64 h);
  void point(int c, const double* v, int dims = 3);
  // The kept groups of the object being written, or null; shadowed() writes those of its
  // shadowed groups not written yet.
  void object(const DxfKept* kept);
  void shadowed();
  void group(const DxfGroup& g) { str(g.code, g.value); }
  void groups(const std::vector<DxfGroup>& gs) {
    for (const DxfGroup& g : gs) group(g);
  }
  const Codec& codec() const { return m_codec; }
  bool ok() const { return m_ok; }
  void flush();

 private:
  void modelled(int c, std::string_view s);
  static const size_t kFileBuffer = size_t(1) << 20, kTextBuffer = size_t(1) << 12;
  FILE* m_file;
  std::string* m_sink = nullptr;
  const Codec& m_codec;
  // Groups are written straight into the buffer, which goes out whenever the next would
  // not fit.
  std::unique_ptr<char[]> m_buf;
  size_t m_room, m_used = 0;
  std::string m_encoded;  // room for a text in the file's code page
  bool m_ok = true;
  const DxfKept* m_object = nullptr;  // with values as read or shadowed groups
  std::vector<char> m_asReadUsed, m_shadowedUsed;
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
// The version a drawing is saved in when it was read in an older one.
extern const char kSavedVersion[];
// The version ($ACADVER) a drawing read from an older file had, or "".
std::string upgradedFrom(const DxfFileKept& file);
// "R12 (AC1009)" for a version.
std::string releaseName(const std::string& acadver);

// An object the host does not model, written as read (with its handle when the file gave
// it none), then its extended data. An owner is written after the handle of an object
// that names none (files before R13 name no owners).
void writeVerbatim(Writer& w, const DxfKept& kept, const AcDbObject* o, Adesk::UInt64 owner = 0);
void writeXData(Writer& w, const AcDbObject* o);
}  // namespace dxf
