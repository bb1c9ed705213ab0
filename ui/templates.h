// The main module's dialog templates, carried in its resources under their names.
#pragma once
#include "windows.h"

// "DLG_ACCEPT_CHANGES": the dialog that waits while the user exports a unit in the browser.
extern const DLGTEMPLATEZ kAcceptChangesTemplate;
// "DLG_VIEW_XDATA": the unit information dialog.
extern const DLGTEMPLATEZ kViewXdataTemplate;
