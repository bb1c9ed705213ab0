// A test application for the host's module handling: prints its messages, registers a
// command, one that opens the browser and one that writes a setting to the registry, and
// (module A only) loads module B as the system's loader loads its main module.
#include "arxhost.h"
#include "windows.h"

#include <string>

#ifndef HOSTAPP_NAME
#define HOSTAPP_NAME "A"
#endif
#define WIDE2(x) L##x
#define WIDE(x) WIDE2(x)

static void command() { acutPrintf(L"hostapp %s: command runs\n", WIDE(HOSTAPP_NAME)); }

// Opens an address in the browser, as the selection command does.
static void openBrowser() {
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.lpVerb = "open";
  info.lpFile = "http://127.0.0.1:9/selector/";
  acutPrintf(L"hostapp %s: browser %s\n", WIDE(HOSTAPP_NAME), ShellExecuteExA(&info) ? L"started" : L"failed");
}

// Writes the text asked for as the value "Setting" of HKEY_CURRENT_USER\Software\HostApp.
static void writeSetting() {
  ACHAR text[256];
  if (acedGetString(1, L"Setting: ", text, 256) != RTNORM) return;
  std::string value;
  for (const ACHAR* p = text; *p; ++p) value += (char)*p;
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\HostApp", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExA(key, "Setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), (DWORD)value.size() + 1);
    RegCloseKey(key);
  }
  acutPrintf(L"hostapp %s: setting %s\n", WIDE(HOSTAPP_NAME), rc == ERROR_SUCCESS ? L"written" : L"not written");
}

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  const ACHAR* name = WIDE(HOSTAPP_NAME);
  if (msg == AcRx::kInitAppMsg) {
    acutPrintf(L"hostapp %s: init\n", name);
    acedRegCmds->addCommand(L"HOSTAPP_CMDS_" WIDE(HOSTAPP_NAME), L"HostApp" WIDE(HOSTAPP_NAME),
                            L"HostApp" WIDE(HOSTAPP_NAME), ACRX_CMD_MODAL, command);
    acedRegCmds->addCommand(L"HOSTAPP_CMDS_" WIDE(HOSTAPP_NAME), L"HostAppBrowse" WIDE(HOSTAPP_NAME),
                            L"HostAppBrowse" WIDE(HOSTAPP_NAME), ACRX_CMD_MODAL, openBrowser);
    acedRegCmds->addCommand(L"HOSTAPP_CMDS_" WIDE(HOSTAPP_NAME), L"HostAppSetting" WIDE(HOSTAPP_NAME),
                            L"HostAppSetting" WIDE(HOSTAPP_NAME), ACRX_CMD_MODAL, writeSetting);
#ifdef HOSTAPP_LOADS
    acutPrintf(L"hostapp %s: loading %s gives %d\n", name, WIDE(HOSTAPP_LOADS), acedArxLoad(WIDE(HOSTAPP_LOADS)));
#endif
#ifdef HOSTAPP_UNLOCK
    acrxDynamicLinker->unlockApplication(appId);
#endif
    acrxDynamicLinker->registerAppMDIAware(appId);
  } else if (msg == AcRx::kUnloadAppMsg) {
    acutPrintf(L"hostapp %s: unload\n", name);
    acedRegCmds->removeGroup(L"HOSTAPP_CMDS_" WIDE(HOSTAPP_NAME));
  }
  return AcRx::kRetOK;
}

ACRX_DEFINE_API_VERSION
