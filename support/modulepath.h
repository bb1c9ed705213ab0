// Where the system's modules stand on disk.
#pragma once
#include <string>

// The main module's file name, used to find its own handle.
extern const char* const kMainModuleFileName;  // "Zephyr_R20_x32.arx"

// The folder of a loaded module's file, without the trailing separator; empty when the
// module is not loaded or its path cannot be had.
std::string loadedModuleFolder(const char* moduleFileName);

// The folder of the main module (where its local copies and override files stand).
std::string mainModuleFolder();
