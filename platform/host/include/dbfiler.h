// The DXF filer: how an object of a custom class reads and writes its own groups. The host
// writes and reads everything the host models (handle, owner, layer, linetype, colour,
// proxy graphics, extended data); the class's dxfOutFields writes its subclass marker
// (group 100 with its class name) and its groups, its dxfInFields reads them back.
#pragma once
#include "acadstrc.h"
#include "acge.h"
#include "adesk.h"

struct resbuf;

namespace AcDb {
// Group codes by their meaning; any other code can be given as a number.
enum DxfCode {
  kDxfText = 1,
  kDxfBlockName = 2,
  kDxfXTextString = 3,
  kDxfXCoord = 10,
  kDxfReal = 40,
  kDxfInt16 = 70,
  kDxfInt32 = 90,
  kDxfSubclass = 100,
  kDxfNormalX = 210,
};
}  // namespace AcDb

class ACHOST_API AcDbDxfFiler {
 public:
  virtual ~AcDbDxfFiler();

  // eOk until a read or write fails; the first failure is kept.
  virtual Acad::ErrorStatus filerStatus() const = 0;
  // Marks the filer failed with a reason (printf-style, wide text); returns the status.
  virtual Acad::ErrorStatus setError(Acad::ErrorStatus status, const ACHAR* format, ...) = 0;

  // Reading. The next group into *rb: restype is the group code; a text (resval.rstring)
  // belongs to the filer and lives until the next read; a point code (10 to 18, 110 to
  // 112, 210) takes its y and z groups with it. eEndOfFile after the last group of the
  // object's own data; eBadDxfSequence (with the filer's status) for a value that does not
  // read as its code's kind.
  virtual Acad::ErrorStatus readResBuf(resbuf* rb) = 0;
  // The group just read is read again next time.
  virtual void pushBackItem() = 0;
  // True when the next group is the subclass marker of that class (it is then taken).
  virtual bool atSubclassData(const ACHAR* subClassName) = 0;
  virtual bool atEOF() = 0;

  // Writing: eOk, or the status of a filer that has failed.
  virtual Acad::ErrorStatus writeString(AcDb::DxfCode code, const ACHAR* text) = 0;
  virtual Acad::ErrorStatus writeDouble(AcDb::DxfCode code, double value) = 0;
  virtual Acad::ErrorStatus writeInt16(AcDb::DxfCode code, Adesk::Int16 value) = 0;
  virtual Acad::ErrorStatus writeInt32(AcDb::DxfCode code, Adesk::Int32 value) = 0;
  virtual Acad::ErrorStatus writePoint3d(AcDb::DxfCode code, const AcGePoint3d& p) = 0;
  virtual Acad::ErrorStatus writeVector3d(AcDb::DxfCode code, const AcGeVector3d& v) = 0;
};
