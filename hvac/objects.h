// The Ductora objects of a unit: its custom part, connection stubs and product package,
// and its external duct components with their branches and ducts.
#pragma once
#include "unitrecord.h"

// Creates (or brings up to date) the unit's Ductora objects; with unitOnly only the unit's
// own custom part and stubs. An external component that cannot be placed (an alignment
// other than 'D' or 'H', an inlet without direction) is left out with a line saying so,
// and so are the components after it on its duct. 0 after the walk (single failures are
// reported as messages); -1 no record, or the unit has no block reference.
int dc_create_objects(UnitRecord* unit, bool unitOnly);
