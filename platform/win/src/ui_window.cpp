// The window table behind HWND: creation, geometry, visibility, text and placement.
#include "ui_internal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace zui {
namespace {

std::map<HWND, std::unique_ptr<Window>>& table() {
  static std::map<HWND, std::unique_ptr<Window>> windows;
  return windows;
}

HWND nextHandle() {
  // Handles are never reused, so a stale one is simply not found.
  static uintptr_t counter = 0x10000;
  counter += 4;
  return reinterpret_cast<HWND>(counter);
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

std::string lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

Window* find(HWND handle) {
  if (!handle) return nullptr;
  auto it = table().find(handle);
  return it == table().end() ? nullptr : it->second.get();
}

Kind kindOfClass(const std::string& className) {
  std::string c = lower(className);
  if (c == "static") return Kind::Static;
  if (c == "button") return Kind::Button;
  if (c == "combobox") return Kind::Combo;
  if (c == "listbox") return Kind::List;
  if (c == "#32770") return Kind::Dialog;
  return Kind::Frame;
}

Window* create(Kind kind, const std::string& className, DWORD style, HWND parent) {
  auto w = std::make_unique<Window>();
  w->handle = nextHandle();
  w->kind = kind;
  w->className = className;
  w->style = style;
  w->parent = parent;
  Window* raw = w.get();
  table()[raw->handle] = std::move(w);
  if (Window* p = find(parent); p && (style & WS_CHILD)) p->children.push_back(raw->handle);
  return raw;
}

void destroy(HWND handle) {
  Window* w = find(handle);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (auto& entry : table()) {
    if (entry.second->parent == handle && !(entry.second->style & WS_CHILD)) children.push_back(entry.first);
  }
  for (HWND child : children) destroy(child);  // children and owned windows go with it
  if (Window* p = find(w->parent)) {
    auto& list = p->children;
    list.erase(std::remove(list.begin(), list.end(), handle), list.end());
  }
  if (w->surface) cairo_surface_destroy(w->surface);
  table().erase(handle);
}

void releaseSurfaces() {
  for (auto& entry : table()) {
    if (entry.second->surface) cairo_surface_destroy(entry.second->surface);
    entry.second->surface = nullptr;
  }
}

Window* topLevel(Window* w) {
  while (w && (w->style & WS_CHILD)) {
    Window* p = find(w->parent);
    if (!p) break;
    w = p;
  }
  return w;
}

int nonClientLeft(Window* w) {
  if (w->style & WS_CHILD) return (w->style & WS_BORDER) ? 1 : 0;
  if (w->style & (WS_CAPTION | WS_DLGFRAME | WS_BORDER | DS_MODALFRAME)) return kBorder;
  return 0;
}

int nonClientTop(Window* w) {
  int top = nonClientLeft(w);
  if (!(w->style & WS_CHILD) && (w->style & WS_CAPTION) == WS_CAPTION) top += kCaption;
  return top;
}

bool hasVisibleScrollBar(Window* w) {
  if (w->kind != Kind::List || !(w->style & WS_VSCROLL)) return false;
  int inner = height(w->rect) - 2 * nonClientLeft(w);
  return static_cast<int>(w->items.size()) * w->itemHeight > inner;
}

RECT clientRect(Window* w) {
  int border = nonClientLeft(w);
  int cx = width(w->rect) - 2 * border - (hasVisibleScrollBar(w) ? kScrollWidth : 0);
  int cy = height(w->rect) - nonClientTop(w) - border;
  return RECT{0, 0, std::max(cx, 0), std::max(cy, 0)};
}

RECT windowRectOnScreen(Window* w) {
  if (!(w->style & WS_CHILD)) return w->rect;
  Window* p = find(w->parent);
  if (!p) return w->rect;
  RECT pr = windowRectOnScreen(p);
  int ox = pr.left + nonClientLeft(p), oy = pr.top + nonClientTop(p);
  return RECT{w->rect.left + ox, w->rect.top + oy, w->rect.right + ox, w->rect.bottom + oy};
}

POINT dialogBaseUnits(Window* w) {
  Window* d = w && (w->style & WS_CHILD) ? find(w->parent) : w;
  if (d && d->baseX > 0 && d->baseY > 0) return POINT{d->baseX, d->baseY};
  return POINT{kBaseUnitX, kBaseUnitY};
}

int dialogUnitsToPixels(int units, int base, int per) {
  long long n = static_cast<long long>(units) * base;
  return static_cast<int>(n >= 0 ? (n + per / 2) / per : -((-n + per / 2) / per));
}

int comboHeight(Window* w) { return dialogBaseUnits(w).y + 8; }

int visibleLines(Window* list) {
  int lines = clientRect(list).bottom / std::max(1, list->itemHeight);
  return std::max(1, lines);
}

void scrollIntoView(Window* list, int item) {
  int count = static_cast<int>(list->items.size());
  if (item >= 0 && item < count) {
    if (item < list->topIndex) list->topIndex = item;
    else if (item >= list->topIndex + visibleLines(list)) list->topIndex = item - visibleLines(list) + 1;
  }
  list->topIndex = std::max(0, std::min(list->topIndex, count - visibleLines(list)));
}

POINT clientOffsetInTop(Window* w) {
  Window* top = topLevel(w);
  RECT tr = windowRectOnScreen(top);
  RECT wr = windowRectOnScreen(w);
  return POINT{wr.left - tr.left + nonClientLeft(w), wr.top - tr.top + nonClientTop(w)};
}

}  // namespace zui

using namespace zui;

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR text, DWORD style, int x, int y, int cx, int cy,
                     HWND parent, HMENU menu, HINSTANCE, LPVOID) {
  if ((style & WS_CHILD) && !find(parent)) return nullptr;
  std::string cls = className && !IS_INTRESOURCE(className) ? className : "";
  Window* w = create(kindOfClass(cls), cls, style, parent);
  w->text = text ? text : "";
  w->rect = RECT{x, y, x + cx, y + cy};
  if (style & WS_CHILD) w->id = static_cast<int>(reinterpret_cast<intptr_t>(menu));
  if (w->kind == Kind::Combo) w->rect.bottom = y + comboHeight(w);
  return w->handle;
}

