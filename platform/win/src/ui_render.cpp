// Painting a dialog into its offscreen picture: frame and caption bar, the dialog's own
// WM_PAINT, then every visible control, owner-drawn ones through the dialog's
// WM_DRAWITEM; and writing the picture to a PNG file.
#include "gdi_internal.h"
#include "standin.h"

#include <algorithm>

namespace zui {
namespace {

struct WindowDc {
  HDC hdc;
  WindowDc(Window* w, bool whole) : hdc(createWindowDc(w, whole)) {}
  ~WindowDc() { releaseDc(hdc); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
};

const COLORREF kFrameGrey = RGB(100, 100, 100);
const COLORREF kFieldBorder = RGB(122, 122, 122);
const COLORREF kDisabledBorder = RGB(204, 204, 204);
const COLORREF kDisabledFace = RGB(204, 204, 204);

// The caption's font: the dialog font's family, a little larger, as window titles are.
HGDIOBJ captionFont() {
  static HGDIOBJ font = nullptr;
  GdiObject* found = findObject(font);
  if (found && found->type == GdiType::Font) return font;
  GdiObject o;
  o.type = GdiType::Font;
  o.stock = true;
  o.family = kDialogFontFamily;
  o.fontSize = 12;
  return font = newObject(o);
}

COLORREF textColorOf(Window* c) {
  return (c->style & WS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT);
}

void frame(HDC hdc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FrameRect(hdc, &r, brush);
  DeleteObject(brush);
}

void text(HDC hdc, const std::string& s, RECT r, UINT format, COLORREF color) {
  SetBkMode(hdc, TRANSPARENT);
  SetTextColor(hdc, color);
  SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
  DrawTextA(hdc, s.c_str(), -1, &r, format);
}

void paintFrame(Window* d) {
  WindowDc dc(d, true);
  cairo_t* cr = cairoOf(dc.hdc);
  int cx = d->rect.right - d->rect.left, cy = d->rect.bottom - d->rect.top;
  fillRect(cr, RECT{0, 0, cx, cy}, GetSysColor(COLOR_BTNFACE));
  frame(dc.hdc, RECT{0, 0, cx, cy}, kFrameGrey);
  if ((d->style & WS_CAPTION) != WS_CAPTION) return;
  RECT bar{kBorder, kBorder, cx - kBorder, kBorder + kCaption};
  fillRect(cr, bar, GetSysColor(COLOR_ACTIVECAPTION));
  RECT title{bar.left + 6, bar.top, bar.right - 30, bar.bottom};
  SelectObject(dc.hdc, captionFont());
  SetBkMode(dc.hdc, TRANSPARENT);
  SetTextColor(dc.hdc, GetSysColor(COLOR_CAPTIONTEXT));
  DrawTextA(dc.hdc, d->text.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (d->style & WS_SYSMENU) {
    // The close box: a cross in a square at the right of the caption bar.
    RECT box{bar.right - 24, bar.top + 3, bar.right - 4, bar.bottom - 3};
    fillRect(cr, box, RGB(199, 80, 80));
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc.hdc, pen);
    MoveToEx(dc.hdc, box.left + 6, box.top + 4, nullptr);
    LineTo(dc.hdc, box.right - 7, box.bottom - 5);
    MoveToEx(dc.hdc, box.right - 7, box.top + 4, nullptr);
    LineTo(dc.hdc, box.left + 6, box.bottom - 5);
    SelectObject(dc.hdc, old);
    DeleteObject(pen);
  }
}

void drawItem(Window* d, Window* c, HDC hdc, UINT type, UINT item, const RECT& r, LPARAM data, UINT state) {
  DRAWITEMSTRUCT dis{};
  dis.CtlType = type;
  dis.CtlID = static_cast<UINT>(c->id);
  dis.itemID = item;
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = state | ((c->style & WS_DISABLED) ? ODS_DISABLED : 0);
  dis.hwndItem = c->handle;
  dis.hDC = hdc;
  dis.rcItem = r;
  dis.itemData = static_cast<ULONG_PTR>(data);
  SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));  // the control's font, as the real controls give it
  SendMessageA(d->handle, WM_DRAWITEM, static_cast<WPARAM>(c->id), reinterpret_cast<LPARAM>(&dis));
}

void paintStatic(Window* d, Window* c, HDC hdc, const RECT& client) {
  DWORD type = c->style & SS_TYPEMASK;
  if (type == SS_OWNERDRAW) {
    // No background of its own: what the dialog painted there stays.
    drawItem(d, c, hdc, ODT_STATIC, 0, client, 0, 0);
    return;
  }
  fillRect(cairoOf(hdc), client, GetSysColor(COLOR_BTNFACE));
  UINT format = DT_WORDBREAK | DT_EXPANDTABS;
  if (type == SS_CENTER) format |= DT_CENTER;
  if (type == SS_RIGHT) format |= DT_RIGHT;
  if (c->style & SS_NOPREFIX) format |= DT_NOPREFIX;
  text(hdc, c->text, client, format, textColorOf(c));
}

void paintButton(Window* c, HDC hdc, const RECT& r) {
  cairo_t* cr = cairoOf(hdc);
  DWORD type = c->style & BS_TYPEMASK;
  if (type == BS_GROUPBOX) {
    SIZE size{0, 16};
    GetTextExtentPoint32A(hdc, c->text.c_str(), static_cast<int>(c->text.size()), &size);
    int mid = size.cy / 2;
    frame(hdc, RECT{r.left + 1, r.top + mid + 1, r.right, r.bottom}, GetSysColor(COLOR_BTNHIGHLIGHT));
    frame(hdc, RECT{r.left, r.top + mid, r.right - 1, r.bottom - 1}, GetSysColor(COLOR_BTNSHADOW));
    if (!c->text.empty()) {
      RECT label{r.left + 8, r.top, r.left + 12 + size.cx, r.top + size.cy};
      fillRect(cr, label, GetSysColor(COLOR_BTNFACE));
      label.left += 2;
      text(hdc, c->text, label, DT_SINGLELINE | DT_LEFT, textColorOf(c));
    }
    return;
  }
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
    int top = (r.bottom - 13) / 2;
    RECT box{r.left, top, r.left + 13, top + 13};
    fillRect(cr, box, GetSysColor(COLOR_WINDOW));
    frame(hdc, box, kFieldBorder);
    if (c->check) fillRect(cr, RECT{box.left + 3, box.top + 3, box.right - 3, box.bottom - 3}, RGB(0, 0, 0));
    text(hdc, c->text, RECT{r.left + 18, r.top, r.right, r.bottom}, DT_SINGLELINE | DT_VCENTER, textColorOf(c));
    return;
  }
  fillRect(cr, r, RGB(225, 225, 225));
  frame(hdc, r, type == BS_DEFPUSHBUTTON ? RGB(0, 120, 215) : RGB(173, 173, 173));
  if (type == BS_DEFPUSHBUTTON) frame(hdc, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, RGB(0, 120, 215));
  text(hdc, c->text, r, DT_SINGLELINE | DT_VCENTER | DT_CENTER, textColorOf(c));
}

