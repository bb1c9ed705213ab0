// The window side of painting: BeginPaint/EndPaint, rectangles filled or framed with
// a brush, and the system colours.
#include "gdi_internal.h"

#include <map>

using namespace zui;

namespace {

// A brush argument may be a system colour index + 1 instead of a handle.
bool brushColor(HBRUSH brush, COLORREF* color) {
  uintptr_t value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= COLOR_3DLIGHT + 1) {
    *color = GetSysColor(static_cast<int>(value - 1));
    return true;
  }
  GdiObject* o = findObject(brush);
  if (!o || o->type != GdiType::Brush) return false;
  if (o->hollow) return false;
  *color = o->color;
  return true;
}

}  // namespace

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Window* w = find(window);
  if (!w || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  paint->hdc = createWindowDc(w, false);
  paint->rcPaint = clientRect(w);
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint) releaseDc(paint->hdc);
  return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  Dc* dc = findDc(hdc);
  COLORREF color = 0;
  if (!dc || !rect) return 0;
  if (!brushColor(brush, &color)) return reinterpret_cast<uintptr_t>(brush) ? 1 : 0;
  fillRect(dc->cr, *rect, color);
  return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  Dc* dc = findDc(hdc);
  COLORREF color = 0;
  if (!dc || !rect) return 0;
  if (!brushColor(brush, &color)) return reinterpret_cast<uintptr_t>(brush) ? 1 : 0;
  const RECT& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top) return 1;
  fillRect(dc->cr, RECT{r.left, r.top, r.right, r.top + 1}, color);
  fillRect(dc->cr, RECT{r.left, r.bottom - 1, r.right, r.bottom}, color);
  fillRect(dc->cr, RECT{r.left, r.top, r.left + 1, r.bottom}, color);
  fillRect(dc->cr, RECT{r.right - 1, r.top, r.right, r.bottom}, color);
  return 1;
}

DWORD GetSysColor(int index) {
  static const COLORREF colors[] = {
      RGB(200, 200, 200),  // scroll bar
      RGB(0, 0, 0),        // desktop
      RGB(153, 180, 209),  // active caption
      RGB(191, 205, 219),  // inactive caption
      RGB(240, 240, 240),  // menu
      RGB(255, 255, 255),  // window
      RGB(100, 100, 100),  // window frame
      RGB(0, 0, 0),        // menu text
      RGB(0, 0, 0),        // window text
      RGB(0, 0, 0),        // caption text
      RGB(180, 180, 180),  // active border
      RGB(244, 247, 252),  // inactive border
      RGB(171, 171, 171),  // application workspace
      RGB(51, 153, 255),   // highlight
      RGB(255, 255, 255),  // highlight text
      RGB(240, 240, 240),  // button face
      RGB(160, 160, 160),  // button shadow
      RGB(109, 109, 109),  // grey text
      RGB(0, 0, 0),        // button text
      RGB(67, 78, 84),     // inactive caption text
      RGB(255, 255, 255),  // button highlight
      RGB(105, 105, 105),  // 3-D dark shadow
      RGB(227, 227, 227),  // 3-D light
  };
  if (index < 0 || index >= static_cast<int>(sizeof colors / sizeof colors[0])) return 0;
  return colors[index];
}

HBRUSH GetSysColorBrush(int index) {
  static std::map<int, HGDIOBJ> brushes;
  if (index < 0 || index > COLOR_3DLIGHT) return nullptr;
  auto it = brushes.find(index);
  if (it != brushes.end() && findObject(it->second)) return it->second;
  GdiObject o;
  o.type = GdiType::Brush;
  o.stock = true;
  o.color = GetSysColor(index);
  return brushes[index] = newObject(o);
}
