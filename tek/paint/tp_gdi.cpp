// tp_paint: the scene painted into a GDI device context.
#include "tp_internal.h"

#include <cmath>

namespace {

COLORREF colourRef(uint32_t c) { return RGB(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// What tp_paint paints into. Faces after faces mostly share a colour, and lines after lines
// a pen: the brush and the pen stay selected until another one is wanted.
struct GdiTarget {
  HDC hdc;
  RECT area;
  HBRUSH brush = nullptr;
  uint32_t brushColour = 0;
  HPEN pen = nullptr;
  uint32_t penColour = 0;
  int penWidth = 0;
  HGDIOBJ keptBrush = nullptr, keptPen = nullptr;  // the context's own, put back at the end

  bool useBrush(uint32_t colour) {
    if (brush && brushColour == colour) return true;
    HBRUSH made = CreateSolidBrush(colourRef(colour));
    if (!made) return false;
    HGDIOBJ old = SelectObject(hdc, made);
    if (!brush) keptBrush = old;
    else DeleteObject(brush);
    brush = made;
    brushColour = colour;
    return true;
  }
  bool usePen(uint32_t colour, int width) {
    if (pen && penColour == colour && penWidth == width) return true;
    HPEN made = CreatePen(PS_SOLID, width, colourRef(colour));
    if (!made) return false;
    HGDIOBJ old = SelectObject(hdc, made);
    if (!pen) keptPen = old;
    else DeleteObject(pen);
    pen = made;
    penColour = colour;
    penWidth = width;
    return true;
  }
  // Puts the context's own brush and pen back and deletes the ones made here.
  void finish() {
    if (brush) {
      SelectObject(hdc, keptBrush);
      DeleteObject(brush);
    }
    if (pen) {
      SelectObject(hdc, keptPen);
      DeleteObject(pen);
    }
    brush = nullptr;
    pen = nullptr;
  }
};

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
  if (t->useBrush(fill) && t->usePen(fill, 1)) Polygon(t->hdc, pts, count);
}

void line(void* user, double x0, double y0, double x1, double y1, uint32_t colour, double width) {
  GdiTarget* t = static_cast<GdiTarget*>(user);
  int w = width > 0 && width < 100 ? static_cast<int>(std::lround(width)) : 1;
  if (!t->usePen(colour, w)) return;
  MoveToEx(t->hdc, pixel(x0), pixel(y0), nullptr);
  LineTo(t->hdc, pixel(x1), pixel(y1));
}

}  // namespace

extern "C" int tp_paint(tp_context* ctx, HDC hdc) {
  if (!ctx || !hdc) return -1;
  GdiTarget target{hdc, RECT{ctx->x, ctx->y, ctx->x + ctx->width, ctx->y + ctx->height}};
  HGDIOBJ keptBrush = SelectObject(hdc, GetStockObject(WHITE_BRUSH));
  tp_painter painter{&target, clear, polygon, line};
  int result = tp_render(ctx, &painter);
  target.finish();
  if (keptBrush) SelectObject(hdc, keptBrush);
  return result;
}
