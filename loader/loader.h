// The loader module: adds the menu and loads the in-house libraries and the main module
// from its own folder, in a fixed order.
#pragma once
#include "windows.h"

struct LoaderModule {
  char fileName[48];
  HMODULE handle;  // set for a loaded library; always null for an application module
};

// The folder of a loaded module without its trailing separator: 0, or -1.
int moduleFolder(const char* moduleFileName, char* folder, int capacity);
// Loads one entry from the folder: 0, -1 (library) or -2 (application module).
int loadModule(LoaderModule& entry, const char* folder);
// The whole sequence: menu, libraries, main module. 0, or -1.
int loadModules();
// Frees the libraries that loadModules loaded.
void freeModules();

// The module table in load order (five entries).
LoaderModule* loaderModules();
int loaderModuleCount();
