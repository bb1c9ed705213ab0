// Messages: sent and posted messages, the controls' own handling (text, combo and list
// box items, check state) and the dialog manager's handling of what a procedure leaves.
#include "ui_internal.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace zui {
namespace {

struct Posted {
  HWND window;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

std::deque<Posted>& queue() {
  static std::deque<Posted> posted;
  return posted;
}

const char* textArg(LPARAM lParam) {
  const char* s = reinterpret_cast<const char*>(lParam);
  return s ? s : "";
}

// Copies text into a caller's buffer of size characters (cut, always terminated).
LRESULT copyOut(const std::string& text, WPARAM size, LPARAM buffer) {
  char* out = reinterpret_cast<char*>(buffer);
  if (!out || size == 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

bool ownerDrawWithoutStrings(Window* w) {
  if (w->kind == Kind::Combo) return (w->style & CBS_OWNERDRAWFIXED) && !(w->style & CBS_HASSTRINGS);
  return (w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) && !(w->style & LBS_HASSTRINGS);
}

bool sorted(Window* w) {
  return w->kind == Kind::Combo ? (w->style & CBS_SORT) != 0 : (w->style & LBS_SORT) != 0;
}

bool validIndex(Window* w, WPARAM index) {
  return static_cast<intptr_t>(index) >= 0 && static_cast<size_t>(index) < w->items.size();
}

LRESULT insertItem(Window* w, intptr_t at, LPARAM lParam) {
  ListItem item;
  if (ownerDrawWithoutStrings(w)) item.data = lParam;
  else item.text = textArg(lParam);
  size_t pos = w->items.size();
  if (at >= 0 && static_cast<size_t>(at) <= w->items.size()) pos = static_cast<size_t>(at);
  else if (at >= 0) return -1;
  if (at < 0 && sorted(w)) {
    pos = 0;
    while (pos < w->items.size() && lower(w->items[pos].text) <= lower(item.text)) ++pos;
  }
  w->items.insert(w->items.begin() + static_cast<long>(pos), item);
  if (w->curSel >= static_cast<int>(pos)) ++w->curSel;
  return static_cast<LRESULT>(pos);
}

// Searches after index start, wrapping round, as the real controls do (-1 = from the top).
LRESULT findItem(Window* w, WPARAM start, const char* text, bool exact) {
  size_t n = w->items.size();
  if (n == 0) return -1;
  std::string wanted = lower(text);
  intptr_t s = static_cast<intptr_t>(start);
  size_t first = (s < 0 || static_cast<size_t>(s) >= n) ? 0 : static_cast<size_t>(s) + 1;
  for (size_t k = 0; k < n; ++k) {
    size_t i = (first + k) % n;
    std::string t = lower(w->items[i].text);
    if (exact ? t == wanted : t.compare(0, wanted.size(), wanted) == 0) return static_cast<LRESULT>(i);
  }
  return -1;
}

// A list box's own messages: the lines it shows, and a selection brought into view.
bool listMessage(Window* w, UINT msg, WPARAM wParam, LRESULT& result) {
  switch (msg) {
    case LB_GETTOPINDEX:
      result = w->topIndex;
      return true;
    case LB_SETTOPINDEX:
      if (!validIndex(w, wParam)) {
        result = LB_ERR;
        return true;
      }
      w->topIndex = static_cast<int>(wParam);
      scrollIntoView(w, -1);  // no farther than the last line at the bottom
      result = LB_OKAY;
      return true;
    default:
      return false;
  }
}

LRESULT itemMessage(Window* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT own = 0;
  if (w->kind == Kind::List && listMessage(w, msg, wParam, own)) return own;
  const bool list = w->kind == Kind::List;
  // Map the list box messages onto the combo box ones; the semantics are the same.
  switch (msg) {
    case LB_ADDSTRING: msg = CB_ADDSTRING; break;
    case LB_INSERTSTRING: msg = CB_INSERTSTRING; break;
    case LB_DELETESTRING: msg = CB_DELETESTRING; break;
    case LB_RESETCONTENT: msg = CB_RESETCONTENT; break;
    case LB_SETCURSEL: msg = CB_SETCURSEL; break;
    case LB_GETCURSEL: msg = CB_GETCURSEL; break;
    case LB_GETTEXT: msg = CB_GETLBTEXT; break;
    case LB_GETTEXTLEN: msg = CB_GETLBTEXTLEN; break;
    case LB_GETCOUNT: msg = CB_GETCOUNT; break;
    case LB_GETITEMDATA: msg = CB_GETITEMDATA; break;
    case LB_SETITEMDATA: msg = CB_SETITEMDATA; break;
    case LB_FINDSTRINGEXACT: msg = CB_FINDSTRINGEXACT; break;
    default: break;
  }
  switch (msg) {
    case CB_ADDSTRING: return insertItem(w, -1, lParam);
    case CB_INSERTSTRING: return insertItem(w, static_cast<intptr_t>(wParam), lParam);
    case CB_DELETESTRING:
      if (!validIndex(w, wParam)) return -1;
      w->items.erase(w->items.begin() + static_cast<long>(wParam));
      if (w->curSel == static_cast<int>(wParam)) w->curSel = -1;
      else if (w->curSel > static_cast<int>(wParam)) --w->curSel;
      if (list) scrollIntoView(w, -1);
      return static_cast<LRESULT>(w->items.size());
    case CB_RESETCONTENT:
      w->items.clear();
      w->curSel = -1;
      w->topIndex = 0;
      return 0;
    case CB_SETCURSEL:
      if (!validIndex(w, wParam)) {
        w->curSel = -1;
        return -1;
      }
      w->curSel = static_cast<int>(wParam);
      if (list) scrollIntoView(w, w->curSel);
      return static_cast<LRESULT>(wParam);
    case CB_GETCURSEL: return w->curSel;
    case CB_GETCOUNT: return static_cast<LRESULT>(w->items.size());
    case CB_GETITEMDATA: return validIndex(w, wParam) ? w->items[wParam].data : -1;
    case CB_SETITEMDATA:
      if (!validIndex(w, wParam)) return -1;
      w->items[wParam].data = lParam;
      return 0;
    case CB_GETLBTEXTLEN:
      return validIndex(w, wParam) ? static_cast<LRESULT>(w->items[wParam].text.size()) : -1;
    case CB_GETLBTEXT: {
      // Like the real control, the caller's buffer must hold CB_GETLBTEXTLEN + 1 characters.
      char* out = reinterpret_cast<char*>(lParam);
      if (!validIndex(w, wParam) || !out) return -1;
      const std::string& t = w->items[wParam].text;
      memcpy(out, t.c_str(), t.size() + 1);
      return static_cast<LRESULT>(t.size());
    }
    case CB_FINDSTRINGEXACT: return findItem(w, wParam, textArg(lParam), true);
    case CB_FINDSTRING: return findItem(w, wParam, textArg(lParam), false);
    case CB_SELECTSTRING: {
      LRESULT i = findItem(w, wParam, textArg(lParam), false);
      if (i >= 0) w->curSel = static_cast<int>(i);
      return i;
    }
    case LB_SETITEMHEIGHT:
      if (LOWORD(lParam) == 0 || LOWORD(lParam) > 255) return -1;
      w->itemHeight = LOWORD(lParam);
      return 0;
    case LB_GETITEMHEIGHT: return w->itemHeight;
    default: return 0;
  }
}

std::string windowText(Window* w) {
  if (w->kind == Kind::Combo && (w->style & CBS_DROPDOWNLIST) == CBS_DROPDOWNLIST)
    return w->curSel >= 0 ? w->items[static_cast<size_t>(w->curSel)].text : std::string();
  return w->text;
}

}  // namespace

LRESULT controlMessage(Window* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT: w->text = textArg(lParam); return TRUE;
    case WM_GETTEXT: return copyOut(windowText(w), wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(windowText(w).size());
    case BM_GETCHECK: return w->check;
    case BM_SETCHECK: w->check = static_cast<int>(wParam); return 0;
    default: break;
  }
  if (w->kind == Kind::Combo && msg >= CB_ADDSTRING && msg <= CB_FINDSTRINGEXACT)
    return itemMessage(w, msg, wParam, lParam);
  if (w->kind == Kind::List && msg >= LB_ADDSTRING && msg <= LB_FINDSTRINGEXACT)
    return itemMessage(w, msg, wParam, lParam);
  return 0;
}

LRESULT dialogDefault(Window* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return controlMessage(w, msg, wParam, lParam);
    case WM_CLOSE: {
      // As the real dialog manager: the frame's close box acts as the Cancel button,
      // unless that button is there and disabled.
      HWND cancel = GetDlgItem(w->handle, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) return 0;
      PostMessageA(w->handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    default:
      return 0;
  }
}

void dispatchPosted(Window* dialog) {
  while (!queue().empty() && !(dialog && dialog->ended)) {
    Posted m = queue().front();
    queue().pop_front();
    if (find(m.window)) SendMessageA(m.window, m.msg, m.wParam, m.lParam);
  }
}

}  // namespace zui

using namespace zui;

LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = find(window);
  if (!w) return 0;
  if (w->kind == Kind::Dialog) {
    if (w->proc) {
      INT_PTR handled = w->proc(window, msg, wParam, lParam);
      if (handled) return handled;
      if (!find(window)) return 0;
    }
    return dialogDefault(w, msg, wParam, lParam);
  }
  return controlMessage(w, msg, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (window && !find(window)) return FALSE;
  if (window) queue().push_back(Posted{window, msg, wParam, lParam});
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* d = find(dialog);
  if (!d) return nullptr;
  for (HWND child : d->children) {
    Window* c = find(child);
    if (c && static_cast<WORD>(c->id) == static_cast<WORD>(id)) return child;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  Window* w = find(window);
  return w && (w->style & WS_CHILD) ? w->id : 0;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextA(item, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  if (buffer && size > 0) buffer[0] = '\0';
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(GetWindowTextA(item, buffer, size)) : 0;
}
