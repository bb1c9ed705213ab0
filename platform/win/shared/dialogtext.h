// How a dialog is printed as text, the same on every host: by the Windows stand-in on
// Linux and by cadhost.exe's dialog driver on Windows, so one script's transcript checks
// serve both. Each side reads its controls into DialogControlText; these functions write
// the lines.
#pragma once
#include <string>
#include <vector>

#include "windows.h"

// What a person sees of one visible control.
struct DialogControlText {
  int id = 0;              // the control's id; 0xFFFF (-1) is a label's and prints "-"
  std::string className;   // "Static", "Button", "ComboBox", "ListBox" (any letter case) or another
  DWORD style = 0;
  bool checked = false;    // check boxes and options
  std::string text;        // the window text (UTF-8)
  std::vector<std::string> items;  // combo and list boxes, in their order
  int selected = -1;       // combo boxes: the selected item, -1 for none
};

// "Dialog \"CAPTION\"\n".
std::string dialogCaptionLine(const std::string& caption);
// The control's line ("  [ID] KIND ..."), a list box's lines under it; each ends in "\n".
std::string dialogControlLines(const DialogControlText& control);
// "  [ID] LEFT,TOP WIDTHxHEIGHT\n": where the control stands in the dialog's client area.
std::string dialogLayoutLine(int id, const RECT& rect);
