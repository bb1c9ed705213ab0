// A module with a version record, a resource table and one function, loaded by the tests.
#include "windows.h"

ZWIN_DEFINE_VERSION_INFO(3, 1, 4, 15)

static const char kDialogData[] = "dialog template bytes";
static const int kNumbered[] = {7, 8, 9};

ZWIN_RESOURCE_TABLE_BEGIN
  ZWIN_RESOURCE(RT_DIALOG_ID, "DLG_TEST", kDialogData, sizeof kDialogData)
  ZWIN_RESOURCE_ID(RT_RCDATA_ID, 101, kNumbered, sizeof kNumbered)
ZWIN_RESOURCE_TABLE_END

extern "C" __attribute__((visibility("default"))) int zwinTestAnswer() { return 42; }
