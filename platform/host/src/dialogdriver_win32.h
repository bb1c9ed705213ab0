// The script's dialog driver on Windows, inside the host: how a dialog of the platform's
// own dialog manager is read back as text and as a picture. The driver itself (the hook
// that finds each dialog and the script lines it runs) is dialogdriver_win32.cpp.
#pragma once
#include <windows.h>

#include <string>

namespace cadhost {

// The dialog as text, line for line as the Windows stand-in prints its dialogs: the
// caption, then each visible control with its id, kind, state and text or items.
std::string describeDialogWindow(HWND dialog);
// Each visible control's rectangle in the dialog's client area, in pixels, one line a
// control: "  [ID] LEFT,TOP WIDTHxHEIGHT" ("-" for the id of a plain label).
std::string describeDialogLayout(HWND dialog);
// The text of a window through GetWindowTextW, in UTF-8.
std::string windowTextUtf8(HWND window);
// Saves the whole dialog (frame, caption and controls) as the dialog manager drew it, as a
// PNG file through WIC. 0, or -1 when the picture or the file could not be made.
int snapshotDialog(HWND dialog, const std::wstring& path);

}  // namespace cadhost
