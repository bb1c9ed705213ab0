// The main module's resources: its version record (from the build's version numbers)
// and its dialog templates.
#include "templates.h"
#include "windows.h"
#include "winres.h"

ZWIN_DEFINE_BUILD_VERSION_INFO()

ZWIN_RESOURCE_TABLE_BEGIN
ZWIN_RESOURCE(RT_DIALOG_ID, "DLG_ACCEPT_CHANGES", &kAcceptChangesTemplate, sizeof kAcceptChangesTemplate)
ZWIN_RESOURCE(RT_DIALOG_ID, "DLG_VIEW_XDATA", &kViewXdataTemplate, sizeof kViewXdataTemplate)
ZWIN_RESOURCE_TABLE_END
