// The system's three commands and the model-database step they share.
#pragma once
#include "selector_settings.h"
#include "unitrecord.h"

// Import a unit through the web selector.
void Zephyr();
// Import a unit from a unit XML file the user chooses.
void ZephyrFile();
// Show and edit a unit already in the drawing.
void ZephyrView();

// Fetches the model dictionary and database and opens them into unit.productDb, with one
// retry on fresh files. 0, or -1 (first fetch), -2 (second fetch), -3 (still unusable).
int openModelDatabase(UnitRecord& unit, const SelectorSettings& settings);

// Asks the user for the unit's block reference when parts[0] has none yet ("Select unit:").
// 0 picked; -1 nothing picked; -2 the pick gave the null id.
int pickUnitReference(UnitRecord& unit);
