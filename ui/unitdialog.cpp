// The unit information dialog itself: its procedure, the initialisation from the record,
// the preview picture and the checks on OK.
#include "unitdialog.h"

#include "choices.h"
#include "devicedraw.h"
#include "dialogtables.h"
#include "infolist.h"
#include "modulepath.h"
#include "rxapi.h"
#include "window.h"

namespace {

// One such dialog at a time: its record from WM_INITDIALOG on, and whether the picture is
// being painted (device_draw may paint for a while; a second WM_PAINT waits its turn).
UnitRecord* g_dialogUnit = nullptr;
bool g_paintingPicture = false;

void initialise(HWND dialog, UnitRecord* unit) {
  if (!dialog || !unit || unit->parts.empty()) return;
  const std::string caption = productTitle() + " - Unit's information";
  SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption.c_str()));

  fillSystemCombo(dialog, IDC_UNIT_SYSTEM, unit->systemId, unit->systems, -1);
  const ConnectionMap& connections = unit->parts[0].connections;
  for (const MainConnection& main : kMainConnections) {
    auto found = connections.find(main.type);
    if (found == connections.end()) continue;
    const int id = found->second.modelConnectionId;
    if (!hasConnectionControl(id)) continue;  // a connection point the dialog has no place for
    HWND label = GetDlgItem(dialog, id + IDC_LABEL_OFFSET);
    ShowWindow(label, SW_SHOW);
    SetWindowTextA(label, main.label);
    fillSystemCombo(dialog, id, found->second.systemId, unit->systems, main.systemType);
  }

  if (unit->parts.size() > 1) {
    fillDuctSerieCombo(dialog, IDC_DUCT_SERIE, unit->componentDuctSerieId, unit->ductSeries);
  } else {
    ShowWindow(GetDlgItem(dialog, IDC_DUCT_SERIE), SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_DUCT_SERIE_LABEL), SW_HIDE);
  }
  fillInformationList(dialog, *unit);
}

void paintPicture(HWND dialog) {
  if (!g_dialogUnit || g_paintingPicture || g_dialogUnit->parts.empty()) return;
  g_paintingPicture = true;
  PAINTSTRUCT paint;
  BeginPaint(dialog, &paint);
  device_draw(GetDlgItem(dialog, IDC_PICTURE), nullptr, nullptr, nullptr, g_dialogUnit->productDb,
              g_dialogUnit->parts[0].name.c_str(), "OTP", nullptr, nullptr, nullptr, 0, 0, 2, false, 7,
              1.0, 0.0, 0.0);
  EndPaint(dialog, &paint);
  g_paintingPicture = false;
}

// The choices go into the record first, so they stay there when a check fails and the
// user then cancels.
void confirm(HWND dialog) {
  if (!g_dialogUnit) return;
  readDialogChoices(dialog, g_dialogUnit);
  if (const char* missing = missingChoice(*g_dialogUnit)) {
    MessageBoxA(adsw_acadMainWnd(), missing, productTitle().c_str(), MB_ICONHAND);
    return;
  }
  EndDialog(dialog, IDOK);
}

void measureItem(MEASUREITEMSTRUCT* item) {
  if (!item) return;
  const LONG units = GetDialogBaseUnits();
  item->itemHeight = static_cast<UINT>(HIWORD(units) * 6 / 5);
  item->itemWidth = static_cast<UINT>(LOWORD(units) * 40 / 8);
}

INT_PTR CALLBACK unitDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      centerOnParent(dialog);
      g_dialogUnit = reinterpret_cast<UnitRecord*>(lParam);
      initialise(dialog, g_dialogUnit);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) confirm(dialog);
      else if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_CLOSE:
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return TRUE;
    case WM_MEASUREITEM:
      measureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item && item->CtlID == IDC_INFORMATION) drawInformationItem(*item);
      return TRUE;
    }
    case WM_PAINT:
      paintPicture(dialog);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int runUnitDialog(UnitRecord& unit, HWND parent) {
  HINSTANCE instance = GetModuleHandleA(kMainModuleFileName);
  INT_PTR result = DialogBoxParamA(instance, "DLG_VIEW_XDATA", parent ? parent : adsw_acadMainWnd(),
                                   unitDialogProc, reinterpret_cast<LPARAM>(&unit));
  return result == IDOK ? 0 : -1;
}
