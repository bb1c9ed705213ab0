// Modal dialogs: creation from a module's template, the modal loop that takes the user's
// actions from the host's input lines, and EndDialog.
#include "dialogscript.h"
#include "ui_internal.h"
#include "winhost.h"
#include "base_internal.h"

#include <cstdio>
#include <cstdlib>

namespace zui {

void say(const std::string& text) {
  const WinHostIo& io = winHostIo();
  if (io.print) io.print(text);
  else fputs(text.c_str(), stdout);
}

bool ask(const std::string& prompt, std::string& answer) {
  const WinHostIo& io = winHostIo();
  answer.clear();
  return io.readLine && io.readLine(prompt, answer);
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

namespace {

// Dialog units to pixels with the dialog's base units, as MapDialogRect maps them.
int duX(Window* d, int x) { return dialogUnitsToPixels(x, dialogBaseUnits(d).x, 4); }
int duY(Window* d, int y) { return dialogUnitsToPixels(y, dialogBaseUnits(d).y, 8); }

// A dialog with a font of its own measures in that font's base units (the dialog font at
// its point size). Sizes beyond a poster's are taken as 72 points.
void setBaseUnits(Window* d, const DialogTemplate& t) {
  if (!(t.style & DS_SETFONT) || t.pointSize == 0) return;
  const int points = t.pointSize > 72 ? 72 : t.pointSize;
  const POINT base = dialogFontBaseUnits(dialogUnitsToPixels(points, 96, 72));
  d->baseX = base.x;
  d->baseY = base.y;
}

// Owner-drawn list boxes ask their dialog for the item height once, when they are made,
// which is before the dialog's WM_INITDIALOG.
void measureItems(Window* dialog, Window* list) {
  MEASUREITEMSTRUCT mis{};
  mis.CtlType = ODT_LISTBOX;
  mis.CtlID = static_cast<UINT>(list->id);
  mis.itemWidth = static_cast<UINT>(clientRect(list).right);
  mis.itemHeight = static_cast<UINT>(list->itemHeight);
  if (dialog->proc &&
      dialog->proc(dialog->handle, WM_MEASUREITEM, static_cast<WPARAM>(list->id), reinterpret_cast<LPARAM>(&mis)) &&
      mis.itemHeight > 0 && mis.itemHeight < 256) {
    list->itemHeight = static_cast<int>(mis.itemHeight);
  }
}

void createControl(Window* dialog, const DialogItem& item) {
  std::string cls = item.className.empty() ? "STATIC" : item.className;
  Window* c = create(kindOfClass(cls), cls, (item.style | WS_CHILD) & ~WS_POPUP, dialog->handle);
  c->id = item.id;
  c->text = item.text;
  int x = duX(dialog, item.x), y = duY(dialog, item.y);
  int cy = c->kind == Kind::Combo ? comboHeight(dialog) : duY(dialog, item.cy);
  c->rect = RECT{x, y, x + duX(dialog, item.cx), y + cy};
  if (c->kind == Kind::List) {
    if (c->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) measureItems(dialog, c);
    if (!(c->style & LBS_NOINTEGRALHEIGHT)) {
      int border = nonClientLeft(c);
      int inner = (c->rect.bottom - c->rect.top) - 2 * border;
      c->rect.bottom = c->rect.top + inner / c->itemHeight * c->itemHeight + 2 * border;
    }
  }
}

Window* createDialog(const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param) {
  Window* d = create(Kind::Dialog, "#32770", (t.style & ~(WS_CHILD | WS_VISIBLE)) | WS_POPUP, owner);
  d->text = t.caption;
  d->proc = proc;
  d->initParam = param;
  setBaseUnits(d, t);
  int cx = duX(d, t.cx) + 2 * nonClientLeft(d);
  int cy = duY(d, t.cy) + nonClientTop(d) + nonClientLeft(d);
  POINT origin{duX(d, t.x), duY(d, t.y)};
  if (find(owner)) ClientToScreen(owner, &origin);
  if (t.style & DS_CENTER) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (find(owner)) GetWindowRect(owner, &area);
    origin = POINT{(area.left + area.right - cx) / 2, (area.top + area.bottom - cy) / 2};
  }
  d->rect = RECT{origin.x, origin.y, origin.x + cx, origin.y + cy};
  for (const DialogItem& item : t.items) createControl(d, item);
  return d;
}

HWND firstTabStop(Window* d) {
  for (HWND h : d->children) {
    Window* c = find(h);
    if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return h;
  }
  return nullptr;
}

Window* reachableControl(Window* d, const std::string& idText) {
  return find(reachableDialogControl(d->handle, idText, [](HWND c) -> bool { return IsWindowVisible(c); }, say));
}

void selectItem(Window* d, const std::string& idText, const std::string& text) {
  Window* c = reachableControl(d, idText);
  if (!c) return;
  if (c->kind != Kind::Combo && c->kind != Kind::List) {
    say("Control " + idText + " is not a combo box or list box.\n");
    return;
  }
  bool combo = c->kind == Kind::Combo;
  LRESULT index = SendMessageA(c->handle, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT,
                               static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
  if (index < 0) {
    say("Control " + idText + " has no item \"" + text + "\".\n");
    return;
  }
  SendMessageA(c->handle, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (combo || (c->style & LBS_NOTIFY)) {
    SendMessageA(d->handle, WM_COMMAND, MAKEWPARAM(c->id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(c->handle));
  }
}

void clickButton(Window* d, const std::string& idText) {
  Window* c = reachableControl(d, idText);
  if (!c) return;
  DWORD type = c->style & BS_TYPEMASK;
  if (c->kind != Kind::Button || type == BS_GROUPBOX) {
    say("Control " + idText + " is not a button.\n");
    return;
  }
  if (type == BS_AUTOCHECKBOX) c->check = c->check ? BST_UNCHECKED : BST_CHECKED;
  if (type == BS_AUTORADIOBUTTON) c->check = BST_CHECKED;
  SendMessageA(d->handle, WM_COMMAND, MAKEWPARAM(c->id, BN_CLICKED), reinterpret_cast<LPARAM>(c->handle));
}

void runCommand(Window* d, const std::string& line) {
  DialogLineActions act;
  act.say = say;
  act.select = [d](const std::string& id, const std::string& text) { selectItem(d, id, text); };
  act.click = [d](const std::string& id) { clickButton(d, id); };
  act.close = [d] { SendMessageA(d->handle, WM_CLOSE, 0, 0); };
  act.escape = [d] { pressDialogEscape(d->handle, say); };
  act.show = [d] { say(describeDialog(d)); };
  act.layout = [d] { say(describeLayout(d)); };
  act.snapshot = [d](const std::string& path) {
    const std::string resolved = zwin::resolvePath(path.c_str());  // "\\" or "/", folders in any letter case
    if (renderDialog(d, resolved.c_str()) == 0) say("Snapshot written to " + path + ".\n");
    else say("Cannot write the snapshot " + path + ".\n");
  };
  runDialogLine(line, act);
}

INT_PTR runModal(Window* d) {
  HWND handle = d->handle;
  bool inputEnded = false;
  while ((d = find(handle)) != nullptr && !d->ended) {
    dispatchPosted(d);
    if (!(d = find(handle)) || d->ended) break;
    if (inputEnded) {
      // Input is over and the procedure did not end the dialog on Cancel: end it here,
      // or the dialog would wait for ever.
      say("Input ended: the dialog is closed with Cancel.\n");
      d->ended = true;
      d->result = IDCANCEL;
      break;
    }
    if (d->dirty) renderDialog(d, nullptr);
    std::string line;
    if (!ask("Dialog: ", line)) {
      inputEnded = true;
      pressDialogEscape(d->handle, say);
      continue;
    }
    runCommand(d, line);
  }
  return d && d->ended ? d->result : -1;
}

}  // namespace
}  // namespace zui

using namespace zui;

namespace {

// A template in memory that is no resource is read as Windows reads it, trusting the
// caller; this bounds how far.
const size_t kTemplateInMemory = 64 * 1024;

INT_PTR runDialog(const DialogTemplate& dialogTemplate, HWND owner, DLGPROC proc, LPARAM param) {
  if (owner && !find(owner)) {
    // The real call fails the same way; say so, since callers rarely look at -1.
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    say("DialogBox: the owner window is not a window; no dialog.\n");
    return -1;
  }
  Window* d = createDialog(dialogTemplate, owner, proc, param);
  HWND handle = d->handle;
  if (proc) proc(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop(d)), param);
  INT_PTR result = -1;
  if (find(handle)) {
    if (!d->ended) {
      d->style |= WS_VISIBLE;
      d->dirty = true;
      say(describeDialog(d));
    }
    result = runModal(d);
  }
  if (find(handle)) DestroyWindow(handle);
  return result;
}

}  // namespace

INT_PTR DialogBoxIndirectParamA(HINSTANCE, LPCDLGTEMPLATEA dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
  if (!dialogTemplate) return -1;
  size_t size = zwin::resourceSizeAt(dialogTemplate);
  DialogTemplate t;
  if (!readDialogTemplate(dialogTemplate, size ? size : kTemplateInMemory, t)) {
    SetLastError(ERROR_INVALID_DATA);
    say("DialogBox: the dialog template is malformed; no dialog.\n");
    return -1;
  }
  return runDialog(t, owner, proc, param);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  const std::string name = IS_INTRESOURCE(templateName)
                               ? "#" + std::to_string(reinterpret_cast<uintptr_t>(templateName))
                               : std::string(templateName ? templateName : "");
  HRSRC found = templateName ? FindResourceA(instance, templateName, RT_DIALOG) : nullptr;
  HGLOBAL data = found ? LoadResource(instance, found) : nullptr;
  const void* locked = data ? LockResource(data) : nullptr;
  if (!locked) {
    say("DialogBox: no dialog template " + name + " in the module.\n");
    return -1;
  }
  DialogTemplate t;
  if (!readDialogTemplate(locked, SizeofResource(instance, found), t)) {
    SetLastError(ERROR_INVALID_DATA);
    say("DialogBox: the dialog template " + name + " is malformed; no dialog.\n");
    return -1;
  }
  return runDialog(t, owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Window* d = find(dialog);
  if (!d || d->kind != Kind::Dialog) return FALSE;
  d->ended = true;
  d->result = result;
  return TRUE;
}
