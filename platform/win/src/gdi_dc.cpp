// Device contexts, pens, brushes and shapes on cairo. A window's context draws into
// the picture of its top-level window, moved to the window's client area and clipped to it.
#include "gdi_internal.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace zui {
namespace {

std::map<HDC, std::unique_ptr<Dc>>& dcs() {
  static std::map<HDC, std::unique_ptr<Dc>> table;
  return table;
}

std::map<HGDIOBJ, std::unique_ptr<GdiObject>>& objects() {
  static std::map<HGDIOBJ, std::unique_ptr<GdiObject>> table;
  return table;
}

HGDIOBJ addObject(const GdiObject& o) {
  auto owned = std::make_unique<GdiObject>(o);
  HGDIOBJ handle = owned.get();
  objects()[handle] = std::move(owned);
  return handle;
}

HGDIOBJ stockObject(int index);

HDC addDc(cairo_t* cr, HWND window, int width, int height) {
  static uintptr_t counter = 0x20000;
  counter += 4;
  HDC handle = reinterpret_cast<HDC>(counter);
  auto dc = std::make_unique<Dc>();
  dc->cr = cr;
  dc->window = window;
  dc->width = width;
  dc->height = height;
  dc->pen = stockObject(BLACK_PEN);
  dc->brush = stockObject(WHITE_BRUSH);
  dc->font = stockObject(SYSTEM_FONT);
  dcs()[handle] = std::move(dc);
  return handle;
}

HGDIOBJ stockObject(int index) {
  static std::map<int, HGDIOBJ> stock;
  auto it = stock.find(index);
  if (it != stock.end() && findObject(it->second)) return it->second;
  GdiObject o;
  o.stock = true;
  switch (index) {
    case WHITE_BRUSH: o.type = GdiType::Brush; o.color = RGB(255, 255, 255); break;
    case LTGRAY_BRUSH: o.type = GdiType::Brush; o.color = RGB(192, 192, 192); break;
    case GRAY_BRUSH: o.type = GdiType::Brush; o.color = RGB(128, 128, 128); break;
    case DKGRAY_BRUSH: o.type = GdiType::Brush; o.color = RGB(64, 64, 64); break;
    case BLACK_BRUSH: o.type = GdiType::Brush; o.color = RGB(0, 0, 0); break;
    case NULL_BRUSH: o.type = GdiType::Brush; o.hollow = true; break;
    case WHITE_PEN: o.type = GdiType::Pen; o.color = RGB(255, 255, 255); break;
    case BLACK_PEN: o.type = GdiType::Pen; o.color = RGB(0, 0, 0); break;
    case NULL_PEN: o.type = GdiType::Pen; o.hollow = true; o.style = PS_NULL; break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT: o.type = GdiType::Font; o.fixedPitch = true; break;
    case ANSI_VAR_FONT:
    case DEFAULT_GUI_FONT:
      o.type = GdiType::Font;
      o.family = kDialogFontFamily;
      o.fontSize = kDialogFontPixels;
      break;
    case SYSTEM_FONT: o.type = GdiType::Font; o.bold = true; break;
    default: return nullptr;
  }
  return stock[index] = addObject(o);
}

bool usePen(Dc* dc) {
  GdiObject* pen = findObject(dc->pen);
  if (!pen || pen->hollow || pen->style == PS_NULL) return false;
  setColor(dc->cr, pen->color);
  cairo_set_line_width(dc->cr, pen->width < 1 ? 1.0 : pen->width);
  static const double dash[] = {6, 2}, dot[] = {1, 2}, dashDot[] = {6, 2, 1, 2}, dashDotDot[] = {6, 2, 1, 2, 1, 2};
  switch (pen->style) {
    case PS_DASH: cairo_set_dash(dc->cr, dash, 2, 0); break;
    case PS_DOT: cairo_set_dash(dc->cr, dot, 2, 0); break;
    case PS_DASHDOT: cairo_set_dash(dc->cr, dashDot, 4, 0); break;
    case PS_DASHDOTDOT: cairo_set_dash(dc->cr, dashDotDot, 6, 0); break;
    default: cairo_set_dash(dc->cr, nullptr, 0, 0); break;
  }
  return true;
}

bool useBrush(Dc* dc) {
  GdiObject* brush = findObject(dc->brush);
  if (!brush || brush->hollow) return false;
  setColor(dc->cr, brush->color);
  return true;
}

// Fills the current path with the brush and strokes it with the pen, then clears it.
void fillAndStroke(Dc* dc) {
  cairo_set_fill_rule(dc->cr, dc->fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  if (useBrush(dc)) cairo_fill_preserve(dc->cr);
  if (usePen(dc)) cairo_stroke_preserve(dc->cr);
  cairo_new_path(dc->cr);
}

// Pixel centres, so that one-pixel lines cover whole pixels as GDI's do.
double px(LONG v) { return v + 0.5; }

}  // namespace

HGDIOBJ newObject(const GdiObject& o) { return addObject(o); }

Dc* findDc(HDC hdc) {
  auto it = dcs().find(hdc);
  return it == dcs().end() ? nullptr : it->second.get();
}

GdiObject* findObject(HGDIOBJ object) {
  auto it = objects().find(object);
  return it == objects().end() ? nullptr : it->second.get();
}

void setColor(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void fillRect(cairo_t* cr, const RECT& r, COLORREF color) {
  setColor(cr, color);
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_fill(cr);
}

cairo_surface_t* surfaceOf(Window* top) {
  int cx = std::max<int>(1, top->rect.right - top->rect.left);
  int cy = std::max<int>(1, top->rect.bottom - top->rect.top);
  if (top->surface && (cairo_image_surface_get_width(top->surface) != cx ||
                       cairo_image_surface_get_height(top->surface) != cy)) {
    cairo_surface_destroy(top->surface);
    top->surface = nullptr;
  }
  if (!top->surface) {
    top->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, cx, cy);
    cairo_t* cr = cairo_create(top->surface);
    fillRect(cr, RECT{0, 0, cx, cy}, GetSysColor(COLOR_BTNFACE));
    cairo_destroy(cr);
  }
  return top->surface;
}

HDC createWindowDc(Window* w, bool wholeWindow) {
  Window* top = topLevel(w);
  cairo_t* cr = cairo_create(surfaceOf(top));
  RECT wr = windowRectOnScreen(w), tr = windowRectOnScreen(top);
  POINT origin = wholeWindow ? POINT{wr.left - tr.left, wr.top - tr.top} : clientOffsetInTop(w);
  RECT area = clientRect(w);
  if (wholeWindow) area = RECT{0, 0, wr.right - wr.left, wr.bottom - wr.top};
  cairo_translate(cr, origin.x, origin.y);
  cairo_rectangle(cr, 0, 0, area.right, area.bottom);
  cairo_clip(cr);
  return addDc(cr, w->handle, area.right, area.bottom);
}

void releaseDc(HDC hdc) {
  auto it = dcs().find(hdc);
  if (it == dcs().end()) return;
  cairo_destroy(it->second->cr);
  dcs().erase(it);
}

cairo_t* cairoOf(HDC hdc) {
  Dc* dc = findDc(hdc);
  return dc ? dc->cr : nullptr;
}

void releaseAllGraphics() {
  while (!dcs().empty()) releaseDc(dcs().begin()->first);
}

}  // namespace zui

