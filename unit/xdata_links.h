// What the unit's object in the drawing keeps of its Ductora objects beyond the record:
// the stub links of its connections, brought up to date when a stub is gone, and the
// external components of an import whose Ductora parts are not made yet (the import's
// dialog was cancelled), so that ZephyrView can make them later.
//
// A pending component is one item of the application "ZEPH", "U.PENDCOMP<n>" (n from 1, in
// the order of parts[1] onward) with the value "<connection type> <index of the part it is
// attached to> <alignment> <product id>". The items exist only until the components are
// made: a unit whose components are in Ductora carries none.
#pragma once
#include "dbmain.h"
#include "unitrecord.h"

// Removes the "%s.DCH" item of every main connection of parts[0] whose stub handle is
// empty (its stub was erased or dropped). 0 done; -1 no record or the object cannot be
// opened for write.
int xdata_forget_lost_stubs(UnitRecord* unit);

// Keeps the record's external components (parts[1] onward) on parts[0].blockRefId in
// place of any kept before. 0 kept (also when there are none); -1 no record or the
// object cannot be opened for write; -2 the object refused them (its extended data would
// pass the host's limit): none is kept, said in a line.
int xdata_write_components(UnitRecord* unit);

// Appends the kept components to the record (which holds the unit alone). The number
// appended (0 for none); -1 the items do not read as components (none appended, said in
// a line) or the object cannot be opened.
int xdata_read_components(UnitRecord* unit);

// Removes the kept components' items: their parts are made now. 0 done; -1 the object
// cannot be opened for write.
int xdata_remove_components(const AcDbObjectId& unitObject);
