// The user's choice of heat-exchanger type and of the Ductora duct ends the unit will
// serve, with each duct end's system, pressure demand and airflow read through Ductora.
#pragma once
#include <map>
#include <string>
#include "dbmain.h"
#include "unitrecord.h"

// The handles of the duct ends picked so far in one run, by the connection each serves.
typedef std::map<ConnectionType, std::string> PickedDuctEnds;

// Asks for the heat-exchanger type ("<Cross>/Rotary/cOunter: ", Enter = cross) and then
// the supply, extract, outdoor and exhaust duct ends, in that order, into the connections
// of the unit part (parts[0]). 0 when all four were picked or skipped; -1 when the user
// cancelled (the type prompt silently, a pick with a message) or Ductora cannot be asked.
int pickDuctConnections(UnitRecord& unit);

// One connection: the user picks a duct end ("DURAPathwayConnector" of the type
// "EWAPART_UNTYPEDFITTING"); another object is asked for again, and so is a duct end that
// `picked` holds for another connection (with a line naming that connection). Its system
// id (truncated), pressure demand and airflow go into the entry of that type, and its
// handle into `picked`. 0 picked, skipped (Enter) or no entry of that type; -1 after a
// message: cancelled, Ductora missing or too old, or a value of the duct end that cannot
// be read.
int pickConnection(ConnectionMap& connections, ConnectionType type, const char* prompt,
                   PickedDuctEnds* picked = nullptr);

// One pick in the drawing: the entity's id, or the null id for Enter, a pick in empty
// space or an entity whose id cannot be had. Throws the text "Cancelled" on Escape.
AcDbObjectId selectDuctEnd(const char* prompt);
