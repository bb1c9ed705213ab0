// The reader of the unit file that the selector exports: fills a freshly built
// UnitRecord with the unit's identification, sound data, connections and the external
// duct components on them.
#pragma once
#include <string>

#include "selector_settings.h"
#include "unitfile.h"
#include "unitrecord.h"

// Locates the file (the chosen localFile, the local override beside the main module, or
// a download of the selection's export) and reads it into unit. 0 read; -1 the file could
// not be had or read (after the report "Failed to import data from Zephyr");
// kNoExportedUnit the selector answered without a unit (said so; nothing was read: the
// user may export and import again); -5 the user declined to go on after the selector's
// warning. What was read before a fault stays.
int readUnitXml(UnitRecord& unit, const SelectorSettings& settings, const std::string& selectionId,
                const char* localFile);

// Reads the unit file at path into unit without locating it and without the warning box.
// Throws on the first fault: an xmlwrap::Exception for the document's own faults, a text
// for an incomplete band list, and a value of no message type for a missing "UnitId".
void readUnitDocument(UnitRecord& unit, const std::string& path);
