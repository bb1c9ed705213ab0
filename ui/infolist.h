// The information list of the unit dialog: the unit's data as lines "label<TAB>value",
// drawn by the dialog as framed lines with the label and the value in two columns.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "unitrecord.h"
#include "windows.h"

// The longest line the list holds, in bytes: a longer line (a long description) is cut at a
// whole character for display. The record and the extended data keep the whole text.
const size_t kMaxInformationLine = 1023;

// The lines of the list, in order: the unit, its description and sound, then for each main
// connection an empty line, a heading and its airflow, pressure demand, size and sound.
std::vector<std::string> informationLines(const UnitRecord& unit);

// Replaces the list's lines (control 200) with informationLines(unit).
void fillInformationList(HWND dialog, const UnitRecord& unit);

// Draws one line of the owner-drawn list: a grey frame shared with its neighbours, the
// label from 1 to 38 and the value from 40 horizontal dialog base units on; a line without
// a value spans the whole item.
void drawInformationItem(const DRAWITEMSTRUCT& item);
