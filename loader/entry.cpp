// The loader's entry point: loads everything on load, frees its libraries on unload.
#include "arxhost.h"
#include "loader.h"

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* appId) {
  switch (message) {
    case AcRx::kInitAppMsg: {
      loadModules();
      AcRxDynamicLinker* linker = acrxDynamicLinker;
      if (linker) {
        linker->unlockApplication(appId);
        linker->registerAppMDIAware(appId);
      }
      break;
    }
    case AcRx::kUnloadAppMsg:
      freeModules();
      break;
    default:
      break;
  }
  return AcRx::kRetOK;
}

ACRX_DEFINE_API_VERSION
