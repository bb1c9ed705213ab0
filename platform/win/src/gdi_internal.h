// Inside GDI: device contexts and objects behind HDC and HGDIOBJ.
#pragma once
#include "ui_internal.h"

namespace zui {

enum class GdiType { Pen, Brush, Font };

struct GdiObject {
  GdiType type = GdiType::Pen;
  bool stock = false;
  int style = PS_SOLID;  // pens
  int width = 1;         // pens
  bool hollow = false;   // null pen or null brush
  COLORREF color = 0;
  double fontSize = 13;  // fonts, in pixels
  const char* family = "sans-serif";  // a fontconfig family (fontconfig falls back when missing)
  bool fixedPitch = false;
  bool bold = false;
};

struct Dc {
  cairo_t* cr = nullptr;
  HWND window = nullptr;
  int width = 0, height = 0;  // the drawing area from 0, 0 (client area of the window)
  HGDIOBJ pen = nullptr, brush = nullptr, font = nullptr;
  int bkMode = OPAQUE;
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  int fillMode = ALTERNATE;
  POINT pos{0, 0};
};

// The dialogs' font ("MS Sans Serif" 8 pt, the GUI and variable-pitch stock fonts): its
// metric-compatible free counterpart, at the same pixel size.
constexpr const char* kDialogFontFamily = "Liberation Sans";

Dc* findDc(HDC hdc);
HGDIOBJ newObject(const GdiObject& o);
GdiObject* findObject(HGDIOBJ object);
void setColor(cairo_t* cr, COLORREF color);
void fillRect(cairo_t* cr, const RECT& r, COLORREF color);
// The font of the context set on its cairo state; returns the line height in pixels.
double applyFont(Dc* dc);
// Text usable by cairo: bytes that are not UTF-8 become '?'.
std::string validUtf8(const std::string& text);

}  // namespace zui