using namespace zui;

HDC GetDC(HWND window) {
  if (!window) {
    // The screen: a context that measures and draws nowhere visible.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(s);
    cairo_surface_destroy(s);
    return addDc(cr, nullptr, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  }
  Window* w = find(window);
  return w ? createWindowDc(w, false) : nullptr;
}

int ReleaseDC(HWND, HDC hdc) {
  if (!findDc(hdc)) return 0;
  releaseDc(hdc);
  return 1;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) return nullptr;
  GdiObject o;
  o.type = GdiType::Pen;
  o.style = style;
  o.width = width;
  o.color = color & 0xFFFFFF;
  o.hollow = style == PS_NULL;
  return addObject(o);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  GdiObject o;
  o.type = GdiType::Brush;
  o.color = color & 0xFFFFFF;
  return addObject(o);
}

HGDIOBJ GetStockObject(int index) { return stockObject(index); }

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  Dc* dc = findDc(hdc);
  GdiObject* o = findObject(object);
  if (!dc || !o) return nullptr;
  HGDIOBJ* slot = o->type == GdiType::Pen ? &dc->pen : o->type == GdiType::Brush ? &dc->brush : &dc->font;
  HGDIOBJ previous = *slot;
  *slot = object;
  return previous;
}

// Stock objects are never deleted. An object still selected into a context is deleted
// anyway (the real call refuses); the context then draws with the stock default.
BOOL DeleteObject(HGDIOBJ object) {
  GdiObject* o = findObject(object);
  if (!o) return FALSE;
  if (o->stock) return TRUE;
  for (auto& entry : dcs()) {
    Dc* dc = entry.second.get();
    if (dc->pen == object) dc->pen = stockObject(BLACK_PEN);
    if (dc->brush == object) dc->brush = stockObject(WHITE_BRUSH);
    if (dc->font == object) dc->font = stockObject(SYSTEM_FONT);
  }
  objects().erase(object);
  return TRUE;
}

