#include "templates.h"

namespace {
// Combo boxes of the connections stand around the picture, each with its label beside it.
const DWORD kComboStyle = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_DISABLED;
const DWORD kLabelRight = SS_RIGHT;
const DWORD kLabelLeft = SS_LEFT;

const DLGITEMTEMPLATEZ kItems[] = {
    {"BUTTON", "", 456, BS_GROUPBOX | WS_VISIBLE, 3, 3, 534, 231},
    {"STATIC", "Unit's Ductora system", 311, SS_RIGHT | WS_VISIBLE, 8, 15, 137, 8},
    {"COMBOBOX", "", 210, kComboStyle, 152, 13, 109, 30},
    {"STATIC", "Unit's duct serie", 312, SS_RIGHT | WS_VISIBLE, 266, 15, 69, 8},
    {"COMBOBOX", "", 211, CBS_DROPDOWNLIST | WS_DISABLED, 341, 13, 109, 30},
    {"STATIC", "Ductora systems of duct connections", 310, SS_CENTER, 166, 31, 225, 8},
    {"STATIC", "", 100, SS_OWNERDRAW | WS_BORDER | WS_VISIBLE, 193, 68, 153, 129},
    {"COMBOBOX", "", 201, kComboStyle, 71, 154, 109, 30},
    {"COMBOBOX", "", 202, kComboStyle, 71, 99, 109, 30},
    {"COMBOBOX", "", 203, kComboStyle, 152, 45, 109, 30},
    {"COMBOBOX", "", 204, kComboStyle, 284, 45, 109, 30},
    {"COMBOBOX", "", 205, kComboStyle, 360, 99, 109, 30},
    {"COMBOBOX", "", 206, kComboStyle, 360, 154, 109, 30},
    {"COMBOBOX", "", 207, kComboStyle, 284, 209, 109, 30},
    {"COMBOBOX", "", 208, kComboStyle, 147, 209, 109, 30},
    {"STATIC", "Static", 301, kLabelRight, 12, 156, 54, 8},
    {"STATIC", "Static", 302, kLabelRight, 12, 101, 54, 8},
    {"STATIC", "Static", 303, kLabelRight, 92, 47, 54, 8},
    {"STATIC", "Static", 304, kLabelLeft, 399, 47, 54, 8},
    {"STATIC", "Static", 305, kLabelLeft, 476, 101, 54, 8},
    {"STATIC", "Static", 306, kLabelLeft, 476, 156, 54, 8},
    {"STATIC", "Static", 307, kLabelLeft, 399, 211, 54, 8},
    {"STATIC", "Static", 308, kLabelRight, 87, 211, 54, 8},
    {"LISTBOX", "", 200,
     LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL |
         WS_TABSTOP | WS_VISIBLE,
     3, 245, 534, 136},
    {"BUTTON", "OK", IDOK, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 158, 389, 98, 16},
    {"BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 284, 389, 98, 16},
};
}  // namespace

const DLGTEMPLATEZ kViewXdataTemplate = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, "Unit's information", "Microsoft Sans Serif", 8,
    0, 0, 541, 412, kItems, static_cast<int>(sizeof kItems / sizeof kItems[0])};
