// A dialog of the platform's dialog manager read back as text (through the controls' own
// messages, as a UI test tool reads it) and as a PNG picture saved through WIC. The picture
// is copied from the window as the dialog manager drew it: Wine's PrintWindow paints only
// the dialog's own background, neither its frame nor its controls.
#include "dialogdriver_win32.h"

#include <wincodec.h>

#include <vector>

#include "hostimpl.h"

namespace cadhost {
namespace {

std::wstring className(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

bool isClass(HWND window, const wchar_t* name) { return lstrcmpiW(className(window).c_str(), name) == 0; }

DWORD styleOf(HWND window) { return (DWORD)GetWindowLongPtrW(window, GWL_STYLE); }

// One printed line per text: line ends are shown as "\n".
std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

std::string quoted(const std::string& text) { return "\"" + oneLine(text) + "\""; }

// An item of a combo box (CB_GETLBTEXT) or list box (LB_GETTEXT), in UTF-8.
std::string itemText(HWND control, bool combo, int index) {
  const LRESULT length = SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, (WPARAM)index, 0);
  if (length < 0) return std::string();
  std::vector<wchar_t> buffer((size_t)length + 1, L'\0');
  SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, (WPARAM)index, (LPARAM)buffer.data());
  return toUtf8(buffer.data());
}

std::string kindName(HWND control) {
  const DWORD style = styleOf(control);
  if (isClass(control, L"Static")) return (style & SS_TYPEMASK) == SS_OWNERDRAW ? "picture" : "text";
  if (isClass(control, L"ComboBox")) return "combo box";
  if (isClass(control, L"ListBox")) return "list box";
  if (!isClass(control, L"Button")) return toUtf8(className(control));
  const bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  switch (style & BS_TYPEMASK) {
    case BS_DEFPUSHBUTTON: return "default button";
    case BS_GROUPBOX: return "group box";
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX: return checked ? "check box (checked)" : "check box";
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return checked ? "option (chosen)" : "option";
    default: return "button";
  }
}

std::string describeItems(HWND control) {
  const bool combo = isClass(control, L"ComboBox");
  const int count = (int)SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  if (combo) {
    if (count <= 0) return ", empty";
    const int selected = (int)SendMessageW(control, CB_GETCURSEL, 0, 0);
    std::string out = selected >= 0 ? ", selected " + quoted(itemText(control, true, selected)) : ", nothing selected";
    out += ":";
    for (int i = 0; i < count; ++i) out += (i ? ", " : " ") + quoted(itemText(control, true, i));
    return out;
  }
  std::string out = ", " + std::to_string(count < 0 ? 0 : count) + (count == 1 ? " line" : " lines");
  if (count > 0) out += ":";
  for (int i = 0; i < count; ++i) out += "\n        " + oneLine(itemText(control, false, i));
  return out;
}

std::string idText(HWND control) {
  const WORD id = (WORD)GetDlgCtrlID(control);
  return id == 0xFFFF ? std::string("-") : std::to_string(id);
}

std::string describeControl(HWND control) {
  std::string line = "  [" + idText(control) + "] " + kindName(control);
  const DWORD style = styleOf(control);
  if (style & WS_DISABLED) line += " (disabled)";
  const bool isStatic = isClass(control, L"Static");
  const bool picture = isStatic && (style & SS_TYPEMASK) == SS_OWNERDRAW;
  if ((isStatic && !picture) || isClass(control, L"Button")) line += " " + quoted(windowTextUtf8(control));
  if (isClass(control, L"ComboBox") || isClass(control, L"ListBox")) line += describeItems(control);
  return line + "\n";
}

// The dialog's own controls in the order of its template (the order they were made in).
std::vector<HWND> visibleControls(HWND dialog) {
  std::vector<HWND> out;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (styleOf(c) & WS_VISIBLE) out.push_back(c);
  return out;
}

// Writes 32-bit pixels (BGRX, top row first) as a PNG file with WIC.
int savePng(const std::wstring& path, const void* pixels, UINT width, UINT height) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  const UINT stride = width * 4;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                (void**)&factory);
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = frame->WritePixels(height, stride, stride * height, (BYTE*)pixels);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (frame) frame->Release();
  if (encoder) encoder->Release();
  if (stream) stream->Release();
  if (factory) factory->Release();
  if (SUCCEEDED(init)) CoUninitialize();
  if (FAILED(hr)) DeleteFileW(path.c_str());  // never a half-written picture
  return SUCCEEDED(hr) ? 0 : -1;
}

}  // namespace

std::string windowTextUtf8(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::vector<wchar_t> buffer((size_t)(length > 0 ? length : 0) + 1, L'\0');
  GetWindowTextW(window, buffer.data(), (int)buffer.size());
  return toUtf8(buffer.data());
}

std::string describeDialogWindow(HWND dialog) {
  std::string out = "Dialog " + quoted(windowTextUtf8(dialog)) + "\n";
  for (HWND c : visibleControls(dialog)) out += describeControl(c);
  return out;
}

std::string describeDialogLayout(HWND dialog) {
  std::string out;
  for (HWND c : visibleControls(dialog)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    out += "  [" + idText(c) + "] " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "\n";
  }
  return out;
}

int snapshotDialog(HWND dialog, const std::wstring& path) {
  RECT r;
  if (!GetWindowRect(dialog, &r) || r.right <= r.left || r.bottom <= r.top) return -1;
  const LONG width = r.right - r.left, height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first, as the PNG wants it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
  int rc = -1;
  if (bitmap && pixels) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    // A dialog answers its first script line before the dialog manager has shown it (it
    // shows a dialog once its queue is first empty): shown now, as it is about to be.
    if (!IsWindowVisible(dialog)) ShowWindow(dialog, SW_SHOWNORMAL);
    // The dialog's pending paints first, so the picture shows what a person would see.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC window = GetWindowDC(dialog);
    const bool copied = window && BitBlt(dc, 0, 0, width, height, window, 0, 0, SRCCOPY);
    if (window) ReleaseDC(dialog, window);
    GdiFlush();
    if (copied) rc = savePng(path, pixels, (UINT)width, (UINT)height);
    SelectObject(dc, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (dc) DeleteDC(dc);
  return rc;
}

}  // namespace cadhost
