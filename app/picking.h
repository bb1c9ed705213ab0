// The user's choice of heat-exchanger type and of the Ductora duct ends the unit will
// serve, with each duct end's system, pressure demand and airflow read through Ductora.
#pragma once
#include "dbmain.h"
#include "unitrecord.h"

// Asks for the heat-exchanger type ("<Cross>/Rotary/cOunter: ", Enter = cross) and then
// the supply, extract, outdoor and exhaust duct ends, in that order, into the connections
// of the unit part (parts[0]). 0 when all four were picked or skipped; -1 when the user
// cancelled (the type prompt silently, a pick with a message) or Ductora cannot be asked.
int pickDuctConnections(UnitRecord& unit);

// One connection: the user picks a duct end ("DURAPathwayConnector" of the type
// "EWAPART_UNTYPEDFITTING"); another object is asked for again. Its system id (truncated),
// pressure demand and airflow go into the entry of that type. 0 picked, skipped (Enter)
// or no entry of that type; -1 after a message: cancelled, Ductora missing or too old, or
// a value of the duct end that cannot be read.
int pickConnection(ConnectionMap& connections, ConnectionType type, const char* prompt);

// One pick in the drawing: the entity's id, or the null id for Enter, a pick in empty
// space or an entity whose id cannot be had. Throws the text "Cancelled" on Escape.
AcDbObjectId selectDuctEnd(const char* prompt);
