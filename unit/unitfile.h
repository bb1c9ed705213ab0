// Where the unit file of an import comes from.
#pragma once
#include <string>

#include "selector_settings.h"

// locateUnitFile's answer when the selector had no unit to send.
const int kNoExportedUnit = -2;

// The path of the unit file to read: fileName when given and it exists; else the local
// override "zephyr.xml" beside the main module (announced on the command line); else the
// selection's export downloaded from the selector's server into a new temporary file,
// which is left there. 0 with path set; -1 when no file could be had; kNoExportedUnit
// when the selector answered without a unit (nothing exported yet for this selection,
// another status, or a web page), said in a line and the answer not kept.
int locateUnitFile(const SelectorSettings& settings, const std::string& selectionId,
                   const char* fileName, std::string& path);
