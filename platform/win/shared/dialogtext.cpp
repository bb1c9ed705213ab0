// The text of a dialog (dialogtext.h).
#include "dialogtext.h"

namespace {

// One printed line per text: line ends are shown as "\n".
std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

std::string quoted(const std::string& text) { return "\"" + oneLine(text) + "\""; }

bool isClass(const DialogControlText& c, const char* name) {
  if (c.className.size() != std::char_traits<char>::length(name)) return false;
  for (size_t i = 0; i < c.className.size(); ++i) {
    char a = c.className[i];
    if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
    if (a != name[i]) return false;
  }
  return true;
}

bool isPicture(const DialogControlText& c) { return isClass(c, "static") && (c.style & SS_TYPEMASK) == SS_OWNERDRAW; }

std::string kindName(const DialogControlText& c) {
  if (isClass(c, "static")) return isPicture(c) ? "picture" : "text";
  if (isClass(c, "combobox")) return "combo box";
  if (isClass(c, "listbox")) return "list box";
  if (!isClass(c, "button")) return c.className;
  switch (c.style & BS_TYPEMASK) {
    case BS_DEFPUSHBUTTON: return "default button";
    case BS_GROUPBOX: return "group box";
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX: return c.checked ? "check box (checked)" : "check box";
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return c.checked ? "option (chosen)" : "option";
    default: return "button";
  }
}

std::string describeItems(const DialogControlText& c) {
  const size_t count = c.items.size();
  if (isClass(c, "combobox")) {
    if (count == 0) return ", empty";
    const bool chosen = c.selected >= 0 && (size_t)c.selected < count;
    std::string out = chosen ? ", selected " + quoted(c.items[(size_t)c.selected]) : ", nothing selected";
    out += ":";
    for (size_t i = 0; i < count; ++i) out += (i ? ", " : " ") + quoted(c.items[i]);
    return out;
  }
  std::string out = ", " + std::to_string(count) + (count == 1 ? " line" : " lines");
  if (count) out += ":";
  for (const std::string& item : c.items) out += "\n        " + oneLine(item);
  return out;
}

std::string idText(int id) { return (WORD)id == 0xFFFF ? std::string("-") : std::to_string(id); }

}  // namespace

std::string dialogCaptionLine(const std::string& caption) { return "Dialog " + quoted(caption) + "\n"; }

std::string dialogControlLines(const DialogControlText& c) {
  std::string line = "  [" + idText(c.id) + "] " + kindName(c);
  if (c.style & WS_DISABLED) line += " (disabled)";
  if ((isClass(c, "static") && !isPicture(c)) || isClass(c, "button")) line += " " + quoted(c.text);
  if (isClass(c, "combobox") || isClass(c, "listbox")) line += describeItems(c);
  return line + "\n";
}

std::string dialogLayoutLine(int id, const RECT& r) {
  return "  [" + idText(id) + "] " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "\n";
}
