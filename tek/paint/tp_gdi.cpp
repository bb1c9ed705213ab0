// tp_paint: the scene painted into a GDI device context.
#include "tp_internal.h"

#include <cmath>

namespace {

struct GdiTarget {
  HDC hdc;
  RECT area;
};

COLORREF colourRef(uint32_t c) { return RGB(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
// Coordinates far outside any device are clamped; GDI takes 32-bit integers.
LONG pixel(double v) {
  if (!(v > -1e6)) return -1000000;
  if (!(v < 1e6)) return 1000000;
  return static_cast<LONG>(std::lround(v));
}

void clear(void* user, uint32_t colour) {
  GdiTarget* t = static_cast<GdiTarget*>(user);
  HBRUSH brush = CreateSolidBrush(colourRef(colour));
  if (!brush) return;
  FillRect(t->hdc, &t->area, brush);
  DeleteObject(brush);
}

// The outline is drawn in the fill colour, so neighbouring faces meet without gaps.
void polygon(void* user, const double* xy, int count, uint32_t fill) {
  GdiTarget* t = static_cast<GdiTarget*>(user);
  POINT pts[4];
  if (count > 4) count = 4;
  for (int k = 0; k < count; ++k) pts[k] = POINT{pixel(xy[2 * k]), pixel(xy[2 * k + 1])};
  HBRUSH brush = CreateSolidBrush(colourRef(fill));
  HPEN pen = CreatePen(PS_SOLID, 1, colourRef(fill));
  if (brush && pen) {
    HGDIOBJ oldBrush = SelectObject(t->hdc, brush);
    HGDIOBJ oldPen = SelectObject(t->hdc, pen);
    Polygon(t->hdc, pts, count);
    SelectObject(t->hdc, oldPen);
    SelectObject(t->hdc, oldBrush);
  }
  if (pen) DeleteObject(pen);
  if (brush) DeleteObject(brush);
}

void line(void* user, double x0, double y0, double x1, double y1, uint32_t colour, double width) {
  GdiTarget* t = static_cast<GdiTarget*>(user);
  int w = width > 0 && width < 100 ? static_cast<int>(std::lround(width)) : 1;
  HPEN pen = CreatePen(PS_SOLID, w, colourRef(colour));
  if (!pen) return;
  HGDIOBJ old = SelectObject(t->hdc, pen);
  MoveToEx(t->hdc, pixel(x0), pixel(y0), nullptr);
  LineTo(t->hdc, pixel(x1), pixel(y1));
  SelectObject(t->hdc, old);
  DeleteObject(pen);
}

}  // namespace

extern "C" int tp_paint(tp_context* ctx, HDC hdc) {
  if (!ctx || !hdc) return -1;
  GdiTarget target{hdc, RECT{ctx->x, ctx->y, ctx->x + ctx->width, ctx->y + ctx->height}};
  HGDIOBJ keptBrush = SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  tp_painter painter{&target, clear, polygon, line};
  int result = tp_render(ctx, &painter);
  if (keptBrush) SelectObject(hdc, keptBrush);
  return result;
}
