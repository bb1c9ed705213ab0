// What the host needs of its operating system beyond the Win32 calls it makes everywhere:
// the session's folders and input, the dialogs answered from the script, the programs
// started through the shell, and code pages. One implementation per platform, chosen by
// the build: hostos_posix.cpp (with the Windows stand-in) and hostos_win32.cpp.
#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace cadhost {

// The session's machine folder (user.reg, system.reg and ProgramData/): the registry and
// the program-data folder of everything the host runs. 0, or -1 when this platform cannot
// keep them there.
int osUseMachineFolder(const std::string& folder);
// Makes the folder and the folders above it (UTF-8 path); 0 or -1.
int osMakeFolders(const std::string& path);
// True when a file or folder stands at the path.
bool osPathExists(const std::string& path);
// True when standard input is a terminal (a person types the answers).
bool osInputIsTerminal();

// Hands the host's input and output (readAnswer, printUtf8) to the platform's modal
// dialogs, message boxes and open-file dialog, so a script answers them. 0, or -1 when
// this platform's dialogs cannot be answered from the host's input.
int osInstallDialogDriver();
// Waits up to timeoutMs until every program the session started through the shell has
// ended: how many still run (0: all have ended), or -1 when this platform cannot tell.
int osWaitForShellPrograms(unsigned timeoutMs);
// Releases what the platform's windows and pictures keep, at the end of the session.
void osShutdown();

// A code page of the platform's converters, named by its Windows number (1250, 932, ...).
struct OsCodePage;
// The converter of the code page, or null when the platform has none for it.
std::shared_ptr<OsCodePage> osOpenCodePage(int number);
// Appends the characters of bytes to out; a byte the code page does not define (or a cut
// double-byte character) becomes the character of the same number.
void osDecode(OsCodePage& page, std::string_view bytes, std::wstring& out);
// Appends the code page's bytes of c to out; false when the code page has no such character.
bool osEncode(OsCodePage& page, wchar_t c, std::string& out);

}  // namespace cadhost
