// Inside the window manager: the window records behind HWND and the dialog state.
// Only the ui_*.cpp and gdi_*.cpp files of the stand-in include this.
#pragma once
#include "windows.h"
#include <cairo.h>
#include <string>
#include <vector>

namespace zui {

enum class Kind { Dialog, Static, Button, Combo, List, Frame };

struct ListItem {
  std::string text;
  LPARAM data = 0;
};

struct Window {
  HWND handle = nullptr;
  Kind kind = Kind::Frame;
  std::string className;
  std::string text;
  DWORD style = 0;
  int id = 0;
  HWND parent = nullptr;  // parent of a child, owner of a dialog or frame
  RECT rect{};            // children: in the parent's client area; top level: screen pixels
  std::vector<ListItem> items;  // combo and list boxes
  int curSel = -1;
  int topIndex = 0;       // list boxes: the first line shown
  int itemHeight = 16;
  int check = 0;
  bool dirty = true;      // top level: waits for its WM_PAINT
  // dialogs
  DLGPROC proc = nullptr;
  LPARAM initParam = 0;
  bool ended = false;
  INT_PTR result = 0;
  std::vector<HWND> children;
  int baseX = 0, baseY = 0;  // dialogs: base units of the dialog's font (0: the system font's)
  cairo_surface_t* surface = nullptr;  // top-level windows: the offscreen picture
};

// Frame around a dialog's client area, in pixels (SM_CYCAPTION 19, as Wine gives it).
constexpr int kBorder = 3;
constexpr int kCaption = 19;
// The width of a vertical scroll bar.
constexpr int kScrollWidth = 17;
// Base units of the system font (GetDialogBaseUnits, dialogs without a font of their own):
// 7 x 16, as Wine's dialog manager measures its system font (Liberation Sans, 16 pixels
// high, 7 wide on average).
constexpr int kBaseUnitX = 7;
constexpr int kBaseUnitY = 16;
// The dialog font's height in pixels at 8 points (96 pixels per inch, rounded as MulDiv
// rounds): the em height a LOGFONT of -11 asks for.
constexpr double kDialogFontPixels = 11;
// Base units of the dialog font at an em height of `pixels`, as the dialog manager takes
// them from the font: the average width of the 52 letters and the text metric's height
// (rounded ascent plus rounded descent), so dialog units map to the pixels the real
// platform gives for that font.
POINT dialogFontBaseUnits(int pixels);

// A dialog template as read from its resource bytes (ui_template.cpp): the dialog and its
// controls, texts in UTF-8.
struct DialogItem {
  std::string className;  // "BUTTON", "STATIC", "COMBOBOX", "LISTBOX", ...
  std::string text;
  int id = 0;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
};
struct DialogTemplate {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  WORD pointSize = 0;
  std::string fontName;
  std::vector<DialogItem> items;
};
// Reads a DLGTEMPLATEEX or DLGTEMPLATE of `size` bytes; false when it is cut or malformed.
bool readDialogTemplate(const void* data, size_t size, DialogTemplate& out);

Window* find(HWND handle);  // null for a handle that is not (or no longer) a window
Window* create(Kind kind, const std::string& className, DWORD style, HWND parent);
void destroy(HWND handle);  // the window and its children
Kind kindOfClass(const std::string& className);

Window* topLevel(Window* w);
// Offset of w's client area from its top-level window's top left corner, in pixels.
POINT clientOffsetInTop(Window* w);
RECT clientRect(Window* w);  // from 0, 0
RECT windowRectOnScreen(Window* w);
int nonClientLeft(Window* w);
int nonClientTop(Window* w);
bool hasVisibleScrollBar(Window* w);
// Dialog units of the window's dialog (the window itself, or the dialog a control is on).
POINT dialogBaseUnits(Window* w);
// units * base / per, rounded half away from zero as MulDiv rounds.
int dialogUnitsToPixels(int units, int base, int per);
// The closed height of a drop-down combo box on that dialog: one line of its font.
int comboHeight(Window* w);
// List boxes: how many whole lines fit, and the top line moved so that `item` shows.
int visibleLines(Window* list);
void scrollIntoView(Window* list, int item);

// Messages to controls (no procedure of their own) and the dialog manager's defaults.
LRESULT controlMessage(Window* w, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT dialogDefault(Window* w, UINT msg, WPARAM wParam, LPARAM lParam);
// Delivers queued posted messages; stops early when the dialog has ended.
void dispatchPosted(Window* dialog);

// The dialog as text (caption, visible controls, items) through the host's print.
std::string describeDialog(Window* dialog);
// Each visible control's rectangle in the dialog's client area, one line a control:
// "  [ID] LEFT,TOP WIDTHxHEIGHT" ("-" for the id of a plain label).
std::string describeLayout(Window* dialog);
// Paints the whole dialog into its picture; writes it to a PNG file when path is given.
// Returns 0, or -1 when the file cannot be written.
int renderDialog(Window* dialog, const char* pngPath);

// Device contexts on window pictures (gdi_dc.cpp).
cairo_surface_t* surfaceOf(Window* top);
HDC createWindowDc(Window* w, bool wholeWindow);
void releaseDc(HDC hdc);
cairo_t* cairoOf(HDC hdc);
void releaseAllGraphics();
void releaseSurfaces();  // every window's picture (remade when next painted)

std::string lower(const std::string& s);
std::string trim(const std::string& s);
// The host's output and input (winhost.h); without a host, output goes to stdout and
// every read is the end of input.
void say(const std::string& text);
bool ask(const std::string& prompt, std::string& answer);

}  // namespace zui
