// Placeholder until the unit information dialog is built: an import ends after the
// unit's extended data is written.
#include "unitdialog.h"

#include "text.h"

void showUnitInformation(UnitRecord* unit, HWND) {
  if (!unit) printMessage("\nZephyr: The unit information dialog is not available in this build.\n");
}
