// Where the unit file of an import comes from.
#pragma once
#include <string>

#include "selector_settings.h"

// The path of the unit file to read: fileName when given and it exists; else the local
// override "zephyr.xml" beside the main module (announced on the command line); else the
// selection's export downloaded from the selector's server into a new temporary file,
// which is left there. 0 with path set, or -1 when no file could be had.
int locateUnitFile(const SelectorSettings& settings, const std::string& selectionId,
                   const char* fileName, std::string& path);
