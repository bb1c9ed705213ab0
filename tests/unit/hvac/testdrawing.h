// Entities added to the test session's drawing, for Ductora tasks that open them.
#pragma once
#include "arxhost.h"
#include "dbents.h"

// Appends the entity to model space and closes it; its id.
inline AcDbObjectId addToDrawing(AcDbEntity* entity) {
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, acdbHostApplicationServices()->workingDatabase()->modelSpaceId(), AcDb::kForWrite);
  AcDbObjectId id;
  space->appendAcDbEntity(id, entity);
  entity->close();
  space->close();
  return id;
}
