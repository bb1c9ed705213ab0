// The unit information dialog and the flow around it.
#pragma once
#include "unitrecord.h"
#include "windows.h"

// Shows the unit (or, without a record, a unit the user picks in the drawing), lets the
// user assign Ductora systems and duct series, and on OK hands the choices to Ductora and
// writes the unit's extended data again; external components an import left to make are
// made then too. Cancel changes nothing. Every failing step has printed its own message.
// A dialog that could not be confirmed is not shown: without a usable Ductora, or without
// the unit's connections in the model database, the flow ends with a line saying so.
void showUnitInformation(UnitRecord* unit, HWND parent);

// Asks the user for the unit's block reference when parts[0] has none yet ("Select unit:").
// 0 picked; -1 nothing picked; -2 the pick gave the null id.
int pickUnitReference(UnitRecord& unit);

// Reads back from Ductora the systems already assigned: the unit's (from its custom part),
// each connection's (from its "Fan" stub) and the extract plug's (its "Plug" stub, found
// in the unit's product package). A stub erased from the drawing is forgotten in the
// record only (the drawing keeps its link until the dialog's OK); one still in the
// drawing keeps its place whatever it answers. Nothing is written. 0 done; -1 the unit is
// not in the drawing (silently), or Ductora cannot be reached (reported as "Can't get duct
// connection data from Ductora").
int refreshSystemsFromDuctora(UnitRecord& unit);

// Runs the modal dialog "DLG_VIEW_XDATA" for the record (owner: parent, else the host's
// main window). 0 when it ended with OK (the choices are then in the record); -1 otherwise.
int runUnitDialog(UnitRecord& unit, HWND parent);