int SetBkMode(HDC hdc, int mode) {
  Dc* dc = findDc(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

int GetBkMode(HDC hdc) {
  Dc* dc = findDc(hdc);
  return dc ? dc->bkMode : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  Dc* dc = findDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF previous = dc->bkColor;
  dc->bkColor = color & 0xFFFFFF;
  return previous;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  Dc* dc = findDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF previous = dc->textColor;
  dc->textColor = color & 0xFFFFFF;
  return previous;
}

int SetPolyFillMode(HDC hdc, int mode) {
  Dc* dc = findDc(hdc);
  if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
  int previous = dc->fillMode;
  dc->fillMode = mode;
  return previous;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  Dc* dc = findDc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->pos;
  dc->pos = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  Dc* dc = findDc(hdc);
  if (!dc) return FALSE;
  if (usePen(dc)) {
    cairo_move_to(dc->cr, px(dc->pos.x), px(dc->pos.y));
    cairo_line_to(dc->cr, px(x), px(y));
    cairo_stroke(dc->cr);
  }
  dc->pos = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  Dc* dc = findDc(hdc);
  if (!dc || !points || count < 2) return FALSE;
  if (usePen(dc)) {
    cairo_move_to(dc->cr, px(points[0].x), px(points[0].y));
    for (int i = 1; i < count; ++i) cairo_line_to(dc->cr, px(points[i].x), px(points[i].y));
    cairo_stroke(dc->cr);
  }
  return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  Dc* dc = findDc(hdc);
  if (!dc || !points || count < 2) return FALSE;
  cairo_move_to(dc->cr, px(points[0].x), px(points[0].y));
  for (int i = 1; i < count; ++i) cairo_line_to(dc->cr, px(points[i].x), px(points[i].y));
  cairo_close_path(dc->cr);
  fillAndStroke(dc);
  return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Dc* dc = findDc(hdc);
  if (!dc) return FALSE;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (useBrush(dc)) {
    cairo_rectangle(dc->cr, left, top, right - left, bottom - top);
    cairo_fill(dc->cr);
  }
  if (usePen(dc)) {
    cairo_rectangle(dc->cr, px(left), px(top), right - left - 1, bottom - top - 1);
    cairo_stroke(dc->cr);
  }
  return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  Dc* dc = findDc(hdc);
  if (!dc) return FALSE;
  double rx = (std::abs(right - left) - 1) / 2.0, ry = (std::abs(bottom - top) - 1) / 2.0;
  if (rx <= 0 || ry <= 0) return TRUE;
  cairo_save(dc->cr);
  cairo_translate(dc->cr, (left + right) / 2.0, (top + bottom) / 2.0);
  cairo_scale(dc->cr, rx, ry);
  cairo_arc(dc->cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(dc->cr);  // the path stays; the pen keeps its width in pixels
  fillAndStroke(dc);
  return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Dc* dc = findDc(hdc);
  if (!dc) return static_cast<COLORREF>(-1);
  fillRect(dc->cr, RECT{x, y, x + 1, y + 1}, color & 0xFFFFFF);
  return color & 0xFFFFFF;
}

void winShutdownGraphics() {
  releaseAllGraphics();
  releaseSurfaces();
  objects().clear();
  cairo_debug_reset_static_data();
  FcFini();
}
