// Text on device contexts: DrawTextA with alignment, tabs, word breaks and ellipsis,
// TextOutA and measuring, in fontconfig's sans-serif (DejaVu Sans).
#include "gdi_internal.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zui {

std::string validUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = n > 0 && i + n <= text.size();
    for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (ok && c != 0) {
      out.append(text, i, n);
      i += n;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

POINT dialogFontBaseUnits(int pixels) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, kDialogFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, pixels);
  // The font's own ascent and descent at this size, each rounded as the text metric rounds
  // them (hinted metrics would round the ascent up and the descent down).
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const int height = (int)(fe.ascent + 0.5) + (int)(fe.descent + 0.5);
  // The letters' advances in whole pixels, as the platform measures a text extent.
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_set_font_options(cr, options);
  cairo_text_extents_t te;
  cairo_text_extents(cr, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &te);
  const int width = (int)(te.x_advance + 0.5);
  cairo_font_options_destroy(options);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return POINT{(width / 26 + 1) / 2, height};
}

double applyFont(Dc* dc) {
  GdiObject* font = findObject(dc->font);
  GdiObject fallback;
  fallback.type = GdiType::Font;
  if (!font || font->type != GdiType::Font) font = &fallback;
  cairo_select_font_face(dc->cr, font->fixedPitch ? "monospace" : font->family, CAIRO_FONT_SLANT_NORMAL,
                         font->bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(dc->cr, font->fontSize);
  cairo_font_extents_t fe;
  cairo_font_extents(dc->cr, &fe);
  return fe.height;
}

namespace {

double advance(cairo_t* cr, const std::string& s) {
  if (s.empty()) return 0;
  cairo_text_extents_t te;
  cairo_text_extents(cr, validUtf8(s).c_str(), &te);
  return te.x_advance;
}

double averageCharWidth(cairo_t* cr) {
  static const char* sample = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  return advance(cr, sample) / 52.0;
}

// Width of a line, tabs expanded to every eighth average character when asked.
double lineWidth(cairo_t* cr, const std::string& line, bool tabs) {
  if (!tabs) return advance(cr, line);
  double tab = 8 * averageCharWidth(cr), x = 0;
  size_t start = 0;
  for (;;) {
    size_t t = line.find('\t', start);
    x += advance(cr, line.substr(start, t == std::string::npos ? std::string::npos : t - start));
    if (t == std::string::npos) return x;
    x = (static_cast<int>(x / tab) + 1) * tab;
    start = t + 1;
  }
}

void showLine(Dc* dc, const std::string& line, double x, double top, bool tabs) {
  cairo_font_extents_t fe;
  cairo_font_extents(dc->cr, &fe);
  if (dc->bkMode == OPAQUE) {
    setColor(dc->cr, dc->bkColor);
    cairo_rectangle(dc->cr, x, top, lineWidth(dc->cr, line, tabs), fe.height);
    cairo_fill(dc->cr);
  }
  setColor(dc->cr, dc->textColor);
  double tab = 8 * averageCharWidth(dc->cr), pos = 0;
  size_t start = 0;
  for (;;) {
    size_t t = tabs ? line.find('\t', start) : std::string::npos;
    std::string piece = line.substr(start, t == std::string::npos ? std::string::npos : t - start);
    if (!piece.empty()) {
      cairo_move_to(dc->cr, x + pos, top + fe.ascent);
      cairo_show_text(dc->cr, validUtf8(piece).c_str());
      pos += advance(dc->cr, piece);
    }
    if (t == std::string::npos) return;
    pos = (static_cast<int>(pos / tab) + 1) * tab;
    start = t + 1;
  }
}

std::string removePrefixes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;  // "&x" underlines x, "&&" is one "&"
    out += text[i];
  }
  return out;
}

