// Shared inside the non-window half of the Windows stand-in: path resolution, letter
// case folding, error mapping and reporting. Only the stand-in's own files include it.
#pragma once
#include "standin.h"
#include "windows.h"
#include <cstdint>
#include <string>

namespace zwin {
using standin::appendUtf8;
using standin::equalNoCase;
using standin::foldCase;

// Sets GetLastError() from a C library errno value.
void setLastErrorFromErrno(int err);
DWORD errorFromErrno(int err);

// Turns a path as the system writes it ("\\" or "/", any letter case) into a path of the
// file system: "\\" becomes "/", and each component is taken as written when it exists,
// else as the one entry of its folder that matches without regard to letter case. A
// component with no (or no unique) match stays as written, so a file about to be
// created keeps its given name. A relative path stays relative to the current folder.
std::string resolvePath(const char* path);
// The same, made absolute against the current folder.
std::string resolveAbsolutePath(const char* path);

// The running program's file.
std::string programPath();

// Text for the person at the host: the host's print when installed, else stderr.
void reportToHost(const std::string& text);

// Forgets the loaded hives, so that the next registry call loads them from the
// (new) machine folder.
void resetRegistryHives();

}  // namespace zwin

namespace zwin {

// Kernel objects behind HANDLE: open files and started processes (CloseHandle frees both).
struct KernelObject {
  enum Kind { File, Process } kind = File;
  int fd = -1;
  int pid = 0;
};
HANDLE newKernelHandle(const KernelObject& object);
bool findKernelObject(HANDLE handle, KernelObject& object);
bool removeKernelObject(HANDLE handle, KernelObject& object);

// Copies text into a caller's buffer with the Win32 counting: the length without the
// terminating zero when it fits, else the size needed including it.
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size);

}  // namespace zwin

namespace zwin {

// A symbol defined by the module itself (not one of its dependencies); null module: the
// program. Null when the handle is not a loaded module or the symbol is not its own. With
// size, the symbol's size too (the bytes of a data symbol).
void* moduleSymbol(HMODULE module, const char* name, size_t* size = nullptr);

// The resource whose data starts at data (a pointer LockResource gave): its size, or 0 for
// memory that is no module's resource.
size_t resourceSizeAt(const void* data);

}  // namespace zwin
