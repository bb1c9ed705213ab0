// A script's line in a modal dialog (dialogscript.h).
#include "dialogscript.h"

#include <cstdlib>

std::string dialogTrim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

std::string dialogLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  return s;
}

namespace {
void select(const std::string& args, const DialogLineActions& act) {
  const size_t space = args.find(' ');
  std::string text = space == std::string::npos ? std::string() : dialogTrim(args.substr(space + 1));
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  act.select(args.substr(0, space), text);
}
}  // namespace

void runDialogLine(const std::string& line, const DialogLineActions& act) {
  const std::string text = dialogTrim(line);
  const size_t space = text.find(' ');
  const std::string word = dialogLower(text.substr(0, space));
  const std::string args = space == std::string::npos ? std::string() : dialogTrim(text.substr(space + 1));
  if (word == "select" && !args.empty()) select(args, act);
  else if (word == "click" && !args.empty()) act.click(args);
  else if (word == "close" && args.empty()) act.close();
  else if ((word == "escape" && args.empty()) || text == "*cancel*") act.escape();
  else if (word == "show" && args.empty()) act.show();
  else if (word == "layout" && args.empty()) act.layout();
  else if (word == "snapshot" && !args.empty()) act.snapshot(args);
  else {
    act.say("Unknown dialog command \"" + text +
            "\": use select ID TEXT, click ID, close, escape, show, layout or snapshot FILE.png.\n");
  }
}

HWND reachableDialogControl(HWND dialog, const std::string& idText, bool (*shows)(HWND control), const DialogSay& say) {
  char* end = nullptr;
  const long id = std::strtol(idText.c_str(), &end, 10);
  if (idText.empty() || *end != '\0') {
    say("\"" + idText + "\" is not a control id.\n");
    return nullptr;
  }
  HWND control = GetDlgItem(dialog, (int)id);
  const std::string name = "Control " + std::to_string(id);
  if (!control) say("There is no control " + std::to_string(id) + ".\n");
  else if (!shows(control)) say(name + " is hidden.\n");
  else if (!IsWindowEnabled(control)) say(name + " is disabled.\n");
  else return control;
  return nullptr;
}

void pressDialogEscape(HWND dialog, const DialogSay& say) {
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  if (cancel && !IsWindowEnabled(cancel)) {
    say("Control 2 is disabled.\n");
    return;
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
}
