// The export of a chosen unit: the unit file the CAD program imports, with the demand's
// airflows and pressures, the unit's sound at that operating point, its external duct
// components and the address of the model database.
#pragma once
#include <string>

#include "sel_demand.h"
#include "sel_select.h"

const char kSelTempFolder[] = "temp";

// The unit file's text for a unit that serves the demand.
std::string sel_unit_xml(const SelChoice& choice, const SelDemand& demand, const std::string& modelDatabaseUrl);

// Puts text into tempFolder/<selectionId>.XML: written to a fresh file beside it and
// renamed into place, so a reader never sees half a file. 0 stored; -1 with error.
int sel_store_export(const std::string& tempFolder, const std::string& selectionId, const std::string& text,
                     std::string& error);
