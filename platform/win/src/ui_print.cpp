// A dialog as text, so that a person at the terminal and a script's transcript see what
// the dialog shows: its caption, then each visible control with id, kind, state and items.
#include "ui_internal.h"

namespace zui {
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

std::string kindName(Window* c) {
  switch (c->kind) {
    case Kind::Static:
      return (c->style & SS_TYPEMASK) == SS_OWNERDRAW ? "picture" : "text";
    case Kind::Button:
      switch (c->style & BS_TYPEMASK) {
        case BS_DEFPUSHBUTTON: return "default button";
        case BS_GROUPBOX: return "group box";
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX: return c->check ? "check box (checked)" : "check box";
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return c->check ? "option (chosen)" : "option";
        default: return "button";
      }
    case Kind::Combo: return "combo box";
    case Kind::List: return "list box";
    default: return c->className;
  }
}

std::string describeItems(Window* c) {
  if (c->kind == Kind::Combo) {
    if (c->items.empty()) return ", empty";
    std::string out = c->curSel >= 0 ? ", selected " + quoted(c->items[static_cast<size_t>(c->curSel)].text)
                                     : ", nothing selected";
    out += ":";
    for (size_t i = 0; i < c->items.size(); ++i) out += (i ? ", " : " ") + quoted(c->items[i].text);
    return out;
  }
  std::string out = ", " + std::to_string(c->items.size()) + (c->items.size() == 1 ? " line" : " lines");
  if (!c->items.empty()) out += ":";
  for (const ListItem& item : c->items) out += "\n        " + oneLine(item.text);
  return out;
}

std::string idText(Window* c) { return c->id == IDC_STATIC ? std::string("-") : std::to_string(c->id); }

std::string describeControl(Window* c) {
  std::string line = "  [" + idText(c) + "] " + kindName(c);
  if (c->style & WS_DISABLED) line += " (disabled)";
  bool picture = c->kind == Kind::Static && (c->style & SS_TYPEMASK) == SS_OWNERDRAW;
  if ((c->kind == Kind::Static && !picture) || c->kind == Kind::Button) line += " " + quoted(c->text);
  if (c->kind == Kind::Combo || c->kind == Kind::List) line += describeItems(c);
  return line + "\n";
}

}  // namespace

std::string describeDialog(Window* dialog) {
  std::string out = "Dialog " + quoted(dialog->text) + "\n";
  for (HWND h : dialog->children) {
    Window* c = find(h);
    if (c && (c->style & WS_VISIBLE)) out += describeControl(c);
  }
  return out;
}

std::string describeLayout(Window* dialog) {
  std::string out;
  for (HWND h : dialog->children) {
    Window* c = find(h);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    const RECT& r = c->rect;
    out += "  [" + idText(c) + "] " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "\n";
  }
  return out;
}

}  // namespace zui
