// Placeholder until the Ductora objects are built.
#include "objects.h"

#include "text.h"

int dc_create_objects(UnitRecord* unit, bool) {
  printMessage("\nZephyr: Creating Ductora objects is not available in this build.\n");
  return unit ? 0 : -1;
}
