// The unit information dialog and the flow around it.
#pragma once
#include "unitrecord.h"
#include "wintypes.h"

// Shows the unit (or, without a record, a unit the user picks in the drawing), lets the
// user assign Ductora systems and duct series, and hands the choices to Ductora.
void showUnitInformation(UnitRecord* unit, HWND parent);
