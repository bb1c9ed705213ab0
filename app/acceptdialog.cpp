#include "acceptdialog.h"

#include "modulepath.h"
#include "rxapi.h"
#include "window.h"
#include "windows.h"

namespace {

const int kImport = 1;
const int kClose = 2;

INT_PTR CALLBACK acceptDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, productTitle().c_str());
      break;
    case WM_CLOSE:
      PostMessageA(dialog, WM_COMMAND, kClose, 0);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kImport) EndDialog(dialog, kImport);
      else if (LOWORD(wParam) == kClose) EndDialog(dialog, kClose);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

int showAcceptDialog() {
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(kMainModuleFileName), "DLG_ACCEPT_CHANGES",
                                         adsw_acadMainWnd(), acceptDialogProc, 0);
  return result == kImport ? 0 : -1;
}
