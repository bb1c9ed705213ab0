// How a module carries its resources in the Windows stand-in: as data of its own,
// exported under fixed C names that the stand-in finds in the module.
//
// Named resources (dialog templates, ...): one table per module, in one source file:
//
//   ZWIN_RESOURCE_TABLE_BEGIN
//     ZWIN_RESOURCE(RT_DIALOG_ID, "DLG_VIEW_XDATA", &viewXdataTemplate, sizeof viewXdataTemplate)
//     ZWIN_RESOURCE_ID(RT_DIALOG_ID, 101, &otherTemplate, sizeof otherTemplate)
//   ZWIN_RESOURCE_TABLE_END
//
// FindResourceA(module, "DLG_VIEW_XDATA", RT_DIALOG) then finds the entry (names match in
// any letter case); LoadResource + LockResource give its data pointer.
//
// Version record: one per module, in one source file of the module's own target
// (not a static library, or the linker may drop it):
//
//   ZWIN_DEFINE_VERSION_INFO(1, 2, 0, 5)   // major, minor, build, revision
//   ZWIN_DEFINE_BUILD_VERSION_INFO()       // from ZEPHYR_VERSION_MAJOR/MINOR/BUILD/REVISION
//
// GetFileVersionInfoA reads it from the module's file (the module need not be loaded);
// FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION) finds it too.
#pragma once
#include "winbase_api.h"

#define RT_DIALOG_ID 5
#define RT_STRING_ID 6
#define RT_RCDATA_ID 10
#define RT_VERSION_ID 16
#define RT_DIALOG MAKEINTRESOURCEA(RT_DIALOG_ID)
#define RT_STRING MAKEINTRESOURCEA(RT_STRING_ID)
#define RT_RCDATA MAKEINTRESOURCEA(RT_RCDATA_ID)
#define RT_VERSION MAKEINTRESOURCEA(RT_VERSION_ID)
#define VS_VERSION_INFO 1

// One entry of a module's table. The table ends with an entry of type 0.
struct ZWinResource {
  WORD type;          // RT_*_ID
  WORD id;            // numeric name, or 0 when `name` names the resource
  const char* name;   // name text, or null
  const void* data;
  DWORD size;
};

#define ZWIN_RESOURCE_TABLE_SYMBOL "zwinResources"
#define ZWIN_VERSION_INFO_SYMBOL "zwinVersionInfo"

#define ZWIN_EXPORT_DATA extern "C" __attribute__((visibility("default"), used))

#define ZWIN_RESOURCE_TABLE_BEGIN ZWIN_EXPORT_DATA const ZWinResource zwinResources[] = {
#define ZWIN_RESOURCE(type, name, data, size) {(WORD)(type), 0, (name), (data), (DWORD)(size)},
#define ZWIN_RESOURCE_ID(type, id, data, size) {(WORD)(type), (WORD)(id), nullptr, (data), (DWORD)(size)},
#define ZWIN_RESOURCE_TABLE_END {0, 0, nullptr, nullptr, 0}};

#define ZWIN_DEFINE_VERSION_INFO(major, minor, build, revision)                                              \
  ZWIN_EXPORT_DATA const VS_FIXEDFILEINFO zwinVersionInfo = {                                                \
      VS_FFI_SIGNATURE,                                                                                      \
      VS_FFI_STRUCVERSION,                                                                                   \
      ((DWORD)(major) << 16) | (DWORD)(minor),                                                               \
      ((DWORD)(build) << 16) | (DWORD)(revision),                                                            \
      ((DWORD)(major) << 16) | (DWORD)(minor),                                                               \
      ((DWORD)(build) << 16) | (DWORD)(revision),                                                            \
      VS_FFI_FILEFLAGSMASK,                                                                                  \
      0,                                                                                                     \
      VOS_NT_WINDOWS32,                                                                                      \
      VFT_DLL,                                                                                               \
      0,                                                                                                     \
      0,                                                                                                     \
      0};

#define ZWIN_DEFINE_BUILD_VERSION_INFO()                                                                     \
  ZWIN_DEFINE_VERSION_INFO(ZEPHYR_VERSION_MAJOR, ZEPHYR_VERSION_MINOR, ZEPHYR_VERSION_BUILD,                  \
                           ZEPHYR_VERSION_REVISION)
