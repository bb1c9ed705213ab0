// Application modules: entry-point messages, the system registry with its command stack,
// service dictionary and dynamic linker, loading applications and menus.
#pragma once
#include "acadstrc.h"
#include "adesk.h"
#include "dbmain.h"
#include "windows.h"

namespace AcRx {
enum AppMsgCode {
  kNullMsg = 0,
  kInitAppMsg = 1,
  kUnloadAppMsg = 2,
  kLoadDwgMsg = 3,
  kUnloadDwgMsg = 4,
  kInvkSubrMsg = 5,
  kCfgMsg = 6,
  kEndMsg = 7,
  kQuitMsg = 8,
  kSaveMsg = 9,
  kDependencyMsg = 10,
  kNoDependencyMsg = 11,
  kOleUnloadAppMsg = 12,
  kPreQuitMsg = 13,
};
enum AppRetCode { kRetOK = 0, kRetError = 3 };
}

// Every application module exports these two (extern "C"):
//   AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId);
//   int acrxGetApiVersion();   -- define it with ACRX_DEFINE_API_VERSION
#define ACRX_API_VERSION 20
#define ACRX_DEFINE_API_VERSION \
  extern "C" ACHOST_EXPORT int acrxGetApiVersion() { return ACRX_API_VERSION; }

#define ACRX_COMMAND_DOCK L"ACAD_REGISTERED_COMMANDS"
#define ACRX_SERVICE_DICTIONARY L"ServiceDictionary"
#define ACRX_DYNAMIC_LINKER L"DynamicLinker"

class ACHOST_API AcRxDictionary : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxDictionary);
  ~AcRxDictionary() override;
  AcRxObject* at(const ACHAR* key) const;
  // Stores the object under the key and returns the one it replaced (or null).
  AcRxObject* atPut(const ACHAR* key, AcRxObject* object);
  // Takes the entry out and returns its object (or null); the caller owns it then.
  AcRxObject* remove(const ACHAR* key);
  bool has(const ACHAR* key) const;

  struct Impl;
 private:
  Impl* m_impl = nullptr;
};
ACHOST_API AcRxDictionary* acrxSysRegistry();

// A named service; registering it puts a service object into the service dictionary.
class ACHOST_API AcRxService : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxService);
};
ACHOST_API AcRxObject* acrxRegisterService(const ACHAR* serviceName);
ACHOST_API bool acrxServiceIsRegistered(const ACHAR* serviceName);

class ACHOST_API AcRxDynamicLinker : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxDynamicLinker);
  // appId is the packet the entry point received with kInitAppMsg.
  bool unlockApplication(void* appId) const;
  bool lockApplication(void* appId) const;
  bool isApplicationLocked(const ACHAR* appName) const;
  bool registerAppMDIAware(void* appId) const;
  bool registerAppNotMDIAware(void* appId) const;
};
#define acrxDynamicLinker AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER))

typedef void (*AcRxFunctionPtr)();
class AcEdUIContext;
class AcEdCommand;

#define ACRX_CMD_MODAL 0x00000000
#define ACRX_CMD_TRANSPARENT 0x00000001

class ACHOST_API AcEdCommandStack : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEdCommandStack);
  // eDuplicateKey when the group already has a command of that global name.
  Acad::ErrorStatus addCommand(const ACHAR* groupName, const ACHAR* globalName,
                               const ACHAR* localName, Adesk::Int32 commandFlags,
                               AcRxFunctionPtr function, AcEdUIContext* uiContext = nullptr,
                               int fcode = -1, HINSTANCE resourceHandle = nullptr,
                               AcEdCommand** commandOut = nullptr);
  Acad::ErrorStatus removeCmd(const ACHAR* groupName, const ACHAR* globalName);
  Acad::ErrorStatus removeGroup(const ACHAR* groupName);
  // The function of a command by name (letter case ignored), or null.
  AcRxFunctionPtr lookupCmd(const ACHAR* name) const;
  bool hasGroup(const ACHAR* groupName) const;
};
#define acedRegCmds AcEdCommandStack::cast(acrxSysRegistry()->at(ACRX_COMMAND_DOCK))

// Loads an application module by path (its acrxEntryPoint receives kInitAppMsg):
// RTNORM, or RTERROR when the file is missing, not a module or refuses to load.
ACHOST_API int acedArxLoad(const ACHAR* path);
// Unloads an application that unlocked itself (kUnloadAppMsg); RTNORM or RTERROR.
ACHOST_API int acedArxUnload(const ACHAR* appName);
// Adds a partial menu file; false when the file is missing or does not parse.
ACHOST_API bool acedLoadPartialMenu(const ACHAR* menuFile);
// The host's main window, owner of the system's dialogs and message boxes.
ACHOST_API HWND adsw_acadMainWnd();
