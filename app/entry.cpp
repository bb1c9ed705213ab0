// The main module's entry point: registers the commands and the service on load,
// removes them and the fetched model files on unload.
#include <string>

#include "arxhost.h"
#include "commands.h"
#include "modeldb.h"
#include "modulepath.h"
#include "text.h"
#include "windows.h"

namespace {

const char* const kCommandGroup = "ZEPH_CMDS";
const char* const kServiceName = "ZEPH";

struct CommandEntry {
  const char* name;
  AcRxFunctionPtr function;
};
const CommandEntry kCommands[] = {
    {"Zephyr", Zephyr},
    {"ZephyrFile", ZephyrFile},
    {"ZephyrView", ZephyrView},
};

void registerCommands() {
  for (const CommandEntry& command : kCommands) {
    AcEdCommandStack* stack = acedRegCmds;
    if (!stack) continue;
    const std::wstring name = widen(command.name);
    stack->addCommand(widen(kCommandGroup).c_str(), name.c_str(), name.c_str(), ACRX_CMD_MODAL,
                      command.function, nullptr, -1, nullptr, nullptr);
  }
}

// The module's own folder becomes the current directory, so its local files are found.
void enterModuleFolder() {
  const std::string folder = loadedModuleFolder(kMainModuleFileName);
  if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());
}

AcRx::AppRetCode onLoad(void* appId) {
  registerCommands();
  acrxRegisterService(widen(kServiceName).c_str());
  enterModuleFolder();
  AcRxDynamicLinker* linker = acrxDynamicLinker;
  if (linker) {
    linker->unlockApplication(appId);
    linker->registerAppMDIAware(appId);
  }
  return AcRx::kRetOK;
}

AcRx::AppRetCode onUnload() {
  deleteModelFiles();
  if (AcEdCommandStack* stack = acedRegCmds) stack->removeGroup(widen(kCommandGroup).c_str());
  AcRxDictionary* services =
      AcRxDictionary::cast(acrxSysRegistry()->at(ACRX_SERVICE_DICTIONARY));
  if (services) {
    AcRxObject* service = services->remove(widen(kServiceName).c_str());
    delete service;
  }
  return AcRx::kRetOK;
}

}  // namespace

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* appId) {
  switch (message) {
    case AcRx::kInitAppMsg: return onLoad(appId);
    case AcRx::kUnloadAppMsg: return onUnload();
    default: return AcRx::kRetOK;
  }
}

ACRX_DEFINE_API_VERSION
