// The Ductora objects of a unit: its custom part, connection stubs and product package,
// and its external duct components with their branches and ducts.
#pragma once
#include "unitrecord.h"

// Creates (or brings up to date) the unit's Ductora objects; with unitOnly only the unit's
// own custom part and stubs. 0 after the walk (single failures are reported as messages);
// -1 no record, or the unit has no block reference.
int dc_create_objects(UnitRecord* unit, bool unitOnly);
