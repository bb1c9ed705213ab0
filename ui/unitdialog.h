// The unit information dialog and the flow around it.
#pragma once
#include "unitrecord.h"
#include "windows.h"

// Shows the unit (or, without a record, a unit the user picks in the drawing), lets the
// user assign Ductora systems and duct series, and on OK hands the choices to Ductora and
// writes the unit's extended data again. Every failing step has printed its own message.
// Without a usable Ductora the dialog still opens, but nothing is sent or written.
void showUnitInformation(UnitRecord* unit, HWND parent);

// Asks the user for the unit's block reference when parts[0] has none yet ("Select unit:").
// 0 picked; -1 nothing picked; -2 the pick gave the null id.
int pickUnitReference(UnitRecord& unit);

// Reads back from Ductora the systems already assigned: the unit's (from its custom part)
// and each connection's (from its "Fan" stub). A stub that no longer answers is forgotten:
// its handle is cleared and its "C.xxx1.DCH" item removed from the extended data.
// 0 done; -1 the block reference cannot be opened or Ductora cannot be reached (reported
// as "Can't get duct connection data from Ductora").
int refreshSystemsFromDuctora(UnitRecord& unit);

// Runs the modal dialog "DLG_VIEW_XDATA" for the record (owner: parent, else the host's
// main window). 0 when it ended with OK (the choices are then in the record); -1 otherwise.
int runUnitDialog(UnitRecord& unit, HWND parent);