// A drop-down list: its field with the chosen item and the arrow button; a disabled one
// is greyed whole, field, frame, arrow and text, so it reads as "cannot be changed".
void paintCombo(Window* c, HDC hdc, const RECT& r) {
  cairo_t* cr = cairoOf(hdc);
  bool enabled = !(c->style & WS_DISABLED);
  fillRect(cr, r, enabled ? GetSysColor(COLOR_WINDOW) : GetSysColor(COLOR_BTNFACE));
  frame(hdc, r, enabled ? kFieldBorder : kDisabledBorder);
  RECT button{r.right - kScrollWidth, r.top + 1, r.right - 1, r.bottom - 1};
  fillRect(cr, button, enabled ? RGB(225, 225, 225) : GetSysColor(COLOR_BTNFACE));
  if (!enabled) fillRect(cr, RECT{button.left - 1, button.top, button.left, button.bottom}, kDisabledFace);
  int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
  POINT arrow[3] = {{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 2}};
  HBRUSH brush = CreateSolidBrush(textColorOf(c));
  HGDIOBJ oldBrush = SelectObject(hdc, brush), oldPen = SelectObject(hdc, GetStockObject(NULL_PEN));
  Polygon(hdc, arrow, 3);
  SelectObject(hdc, oldBrush);
  SelectObject(hdc, oldPen);
  DeleteObject(brush);
  if (c->curSel >= 0 && static_cast<size_t>(c->curSel) < c->items.size()) {
    RECT field{r.left + 4, r.top, button.left - 2, r.bottom};
    text(hdc, c->items[static_cast<size_t>(c->curSel)].text, field,
         DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS, textColorOf(c));
  }
}

// A scroll bar's arrow button: a small filled triangle in a square of the bar's width.
void arrow(HDC hdc, int left, int top, bool up) {
  int cx = left + kScrollWidth / 2, cy = top + kScrollWidth / 2;
  POINT tip[3] = {{cx - 4, cy + (up ? 2 : -2)}, {cx + 4, cy + (up ? 2 : -2)}, {cx, cy + (up ? -2 : 2)}};
  HBRUSH brush = CreateSolidBrush(RGB(96, 96, 96));
  HGDIOBJ oldBrush = SelectObject(hdc, brush), oldPen = SelectObject(hdc, GetStockObject(NULL_PEN));
  Polygon(hdc, tip, 3);
  SelectObject(hdc, oldBrush);
  SelectObject(hdc, oldPen);
  DeleteObject(brush);
}

