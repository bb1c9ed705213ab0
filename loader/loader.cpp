#include "loader.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "arxhost.h"
#include "text.h"

namespace {

const char* const kLoaderFileName = "Zephyr_Load_R20_x32.arx";
const char* const kMenuFileName = "ZephyrDC.cuix";
const char* const kMenuFolder = "Ventholm\\ZephyrDC Ductora plugin";
const int kFolderCapacity = 800;

LoaderModule gModules[] = {
    {"tekcore.dll", nullptr},
    {"tekshape.dll", nullptr},
    {"tekpaint.dll", nullptr},
    {"teksolid.dll", nullptr},
    {"Zephyr_R20_x32.arx", nullptr},
};
const int kModuleCount = sizeof gModules / sizeof gModules[0];

bool loadMenu(const std::string& path) { return acedLoadPartialMenu(widen(path).c_str()); }

// The menu from the machine-wide program-data folder, else from beside the loader.
void addMenu(const char* folder) {
  const char* programData = std::getenv("PROGRAMDATA");
  const std::string machineWide =
      std::string(programData ? programData : "") + "\\" + kMenuFolder + "\\" + kMenuFileName;
  if (loadMenu(machineWide)) return;
  if (loadMenu(std::string(folder) + "\\" + kMenuFileName)) return;
  printMessage("Failed to load %s", kMenuFileName);
}

}  // namespace

LoaderModule* loaderModules() { return gModules; }
int loaderModuleCount() { return kModuleCount; }

int moduleFolder(const char* moduleFileName, char* folder, int capacity) {
  if (!folder || capacity < 1) return -1;
  std::memset(folder, 0, static_cast<size_t>(capacity));
  HMODULE module = GetModuleHandleA(moduleFileName);
  if (!module) {
    printMessage("Error: Cannot find module handle: %s\n", moduleFileName);
    return -1;
  }
  if (GetModuleFileNameA(module, folder, static_cast<DWORD>(capacity)) == 0) {
    printMessage("Error: Cannot get modulename: %s\n", moduleFileName);
    printMessage("Error: Cannot find module handle: %s\n", moduleFileName);
    return -1;
  }
  folder[capacity - 1] = '\0';
  // Clear back to, and including, the last separator.
  for (int i = static_cast<int>(std::strlen(folder)) - 1; i >= 0; --i) {
    const char c = folder[i];
    folder[i] = '\0';
    if (c == '\\' || c == '/') break;
  }
  return 0;
}

namespace {

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// An application module by its own file name: a folder named like "x.arx.d" says nothing.
bool isApplicationModule(const char* fileName) {
  const std::string name = upperCase(fileName);
  const std::string suffix = ".ARX";
  return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

int loadModule(LoaderModule& entry, const char* folder) {
  const std::string path = upperCase(std::string(folder) + "\\" + entry.fileName);

  if (isApplicationModule(entry.fileName)) {
    if (acedArxLoad(widen(path).c_str()) < 1) {
      printMessage("Error: %d - cannot load arx-module: %s\n", static_cast<int>(GetLastError()),
                   path.c_str());
      return -2;
    }
    return 0;
  }
  entry.handle = LoadLibraryA(path.c_str());
  if (!entry.handle) {
    printMessage("Error: %d - cannot load dll-module <%s>\n", static_cast<int>(GetLastError()),
                 path.c_str());
    return -1;
  }
  return 0;
}

void freeModules() {
  for (LoaderModule& entry : gModules) {
    if (entry.handle && !isApplicationModule(entry.fileName)) {
      FreeLibrary(entry.handle);
      entry.handle = nullptr;
    }
  }
}

int loadModules() {
  char folder[kFolderCapacity];
  moduleFolder(kLoaderFileName, folder, kFolderCapacity);
  addMenu(folder);
  for (LoaderModule& entry : gModules) {
    printMessage("module: %s\n", entry.fileName);
    if (loadModule(entry, folder) != 0) {
      printMessage("Errors in modules - Application not loaded\n");
      freeModules();
      return -1;
    }
  }
  printMessage("\n%s succesfully loaded.\n", "Zephyr");
  return 0;
}
