// What a script's line does in a modal dialog, the same on every host: the Windows
// stand-in on Linux and cadhost.exe's dialog driver on Windows read a line alike, find the
// control it names alike and answer a wrong line in the same words; each acts on its own
// windows through the actions it gives.
#pragma once
#include <functional>
#include <string>

#include "windows.h"

using DialogSay = std::function<void(const std::string& text)>;

struct DialogLineActions {
  DialogSay say;
  std::function<void(const std::string& id, const std::string& text)> select;  // text without its quotes
  std::function<void(const std::string& id)> click;
  std::function<void()> close, escape, show, layout;
  std::function<void(const std::string& path)> snapshot;
};

// Runs one line: "select ID TEXT" (TEXT may stand in double quotes), "click ID", "close",
// "escape" or "*cancel*", "show", "layout", "snapshot FILE.png"; any other line is
// answered with the commands there are.
void runDialogLine(const std::string& line, const DialogLineActions& act);

// The dialog's control that idText names when a user could reach it (shows tells whether
// it is visible, as the host sees it); else null, with the reason said.
HWND reachableDialogControl(HWND dialog, const std::string& idText, bool (*shows)(HWND control), const DialogSay& say);

// A line's text without the blanks around it; a word in lower case (answers are read so).
std::string dialogTrim(const std::string& s);
std::string dialogLower(std::string s);

// Escape: the dialog manager sends the Cancel command, unless a Cancel button is disabled.
void pressDialogEscape(HWND dialog, const DialogSay& say);
