#include "infolist.h"

#include <cstdarg>
#include <cstdio>

#include "dialogtables.h"

namespace {

// printf into a string of any length.
std::string format(const char* pattern, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, pattern, args);
  va_end(args);
  std::string text;
  if (n > 0) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), pattern, again);
    text.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return text;
}

// Cuts a line to kMaxInformationLine bytes without splitting a UTF-8 character.
std::string bounded(std::string line) {
  if (line.size() <= kMaxInformationLine) return line;
  size_t n = kMaxInformationLine;
  while (n > 0 && (static_cast<unsigned char>(line[n]) & 0xC0) == 0x80) --n;
  line.resize(n);
  return line;
}

std::string bandLine(const char* label) {
  const char* const* b = kBandLabels;
  return format("%s\t%3s\t%3s\t%3s\t%3s\t%3s\t%3s\t%3s\t%3s", label, b[0], b[1], b[2], b[3], b[4],
                b[5], b[6], b[7]);
}

std::string levelLine(const char* label, const double (&v)[kSoundBands]) {
  return format("%s\t%3.0f\t%3.0f\t%3.0f\t%3.0f\t%3.0f\t%3.0f\t%3.0f\t%3.0f", label, v[0], v[1],
                v[2], v[3], v[4], v[5], v[6], v[7]);
}

// Whole millimetres as the list shows them; sizes beyond int are not real ducts.
int millimetres(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0)) return 0;
  return static_cast<int>(value);
}

void addConnectionLines(std::vector<std::string>& lines, const char* label,
                        const DuctConnectionData& data) {
  lines.push_back("");
  lines.push_back(format("     %s connection", label));
  lines.push_back(format("          Airflow (l/s)\t%.2f", data.airflow));
  lines.push_back(format("          Pressure demand (Pa)\t%.2f", data.pressure));
  if (data.size.y > 1e-6)
    lines.push_back(format("          Size (mm)\t%dx%d", millimetres(data.size.x), millimetres(data.size.y)));
  else
    lines.push_back(format("          Size (mm)\t%d", millimetres(data.size.x)));
  lines.push_back(bandLine("          Sound (Hz)"));
  lines.push_back(levelLine("          Generation (dB)", data.soundGeneration));
  lines.push_back(levelLine("          Attenuation (dB)", data.soundAttenuation));
}

}  // namespace

std::vector<std::string> informationLines(const UnitRecord& unit) {
  std::vector<std::string> lines;
  const GraphicalPart& part = unit.parts[0];
  lines.push_back("Unit\t" + part.name);
  lines.push_back("     Description\t" + unit.description);
  lines.push_back(bandLine("     Sound (Hz)"));
  lines.push_back(levelLine("     Surrounding (dB)", unit.surroundingSound));
  for (const MainConnection& main : kMainConnections) {
    auto found = part.connections.find(main.type);
    if (found != part.connections.end()) addConnectionLines(lines, main.label, found->second);
  }
  for (std::string& line : lines) line = bounded(std::move(line));
  return lines;
}

void fillInformationList(HWND dialog, const UnitRecord& unit) {
  SendDlgItemMessageA(dialog, IDC_INFORMATION, LB_RESETCONTENT, 0, 0);
  for (const std::string& line : informationLines(unit))
    SendDlgItemMessageA(dialog, IDC_INFORMATION, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void drawInformationItem(const DRAWITEMSTRUCT& item) {
  if (static_cast<int>(item.itemID) < 0) return;  // an empty list asks for its focus frame
  // The control's own length first: its text is copied whole into the buffer.
  LRESULT length = SendMessageA(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  if (length < 0) return;
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(buffer.data()));
  const std::string text = bounded(std::string(buffer.data()));

  const size_t tab = text.find('\t');
  const bool hasValue = tab != std::string::npos && tab + 1 < text.size();
  const std::string label = hasValue ? text.substr(0, tab) : text;

  HDC dc = item.hDC;
  RECT r = item.rcItem;
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, r.left, r.top, r.right, r.bottom + 1);  // neighbours share their frame line
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  const UINT flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOPREFIX;
  const int base = LOWORD(GetDialogBaseUnits());
  RECT labelRect{r.left + base, r.top, hasValue ? r.left + 38 * base : r.right, r.bottom};
  DrawTextA(dc, label.c_str(), -1, &labelRect, flags);
  if (hasValue) {
    RECT valueRect{r.left + 40 * base, r.top, r.right, r.bottom};
    DrawTextA(dc, text.c_str() + tab + 1, -1, &valueRect, flags);
  }
  if (oldFont) SelectObject(dc, oldFont);
}
