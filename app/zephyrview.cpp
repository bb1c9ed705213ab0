// The ZephyrView command and its pick of the unit in the drawing.
#include "blocks.h"
#include "commands.h"
#include "rxapi.h"
#include "unitdialog.h"

void ZephyrView() { showUnitInformation(nullptr, adsw_acadMainWnd()); }

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
