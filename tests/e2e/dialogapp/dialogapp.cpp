// A test application that opens the main module's two dialogs, message boxes and the
// open-file dialog, so that one script drives them on both hosts (cadhost and cadhost.exe
// under Wine) and the transcripts, layouts and pictures can be compared.
#include <cstring>
#include <string>

#include "arxhost.h"
#include "windows.h"

namespace {

HINSTANCE mainModule() { return GetModuleHandleA("Zephyr_R20_x32.arx"); }

// The unit dialog with every control shown (so each one's place is compared), the systems
// to choose in the combo boxes, and two list lines.
void fillUnitDialog(HWND d) {
  SetWindowTextA(d, "Dialogs - Unit's information");
  for (int id : {210, 211, 201, 202, 203, 204, 205, 206, 207, 208}) {
    HWND c = GetDlgItem(d, id);
    for (const char* t : {"Supply air", "Extract air", "Supply air 2"}) SendMessageA(c, CB_ADDSTRING, 0, (LPARAM)t);
    SendMessageA(c, CB_SETCURSEL, 0, 0);
    EnableWindow(c, id != 203);
  }
  for (int id : {210, 211, 310, 201, 202, 203, 204, 205, 206, 207, 208, 301, 302, 303, 304, 305, 306, 307, 308})
    ShowWindow(GetDlgItem(d, id), SW_SHOW);
  SetDlgItemTextA(d, 301, "Exhaust");
  for (const char* t : {"Unit\tVH-CX-1200", "     Description\tAir handling unit"})
    SendDlgItemMessageA(d, 200, LB_ADDSTRING, 0, (LPARAM)t);
}

void drawItem(const DRAWITEMSTRUCT* di) {
  HBRUSH brush = CreateSolidBrush(di->CtlID == 100 ? RGB(0, 0, 255) : RGB(255, 255, 255));
  RECT r = di->rcItem;
  if (di->CtlID == 100) r = RECT{r.left + 20, r.top + 20, r.right - 20, r.bottom - 20};
  FillRect(di->hDC, &r, brush);
  DeleteObject(brush);
  if (di->CtlID != 200 || di->itemID == (UINT)-1) return;
  char text[256] = "";
  SendMessageA(di->hwndItem, LB_GETTEXT, di->itemID, (LPARAM)text);
  TextOutA(di->hDC, di->rcItem.left + 2, di->rcItem.top + 2, text, (int)strlen(text));
}

// OK asks first; Cancel and the close box end the dialog at once.
INT_PTR CALLBACK dialogProc(HWND d, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      if (GetDlgItem(d, 200)) fillUnitDialog(d);
      return TRUE;
    case WM_MEASUREITEM: ((MEASUREITEMSTRUCT*)lParam)->itemHeight = 19; return TRUE;
    case WM_DRAWITEM: drawItem((const DRAWITEMSTRUCT*)lParam); return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == CBN_SELCHANGE)
        acutPrintf(L"dialogapp: %d chose item %d\n", (int)LOWORD(wParam), (int)SendMessageA((HWND)lParam, CB_GETCURSEL, 0, 0));
      if (LOWORD(wParam) == IDOK && MessageBoxA(d, "Take the unit?", "Dialogs", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return TRUE;
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(d, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

// A procedure that ends its dialog on OK only: Cancel and the close box are ignored.
INT_PTR CALLBACK stubbornProc(HWND d, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) EndDialog(d, IDOK);
  return msg == WM_INITDIALOG || msg == WM_COMMAND;
}

void run(const char* name, DLGPROC proc) {
  acutPrintf(L"dialogapp: %hs gives %d\n", name, (int)DialogBoxParamA(mainModule(), name, adsw_acadMainWnd(), proc, 0));
}
// The system's list lines place their columns in the system font's base units.
void unitDialog() {
  const LONG units = GetDialogBaseUnits();
  acutPrintf(L"dialogapp: base units %d x %d\n", (int)LOWORD(units), (int)HIWORD(units));
  run("DLG_VIEW_XDATA", dialogProc);
}
void acceptDialog() { run("DLG_ACCEPT_CHANGES", dialogProc); }
void stubbornDialog() { run("DLG_ACCEPT_CHANGES", stubbornProc); }

void messageBoxes() {
  const UINT kinds[] = {MB_YESNOCANCEL | MB_ICONQUESTION, MB_OKCANCEL | MB_ICONEXCLAMATION, MB_ICONHAND};
  for (UINT kind : kinds) acutPrintf(L"dialogapp: box gives %d\n", MessageBoxA(adsw_acadMainWnd(), "Go on?", "Dialogs", kind));
}

// The folder comes from the prompt, as the system's own file dialog starts in a setting's folder.
void openFile() {
  ACHAR folder[MAX_PATH];
  if (acedGetString(1, L"Folder: ", folder, MAX_PATH) != RTNORM) return;
  std::string initial;
  for (const ACHAR* p = folder; *p; ++p) initial += (char)*p;
  char file[MAX_PATH] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = adsw_acadMainWnd();
  ofn.lpstrFilter = "XML (*.xml)\0*.xml\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = initial.c_str();
  ofn.lpstrTitle = "Dialogs: open a unit";
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN;
  ofn.lpstrDefExt = "xml";
  const BOOL chosen = GetOpenFileNameA(&ofn);
  acutPrintf(L"dialogapp: open gives %d %hs\n", chosen, chosen ? file + ofn.nFileOffset : "");
}

}  // namespace

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  if (msg == AcRx::kInitAppMsg) {
    acedRegCmds->addCommand(L"DIALOGAPP", L"UNITDIALOG", L"UNITDIALOG", ACRX_CMD_MODAL, unitDialog);
    acedRegCmds->addCommand(L"DIALOGAPP", L"ACCEPTDIALOG", L"ACCEPTDIALOG", ACRX_CMD_MODAL, acceptDialog);
    acedRegCmds->addCommand(L"DIALOGAPP", L"STUBBORN", L"STUBBORN", ACRX_CMD_MODAL, stubbornDialog);
    acedRegCmds->addCommand(L"DIALOGAPP", L"BOXES", L"BOXES", ACRX_CMD_MODAL, messageBoxes);
    acedRegCmds->addCommand(L"DIALOGAPP", L"OPENFILE", L"OPENFILE", ACRX_CMD_MODAL, openFile);
    acrxDynamicLinker->registerAppMDIAware(appId);
  } else if (msg == AcRx::kUnloadAppMsg) {
    acedRegCmds->removeGroup(L"DIALOGAPP");
  }
  return AcRx::kRetOK;
}

ACRX_DEFINE_API_VERSION
