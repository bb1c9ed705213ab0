// Ductora's automation objects: the drawing object (IDrawing) and the application object
// (IDuctora200711), and their registration in the running object table.
#pragma once
#include "DuraComSrv.h"
#include "du_server.h"

// The classes that DUREGISTER installs under the ProgIDs.
extern const CLSID CLSID_DuraComSrvDrawing;
extern const CLSID CLSID_DuraComSrvDuctora;
extern const char* const kProgIdDrawing;   // "DuraComSrv.Drawing"
extern const char* const kProgIdDuctora;   // "DuraComSrv.Ductora"

// New objects with one reference each (the caller's); null when out of memory.
DURACOMSRVLib::IDrawing* du_new_drawing_object(DuServer* server);
DURACOMSRVLib::IDuctora200711* du_new_application_object(DuServer* server);

// Puts each object in the running object table or takes it out, as wanted; keeps the
// registrations in the module. Revoking both ends the table's references.
void du_register_objects(DuServer* server, bool drawingObject, bool applicationObject);
