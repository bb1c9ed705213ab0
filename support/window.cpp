#include "window.h"

#include <cstring>
#include <vector>

#include "modulepath.h"

namespace {

// The open-file dialog checks the structure's size against its own: 88 bytes on the
// delivered 32-bit modules (152 on 64-bit Windows), so the size is always taken with sizeof.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88, "the 32-bit open-file structure has 88 bytes");

void moveTo(HWND window, int x, int y) {
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

}  // namespace

void centerOnParent(HWND window) {
  HWND parent = GetParent(window);
  RECT p{}, w{};
  if (!parent || !GetWindowRect(parent, &p) || !GetWindowRect(window, &w)) {
    centerOnScreen(window);
    return;
  }
  int width = w.right - w.left, height = w.bottom - w.top;
  moveTo(window, (p.left + p.right) / 2 - width / 2, (p.top + p.bottom) / 2 - height / 2);
}

void centerOnScreen(HWND window) {
  RECT w{};
  if (!GetWindowRect(window, &w)) return;
  int width = w.right - w.left, height = w.bottom - w.top;
  moveTo(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

LRESULT getComboSelectionData(HWND dialog, int controlId) {
  HWND combo = GetDlgItem(dialog, controlId);
  if (!combo || !IsWindowEnabled(combo)) return -1;
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return -1;
  return SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

std::string getModuleVersionText(HMODULE module) {
  if (!module) module = GetModuleHandleA(kMainModuleFileName);
  if (!module) return std::string();
  char path[MAX_PATH + 2] = {0};
  DWORD n = GetModuleFileNameA(module, path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return std::string();
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return std::string();
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoA(path, handle, size, data.data())) return std::string();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<LPVOID*>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return std::string();
  }
  const DWORD numbers[4] = {HIWORD(info->dwProductVersionMS), LOWORD(info->dwProductVersionMS),
                            HIWORD(info->dwProductVersionLS), LOWORD(info->dwProductVersionLS)};
  std::string text;
  for (DWORD number : numbers) {
    if (number == 0) continue;
    if (!text.empty()) text += ".";
    text += std::to_string(number);
  }
  return text;
}

std::string productTitle() { return "Zephyr " + getModuleVersionText(); }

BOOL showOpenFileDialog(HWND owner, const char* filter, const char* initialFolder, char* fileBuffer,
                        const char* defaultExtension, const char* title) {
  // The dialog wants pairs of zero-terminated texts ending in an empty one.
  std::vector<char> filterCopy;
  if (filter) {
    filterCopy.assign(filter, filter + strlen(filter) + 1);
    for (char& c : filterCopy) {
      if (c == '|') c = '\0';
    }
    filterCopy.push_back('\0');
  }
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.hInstance = GetModuleHandleA(kMainModuleFileName);
  ofn.lpstrFilter = filter ? filterCopy.data() : nullptr;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = fileBuffer;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = initialFolder;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN;
  ofn.lpstrDefExt = defaultExtension;
  return GetOpenFileNameA(&ofn);
}
