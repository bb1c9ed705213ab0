// A dialog as text, so that a person at the terminal and a script's transcript see what
// the dialog shows: its caption, then each visible control with id, kind, state and items
// (written by shared/dialogtext.h, as cadhost.exe writes the real platform's dialogs).
#include "dialogtext.h"
#include "ui_internal.h"

namespace zui {
namespace {

DialogControlText textOf(Window* c) {
  DialogControlText t;
  t.id = c->id;
  t.className = c->className;
  t.style = c->style;
  t.checked = c->check != 0;
  t.text = c->text;
  for (const ListItem& item : c->items) t.items.push_back(item.text);
  t.selected = c->curSel;
  return t;
}

}  // namespace

std::string describeDialog(Window* dialog) {
  std::string out = dialogCaptionLine(dialog->text);
  for (HWND h : dialog->children) {
    Window* c = find(h);
    if (c && (c->style & WS_VISIBLE)) out += dialogControlLines(textOf(c));
  }
  return out;
}

std::string describeLayout(Window* dialog) {
  std::string out;
  for (HWND h : dialog->children) {
    Window* c = find(h);
    if (c && (c->style & WS_VISIBLE)) out += dialogLayoutLine(c->id, c->rect);
  }
  return out;
}

}  // namespace zui