void paintScrollBar(Window* c, HDC whole) {
  int border = nonClientLeft(c);
  int cx = c->rect.right - c->rect.left, cy = c->rect.bottom - c->rect.top;
  RECT bar{cx - border - kScrollWidth, border, cx - border, cy - border};
  cairo_t* cr = cairoOf(whole);
  fillRect(cr, bar, GetSysColor(COLOR_SCROLLBAR));
  int track = bar.bottom - bar.top - 2 * kScrollWidth;
  int total = static_cast<int>(c->items.size()) * c->itemHeight;
  if (track <= 0 || total <= 0) return;
  arrow(whole, bar.left, bar.top, true);
  arrow(whole, bar.left, bar.bottom - kScrollWidth, false);
  int visible = clientRect(c).bottom;
  int thumb = std::min(track, std::max(8, track * visible / total));
  int offset = static_cast<int>(static_cast<long long>(track) * c->topIndex * c->itemHeight / total);
  offset = std::min(offset, track - thumb);
  int top = bar.top + kScrollWidth + offset;
  fillRect(cr, RECT{bar.left + 2, top, bar.right - 2, top + thumb}, GetSysColor(COLOR_BTNSHADOW));
}

void paintList(Window* d, Window* c, HDC hdc, const RECT& client) {
  fillRect(cairoOf(hdc), client, GetSysColor(COLOR_WINDOW));
  bool ownerDrawn = (c->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  scrollIntoView(c, -1);  // the list may have shrunk since it was scrolled
  for (size_t i = static_cast<size_t>(c->topIndex); i < c->items.size(); ++i) {
    LONG row = static_cast<LONG>(i) - c->topIndex;
    RECT item{0, row * c->itemHeight, client.right, (row + 1) * c->itemHeight};
    if (item.top >= client.bottom) break;
    bool selected = static_cast<int>(i) == c->curSel;
    if (ownerDrawn) {
      drawItem(d, c, hdc, ODT_LISTBOX, static_cast<UINT>(i), item, c->items[i].data, selected ? ODS_SELECTED : 0);
      continue;
    }
    if (selected) fillRect(cairoOf(hdc), item, GetSysColor(COLOR_HIGHLIGHT));
    RECT r{item.left + 2, item.top, item.right, item.bottom};
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | ((c->style & LBS_USETABSTOPS) ? DT_EXPANDTABS : 0);
    text(hdc, c->items[i].text, r, format, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColorOf(c));
  }
}

void paintControl(Window* d, Window* c) {
  HWND handle = c->handle;
  {
    WindowDc client(c, false);
    RECT r = clientRect(c);
    switch (c->kind) {
      case Kind::Static: paintStatic(d, c, client.hdc, r); break;
      case Kind::Button: paintButton(c, client.hdc, r); break;
      case Kind::Combo: paintCombo(c, client.hdc, r); break;
      case Kind::List: paintList(d, c, client.hdc, r); break;
      default: break;
    }
  }
  if (!(c = find(handle))) return;  // the dialog's drawing code destroyed it
  WindowDc whole(c, true);
  RECT outer{0, 0, c->rect.right - c->rect.left, c->rect.bottom - c->rect.top};
  if (c->style & WS_BORDER) frame(whole.hdc, outer, kFrameGrey);
  if (hasVisibleScrollBar(c)) paintScrollBar(c, whole.hdc);
}

}  // namespace

int renderDialog(Window* d, const char* pngPath) {
  static bool painting = false;
  if (painting) return 0;  // a WM_PAINT that asks for painting again
  painting = true;
  HWND handle = d->handle;
  paintFrame(d);
  SendMessageA(handle, WM_PAINT, 0, 0);
  std::vector<HWND> children = find(handle) ? d->children : std::vector<HWND>();
  for (HWND h : children) {
    Window* c = find(h);
    if (c && (c->style & WS_VISIBLE) && find(handle)) paintControl(d, c);
  }
  painting = false;
  if (!(d = find(handle))) return -1;
  d->dirty = false;
  if (!pngPath) return 0;
  cairo_surface_t* surface = surfaceOf(d);
  cairo_surface_flush(surface);
  // Saved as any file of the stand-ins: whole or not at all, never through a planted link.
  standin::SafeSave save;
  if (standin::safeSaveBegin(save, pngPath, 0666) != 0) return -1;
  auto write = [](void* fd, const unsigned char* data, unsigned int length) {
    return standin::writeAll(*static_cast<int*>(fd), data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
  };
  if (cairo_surface_write_to_png_stream(surface, write, &save.fd) != CAIRO_STATUS_SUCCESS ||
      standin::safeSaveCommit(save) != 0) {
    standin::safeSaveAbort(save);
    return -1;
  }
  return 0;
}

}  // namespace zui
