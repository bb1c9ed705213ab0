// The model-database step shared by both imports and the unit information dialog.
#pragma once
#include "selector_settings.h"
#include "unitrecord.h"

// Fetches the model dictionary and database and opens them into unit.productDb, with one
// retry on fresh files. 0, or -1 (first fetch), -2 (second fetch), -3 (still unusable,
// after "Database is updated" and with both local files deleted).
int openModelDatabase(UnitRecord& unit, const SelectorSettings& settings);
