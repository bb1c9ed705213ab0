// How the hosting program (cadhost, or a test) plugs into the Windows stand-in:
// where the machine folder is, where user answers come from and where text goes.
// Not part of Win32: only the host and tests call these.
#pragma once
#include <functional>
#include <string>

struct WinHostIo {
  // Asks the user for one answer line after showing prompt; false at end of input.
  // In script mode the host echoes the answer so a transcript reads like a session.
  std::function<bool(const std::string& prompt, std::string& answer)> readLine;
  // Prints text as it stands (the host's command-line window).
  std::function<void(const std::string& text)> print;
};

// Installs the host's input and output; dialogs, message boxes and the open-file
// dialog take their answers from readLine. Without a host, reads fail (end of input).
void winSetHostIo(const WinHostIo& io);
const WinHostIo& winHostIo();

// The machine folder: user.reg (HKEY_CURRENT_USER), system.reg (HKEY_LOCAL_MACHINE and
// HKEY_CLASSES_ROOT) and ProgramData/. Set once at start, before the registry is used.
// Setting it (again) makes the registry read the hives anew on next use; while it is
// empty the registry lives in memory only.
void winSetMachineFolder(const std::string& folder);
const std::string& winMachineFolder();

// Waits up to timeoutMs until every program this process started through ShellExecuteExA
// has ended; returns how many still run (0: all have ended). Ended ones are forgotten.
int winWaitForShellPrograms(unsigned timeoutMs);

// Why the last LoadLibraryA of this thread failed, in the system loader's words.
std::string winLastLoadError();
