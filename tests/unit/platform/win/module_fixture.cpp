// A module with the test dialog among its resources and a version record, as the main
// module carries its own.
#include "dialog_fixture.h"
#include "winres.h"

ZWIN_RESOURCE_TABLE_BEGIN
ZWIN_RESOURCE(RT_DIALOG_ID, "DLG_TEST", &kTestDialog, sizeof kTestDialog)
ZWIN_RESOURCE_ID(RT_DIALOG_ID, 101, &kTestDialog, sizeof kTestDialog)
ZWIN_RESOURCE_TABLE_END

// The version numbers come as one macro from the build; expand them before the call.
#define DEFINE_VERSION(...) ZWIN_DEFINE_VERSION_INFO(__VA_ARGS__)
DEFINE_VERSION(TEST_MODULE_VERSION)