// Splits at line ends and, with a width, between words that would pass it.
std::vector<std::string> breakLines(cairo_t* cr, const std::string& text, double width, bool wordBreak, bool tabs) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string para = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!para.empty() && para.back() == '\r') para.pop_back();
    while (wordBreak && lineWidth(cr, para, tabs) > width) {
      size_t cut = para.size();
      size_t space;
      while ((space = para.rfind(' ', cut - 1)) != std::string::npos && space > 0 &&
             lineWidth(cr, para.substr(0, space), tabs) > width) {
        cut = space;
      }
      if (space == std::string::npos || space == 0) break;  // one long word: it is clipped
      lines.push_back(para.substr(0, space));
      para = para.substr(space + 1);
    }
    lines.push_back(para);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string withEllipsis(cairo_t* cr, const std::string& line, double width, bool tabs) {
  if (lineWidth(cr, line, tabs) <= width) return line;
  std::string cut = line;
  while (!cut.empty() && lineWidth(cr, cut + "...", tabs) > width) {
    cut.pop_back();
    while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
    if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.pop_back();
  }
  return cut + "...";
}

}  // namespace
}  // namespace zui

using namespace zui;

int DrawTextA(HDC hdc, LPCSTR text, int count, RECT* rect, UINT format) {
  Dc* dc = findDc(hdc);
  if (!dc || !text || !rect) return 0;
  std::string s = count < 0 ? std::string(text) : std::string(text, strnlen(text, static_cast<size_t>(count)));
  if (!(format & DT_NOPREFIX)) s = removePrefixes(s);
  const bool tabs = (format & DT_EXPANDTABS) != 0;
  const bool single = (format & DT_SINGLELINE) != 0;
  double lineHeight = applyFont(dc);
  double width = rect->right - rect->left;
  if (single) std::replace_if(s.begin(), s.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  std::vector<std::string> lines = breakLines(dc->cr, s, width, !single && (format & DT_WORDBREAK), tabs);
  if (single && (format & DT_END_ELLIPSIS)) lines[0] = withEllipsis(dc->cr, lines[0], width, tabs);
  int textHeight = static_cast<int>(lineHeight * lines.size() + 0.5);
  if (format & DT_CALCRECT) {
    double widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, lineWidth(dc->cr, line, tabs));
    rect->right = rect->left + static_cast<LONG>(widest + 0.999);
    rect->bottom = rect->top + textHeight;
    return textHeight;
  }
  cairo_save(dc->cr);
  if (!(format & DT_NOCLIP)) {
    cairo_rectangle(dc->cr, rect->left, rect->top, width, rect->bottom - rect->top);
    cairo_clip(dc->cr);
  }
  double top = rect->top;
  if (single && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;
  for (const std::string& line : lines) {
    double w = lineWidth(dc->cr, line, tabs);
    double x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - w) / 2;
    else if (format & DT_RIGHT) x = rect->right - w;
    showLine(dc, line, x, top, tabs);
    top += lineHeight;
  }
  cairo_restore(dc->cr);
  return textHeight;
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int count) {
  Dc* dc = findDc(hdc);
  if (!dc || !text || count < 0) return FALSE;
  applyFont(dc);
  showLine(dc, std::string(text, strnlen(text, static_cast<size_t>(count))), x, y, false);
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size) {
  Dc* dc = findDc(hdc);
  if (!dc || !text || !size || count < 0) return FALSE;
  double h = applyFont(dc);
  size->cx = static_cast<LONG>(advance(dc->cr, std::string(text, strnlen(text, static_cast<size_t>(count)))) + 0.5);
  size->cy = static_cast<LONG>(h + 0.5);
  return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm) {
  Dc* dc = findDc(hdc);
  if (!dc || !tm) return FALSE;
  applyFont(dc);
  cairo_font_extents_t fe;
  cairo_font_extents(dc->cr, &fe);
  *tm = TEXTMETRICA{};
  tm->tmAscent = static_cast<LONG>(fe.ascent + 0.5);
  tm->tmDescent = static_cast<LONG>(fe.descent + 0.5);
  tm->tmHeight = tm->tmAscent + tm->tmDescent;
  tm->tmAveCharWidth = static_cast<LONG>(averageCharWidth(dc->cr) + 0.5);
  tm->tmMaxCharWidth = static_cast<LONG>(fe.max_x_advance + 0.5);
  tm->tmWeight = 400;
  tm->tmFirstChar = 32;
  tm->tmLastChar = 255;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  return TRUE;
}
