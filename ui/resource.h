// Control ids of the main module's dialog templates (Zephyr_R20_x32.rc), shared by the
// templates and the code that drives them. Plain definitions: the resource compiler
// reads this file too.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// "DLG_ACCEPT_CHANGES": Import is IDOK, Close is IDCANCEL.

// "DLG_VIEW_XDATA".
#define IDC_PICTURE 100           // the unit's preview, painted on WM_PAINT
#define IDC_INFORMATION 200       // owner-drawn list of the unit's data
#define IDC_FIRST_CONNECTION 201  // 201 to 208: one system combo box per connection point
#define IDC_LAST_CONNECTION 208
#define IDC_UNIT_SYSTEM 210
#define IDC_DUCT_SERIE 211
#define IDC_CONNECTIONS_HEADING 310
#define IDC_UNIT_SYSTEM_LABEL 311
#define IDC_DUCT_SERIE_LABEL 312
#define IDC_LABEL_OFFSET 100      // a connection's label is its combo box id + 100
#define IDC_FRAME 456
