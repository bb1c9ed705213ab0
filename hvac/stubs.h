// Connection stubs: the unit's own ("Fan", "Plug" for the extract plug) grouped with the
// unit in its product package, and the branch stub ("NBranch") that joins an external
// component's inlet and outlet.
#pragma once
#include <vector>
#include "acge.h"
#include "unitrecord.h"
#include "xmlwriter.h"

// The model connection point of the extract plug; only this plug gets a stub.
const int kExtractPlugConnectionPoint = 249;

// Brings the stubs of the unit (its Ductora custom part in blockRefId) up to date: a stub
// whose system still matches is kept, one whose system changed is replaced, one whose
// connection lost its system is erased (systemId -1, dcHandle ""). From Ductora 2007.10.1
// on the unit's package is rebuilt from the stubs in connection order and moves as a
// whole. 0 done; -1 failed (reported under "Failed to create duct connections"; entries
// changed before the failure keep their changes).
int dc_create_connection_stubs(GraphicalPart& unit);

// One "NBranch" stub on the component's custom part joining inlet and outlet (both get its
// handle as dcHandle), appended to the component's package. 0 done; -1 failed (reported
// under "Failed to create nbrunch"; a refused package step keeps the stub in Ductora and
// in the record).
int dc_create_branch(GraphicalPart& component, DuctConnectionData& inlet, DuctConnectionData& outlet);

// Composes a <CreateConnectionStub> request in writer (cleared first). The sound elements
// come only for given values whose sum is above 0; texts go in unescaped.
void dc_stub_request(xmlStringWriter& writer, const char* function, const char* parentHandle, int systemId,
                     const double* soundGeneration, const double* soundAttenuation,
                     const std::vector<Ductora_Connection>& connections);

// The connection in world coordinates: position, direction and normal through the part's
// placement (vectors not normalised), size as it is.
Ductora_Connection dc_world_connection(const DuctConnectionData& connection, const AcGeMatrix3d& placement);
