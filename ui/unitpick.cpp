// The user's pick of a unit already in the drawing (ZephyrView).
#include "blocks.h"
#include "unitdialog.h"

int pickUnitReference(UnitRecord& unit) {
  GraphicalPart& part = unit.parts[0];
  if (!part.blockRefId.isNull()) return 0;
  AcDbObject* picked = select_one_object("Select unit:", AcDb::kForRead);
  if (!picked) return -1;
  const AcDbObjectId id = picked->objectId();
  picked->close();
  if (id.isNull()) return -2;
  part.blockRefId = id;
  return 0;
}
