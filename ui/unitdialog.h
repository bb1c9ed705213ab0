// The unit information dialog and the flow around it.
#pragma once
#include "unitrecord.h"
#include "wintypes.h"

// Shows the unit (or, without a record, a unit the user picks in the drawing), lets the
// user assign Ductora systems and duct series, and hands the choices to Ductora.
void showUnitInformation(UnitRecord* unit, HWND parent);

// Asks the user for the unit's block reference when parts[0] has none yet ("Select unit:").
// 0 picked; -1 nothing picked; -2 the pick gave the null id.
int pickUnitReference(UnitRecord& unit);
