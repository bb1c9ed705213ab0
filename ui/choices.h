// The unit information dialog's choices: the system and duct serie combo boxes filled
// from the project's lists, and the user's choices read back into the unit's record.
#pragma once
#include <list>
#include <string>

#include "unitrecord.h"
#include "windows.h"

// Fills combo box `id` with the systems (only those of type `typeFilter` when it is 0 or
// more), each item's data its system id, and shows it. The first item is selected, or the
// last whose id is `current`. current -2: the box stays empty and disabled; otherwise it
// is enabled only when current is -1 (an assigned system is shown but cannot be changed).
void fillSystemCombo(HWND dialog, int id, int current, const std::list<dc_system>& systems,
                     int typeFilter);

// Fills combo box `id` with the duct series' names, each item's data its index, and shows
// it. The serie whose id is `current` is selected; when current reads as -1 and there are
// two series or more, the first. current reading as -2: empty and disabled; otherwise
// enabled only when current reads as -1.
void fillDuctSerieCombo(HWND dialog, int id, const std::string& current,
                        const std::list<dc_duct_serie>& ductSeries);

// Writes the dialog's choices into the record: the unit's system (210), each connection's
// system (its combo box; the extract plug takes the extract's choice of this dialog, and
// without one keeps its own system, or takes the extract's when it has none) and, with
// external components, the duct serie (211). Disabled or empty boxes change nothing.
// 0; -1 without a record.
int readDialogChoices(HWND dialog, UnitRecord* unit);

// What is still missing before the choices can be handed to Ductora (a system for the
// unit and for each main connection its model has, a duct serie for the components): null
// when they are complete, else the message for the user ("Ductora system can not be empty" or
// "Ductora duct series for duct componets can not be empty").
const char* missingChoice(const UnitRecord& unit);
