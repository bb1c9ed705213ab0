// Application modules: loading with kInitAppMsg, unloading with kUnloadAppMsg, the
// dynamic linker's per-application state, the host's main window.
#include <memory>
#include "adslib.h"
#include "hostimpl.h"
#include "rxapi.h"
#include "windows.h"

namespace {
typedef AcRx::AppRetCode (*EntryPoint)(AcRx::AppMsgCode, void*);
typedef int (*ApiVersion)();

// One loaded application; its address is the packet (appId) its entry point receives.
struct App {
  std::string path;
  std::wstring name;  // file name
  HMODULE module = nullptr;
  EntryPoint entry = nullptr;
  bool unlocked = false;
  bool mdiAware = false;
};

std::vector<std::unique_ptr<App>>& apps() {
  static std::vector<std::unique_ptr<App>> list;
  return list;
}

App* appOfPacket(void* appId) {
  for (auto& a : apps())
    if (a.get() == appId) return a.get();
  return nullptr;
}

std::string fileNameOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

App* appNamed(const std::wstring& name) {
  std::wstring base = cadhost::fromUtf8(fileNameOf(cadhost::toUtf8(name)));
  for (auto& a : apps())
    if (cadhost::equalsNoCase(a->name, base) || cadhost::equalsNoCase(cadhost::fromUtf8(a->path), name))
      return a.get();
  return nullptr;
}

void say(const std::string& text) { cadhost::printUtf8(text); }

// An exported function as the type it has: through void (*)(), the one function type
// that converts to any other without a warning about the signatures.
template <class Function>
Function exported(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void unloadAt(size_t index) {
  App* a = apps()[index].get();
  a->entry(AcRx::kUnloadAppMsg, a);
  HMODULE module = a->module;
  // Take the record out before freeing the code, so nothing refers to it afterwards.
  for (size_t i = 0; i < apps().size(); ++i)
    if (apps()[i].get() == a) {
      apps().erase(apps().begin() + i);
      break;
    }
  FreeLibrary(module);
}
}  // namespace

namespace cadhost {
std::string executableFolder() {
  char buf[4096];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::string path(buf, n < sizeof buf ? n : 0);
  size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

int loadApplication(const std::string& path, bool) {
  for (auto& a : apps())
    if (a->path == path || cadhost::equalsNoCase(a->name, fromUtf8(fileNameOf(path))) ) {
      say("Application \"" + path + "\" is already loaded.\n");
      return RTERROR;
    }
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    DWORD err = GetLastError();
    if (err == ERROR_BAD_EXE_FORMAT)
      say("Cannot load \"" + path + "\": the file is not an application module.\n");
    else
      say("Cannot load \"" + path + "\": no such file (error " + std::to_string(err) + ").\n");
    return RTERROR;
  }
  auto version = exported<ApiVersion>(module, "acrxGetApiVersion");
  auto entry = exported<EntryPoint>(module, "acrxEntryPoint");
  if (!version || !entry) {
    say("Cannot load \"" + path + "\": not an application module (acrxGetApiVersion or acrxEntryPoint missing).\n");
    FreeLibrary(module);
    return RTERROR;
  }
  if (version() != ACRX_API_VERSION) {
    say("Cannot load \"" + path + "\": built for interface version " + std::to_string(version()) +
        ", this host has " + std::to_string(ACRX_API_VERSION) + ".\n");
    FreeLibrary(module);
    return RTERROR;
  }
  auto app = std::make_unique<App>();
  app->path = path;
  app->name = fromUtf8(fileNameOf(path));
  app->module = module;
  app->entry = entry;
  App* packet = app.get();
  apps().push_back(std::move(app));
  if (entry(AcRx::kInitAppMsg, packet) != AcRx::kRetOK) {
    say("Application \"" + path + "\" refused to load.\n");
    for (size_t i = 0; i < apps().size(); ++i)
      if (apps()[i].get() == packet) apps().erase(apps().begin() + i);
    FreeLibrary(module);
    return RTERROR;
  }
  return RTNORM;
}

int unloadApplication(const std::wstring& name, bool force) {
  App* a = appNamed(name);
  if (!a) {
    say("Application \"" + toUtf8(name) + "\" is not loaded.\n");
    return RTERROR;
  }
  if (!a->unlocked && !force) {
    say("Application \"" + toUtf8(name) + "\" is locked and cannot be unloaded.\n");
    return RTERROR;
  }
  for (size_t i = 0; i < apps().size(); ++i)
    if (apps()[i].get() == a) unloadAt(i);
  return RTNORM;
}

// The host closing: every application, the last loaded first.
void unloadAllApplications() {
  while (!apps().empty()) unloadAt(apps().size() - 1);
}

void listApplications() {
  for (auto& a : apps())
    say(toUtf8(a->name) + "  " + a->path + (a->unlocked ? "" : "  (locked)") + (a->mdiAware ? "  MDI-aware" : "") + "\n");
}
}  // namespace cadhost

bool AcRxDynamicLinker::unlockApplication(void* appId) const {
  App* a = appOfPacket(appId);
  if (a) a->unlocked = true;
  return a != nullptr;
}
bool AcRxDynamicLinker::lockApplication(void* appId) const {
  App* a = appOfPacket(appId);
  if (a) a->unlocked = false;
  return a != nullptr;
}
bool AcRxDynamicLinker::isApplicationLocked(const ACHAR* appName) const {
  App* a = appName ? appNamed(appName) : nullptr;
  return a && !a->unlocked;
}
bool AcRxDynamicLinker::registerAppMDIAware(void* appId) const {
  App* a = appOfPacket(appId);
  if (a) a->mdiAware = true;
  return a != nullptr;
}
bool AcRxDynamicLinker::registerAppNotMDIAware(void* appId) const {
  App* a = appOfPacket(appId);
  if (a) a->mdiAware = false;
  return a != nullptr;
}

int acedArxLoad(const ACHAR* path) {
  if (!path || !*path) return RTERROR;
  return cadhost::loadApplication(cadhost::toUtf8(path), true);
}

int acedArxUnload(const ACHAR* appName) {
  if (!appName) return RTERROR;
  return cadhost::unloadApplication(appName, false);
}

HWND adsw_acadMainWnd() {
  static HWND main = nullptr;
  if (!main || !IsWindow(main))
    main = CreateWindowExA(0, "AcadMainWnd", "cadhost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1024, 768,
                           nullptr, nullptr, nullptr, nullptr);
  return main;
}