BOOL DestroyWindow(HWND window) {
  Window* w = find(window);
  if (!w) return FALSE;
  if (w->proc) w->proc(window, WM_DESTROY, 0, 0);
  destroy(window);
  return TRUE;
}

BOOL IsWindow(HWND window) { return find(window) ? TRUE : FALSE; }

HWND GetParent(HWND window) {
  Window* w = find(window);
  return w && find(w->parent) ? w->parent : nullptr;
}

HWND GetDesktopWindow(void) {
  static HWND desktop = nullptr;
  if (!find(desktop)) {
    Window* w = create(Kind::Frame, "#32769", WS_VISIBLE, nullptr);
    w->rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    desktop = w->handle;
  }
  return desktop;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  return static_cast<int>(SendMessageA(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
  return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL ShowWindow(HWND window, int command) {
  Window* w = find(window);
  if (!w) return FALSE;
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  if (command == SW_HIDE) w->style &= ~WS_VISIBLE;
  else w->style |= WS_VISIBLE;
  if (!(w->style & WS_CHILD) && !wasVisible) w->dirty = true;
  return wasVisible;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = find(window);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable) w->style &= ~WS_DISABLED;
  else w->style |= WS_DISABLED;
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = find(window);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

// Visible only when the window and every parent up to its top-level window are.
BOOL IsWindowVisible(HWND window) {
  for (Window* w = find(window); w; w = (w->style & WS_CHILD) ? find(w->parent) : nullptr) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
  }
  return find(window) ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  Window* w = find(window);
  if (!w || !rect) return FALSE;
  *rect = windowRectOnScreen(w);
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* w = find(window);
  if (!w || !rect) return FALSE;
  *rect = clientRect(w);
  return TRUE;
}

// x and y are screen pixels for a top-level window, parent client pixels for a child.
BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* w = find(window);
  if (!w) return FALSE;
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) r = RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(cx, 0);
    r.bottom = r.top + std::max(cy, 0);
  }
  bool resized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                 (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
  w->rect = r;
  if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
  if (resized && w->surface) {
    cairo_surface_destroy(w->surface);  // remade at the new size when next painted
    w->surface = nullptr;
  }
  if (resized && !(w->style & WS_CHILD)) w->dirty = true;
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int cx, int cy, BOOL) {
  return SetWindowPos(window, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
  Window* w = find(window);
  if (!w || !placement) return FALSE;
  placement->flags = 0;
  placement->showCmd = (w->style & WS_VISIBLE) ? SW_SHOWNORMAL : SW_HIDE;
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  placement->rcNormalPosition = w->rect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement) {
  Window* w = find(window);
  if (!w || !placement) return FALSE;
  const RECT& r = placement->rcNormalPosition;
  SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
  ShowWindow(window, static_cast<int>(placement->showCmd));
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  Window* w = find(window);
  if (!w || !point) return FALSE;
  RECT r = windowRectOnScreen(w);
  point->x += r.left + nonClientLeft(w);
  point->y += r.top + nonClientTop(w);
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  Window* w = find(window);
  if (!w || !point) return FALSE;
  RECT r = windowRectOnScreen(w);
  point->x -= r.left + nonClientLeft(w);
  point->y -= r.top + nonClientTop(w);
  return TRUE;
}

// Only a dialog's own invalidation brings its WM_PAINT; a control paints just itself, and
// its pixels are only looked at when the whole dialog is painted for a snapshot.
BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  Window* w = find(window);
  if (!w) return FALSE;
  if (!(w->style & WS_CHILD)) w->dirty = true;
  return TRUE;
}

// Paints at once when the window waits for painting (its dialog's WM_PAINT and controls).
BOOL UpdateWindow(HWND window) {
  Window* w = find(window);
  if (!w) return FALSE;
  if (w->dirty && w->kind == Kind::Dialog && (w->style & WS_VISIBLE)) renderDialog(w, nullptr);
  return TRUE;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return 1920;
    case SM_CYSCREEN: return 1080;
    case SM_CXVSCROLL: return kScrollWidth;
    case SM_CYCAPTION: return kCaption;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return kBorder;
    default: return 0;
  }
}

LONG GetDialogBaseUnits(void) { return MAKELONG(kBaseUnitX, kBaseUnitY); }

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  Window* d = find(dialog);
  if (!d || !rect) return FALSE;
  POINT base = dialogBaseUnits(d);
  rect->left = dialogUnitsToPixels(rect->left, base.x, 4);
  rect->right = dialogUnitsToPixels(rect->right, base.x, 4);
  rect->top = dialogUnitsToPixels(rect->top, base.y, 8);
  rect->bottom = dialogUnitsToPixels(rect->bottom, base.y, 8);
  return TRUE;
}
