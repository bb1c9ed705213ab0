#include "templates.h"

namespace {
const DLGITEMTEMPLATEZ kItems[] = {
    {"BUTTON", "Import", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 7, 69, 50, 14},
    {"BUTTON", "Close", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 233, 69, 50, 14},
    {"STATIC",
     "If you haven't selected a unit from Zephyr yet,\n please switch to the browser and export the unit you "
     "want to insert into the drawing.",
     IDC_STATIC, SS_CENTER | WS_VISIBLE, 7, 16, 276, 20},
    {"STATIC", "Click Import to insert the unit exported from Zephyr\nClick Close to close the connection to Zephyr",
     IDC_STATIC, SS_CENTER | WS_VISIBLE, 0, 42, 276, 20},
};
}  // namespace

const DLGTEMPLATEZ kAcceptChangesTemplate = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, "Zephyr", "MS Sans Serif", 8,
    0, 0, 290, 90, kItems, static_cast<int>(sizeof kItems / sizeof kItems[0])};
