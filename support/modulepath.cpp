#include "modulepath.h"

#include "windows.h"

const char* const kMainModuleFileName = "Zephyr_R20_x32.arx";

std::string loadedModuleFolder(const char* moduleFileName) {
  HMODULE module = GetModuleHandleA(moduleFileName);
  if (!module) return std::string();
  char path[MAX_PATH + 1] = {0};
  DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string folder(path, n);
  size_t cut = folder.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : folder.substr(0, cut);
}

std::string mainModuleFolder() { return loadedModuleFolder(kMainModuleFileName); }
