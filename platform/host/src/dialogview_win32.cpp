// A dialog of the platform's dialog manager read back as text (through the controls' own
// messages, as a UI test tool reads it) and as a PNG picture saved through WIC. The picture
// is copied from the window as the dialog manager drew it: Wine's PrintWindow paints only
// the dialog's own background, neither its frame nor its controls.
#include "dialogdriver_win32.h"

#include <wincodec.h>

#include <vector>

#include "dialogtext.h"
#include "hostimpl.h"

namespace cadhost {
namespace {

std::wstring className(HWND window) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  return name;
}

DWORD styleOf(HWND window) { return (DWORD)GetWindowLongPtrW(window, GWL_STYLE); }

// An item of a combo box (CB_GETLBTEXT) or list box (LB_GETTEXT), in UTF-8.
std::string itemText(HWND control, bool combo, int index) {
  const LRESULT length = SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, (WPARAM)index, 0);
  if (length < 0) return std::string();
  std::vector<wchar_t> buffer((size_t)length + 1, L'\0');
  SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, (WPARAM)index, (LPARAM)buffer.data());
  return toUtf8(buffer.data());
}

// The control as a person sees it, read through its own messages.
DialogControlText textOf(HWND control) {
  const std::wstring name = className(control);
  DialogControlText t;
  t.id = GetDlgCtrlID(control);
  t.className = toUtf8(name);
  t.style = styleOf(control);
  t.text = windowTextUtf8(control);
  const bool combo = lstrcmpiW(name.c_str(), L"ComboBox") == 0;
  if (lstrcmpiW(name.c_str(), L"Button") == 0) t.checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (combo || lstrcmpiW(name.c_str(), L"ListBox") == 0) {
    const int count = (int)SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) t.items.push_back(itemText(control, combo, i));
    if (combo) t.selected = (int)SendMessageW(control, CB_GETCURSEL, 0, 0);
  }
  return t;
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
  std::string out = dialogCaptionLine(windowTextUtf8(dialog));
  for (HWND c : visibleControls(dialog)) out += dialogControlLines(textOf(c));
  return out;
}

std::string describeDialogLayout(HWND dialog) {
  std::string out;
  for (HWND c : visibleControls(dialog)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    out += dialogLayoutLine(GetDlgCtrlID(c), r);
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
