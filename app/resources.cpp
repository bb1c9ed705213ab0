// The main module's resources: its version record (from the build's version numbers)
// and its dialog templates.
#include "windows.h"
#include "winres.h"

ZWIN_DEFINE_BUILD_VERSION_INFO()

ZWIN_RESOURCE_TABLE_BEGIN
ZWIN_RESOURCE_TABLE_END
