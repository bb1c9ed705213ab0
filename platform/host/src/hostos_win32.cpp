// The host on Windows (hostos.h): the real registry, dialogs and shell, and the system's
// code-page converters. The machine folder's hives are imported into the registry at the
// start and written back at the end (machinehives.h); its ProgramData/ is the process's
// program-data folder. Dialogs answered from the script: dialogdriver_win32.cpp.
#include "hostos.h"

#include <windows.h>
#include <io.h>

#include "hostimpl.h"
#include "machinehives.h"

namespace cadhost {
int osUseMachineFolder(const std::string& folder) {
  const std::wstring programData = fromUtf8(folder) + L"\\ProgramData";
  // Both the process's environment (for programs it starts) and the C library's copy (getenv).
  if (!SetEnvironmentVariableW(L"PROGRAMDATA", programData.c_str()) ||
      _wputenv((L"PROGRAMDATA=" + programData).c_str()) != 0)
    return -1;
  return importMachineHives(folder);
}

int osMakeFolders(const std::string& path) {
  const std::wstring w = fromUtf8(path);
  size_t pos = 0;
  while (pos != std::wstring::npos) {
    pos = w.find_first_of(L"\\/", pos + 1);
    const std::wstring folder = w.substr(0, pos);
    if (folder.empty() || (folder.size() == 2 && folder[1] == L':')) continue;  // a drive
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return -1;
  }
  return 0;
}

bool osPathExists(const std::string& path) {
  return GetFileAttributesW(fromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool osInputIsTerminal() { return _isatty(0) != 0; }

int osWaitForShellPrograms(unsigned) { return -1; }

void osShutdown() { exportMachineHives(); }

struct OsCodePage {
  UINT number = 0;
};

std::shared_ptr<OsCodePage> osOpenCodePage(int number) {
  CPINFO info;
  if (number <= 0 || !GetCPInfo((UINT)number, &info)) return nullptr;
  auto page = std::make_shared<OsCodePage>();
  page->number = (UINT)number;
  return page;
}

void osDecode(OsCodePage& page, const std::string& bytes, std::wstring& out) {
  for (size_t i = 0; i < bytes.size();) {
    // One character at a time: a lead byte takes its trail byte along.
    int length = IsDBCSLeadByteEx(page.number, (BYTE)bytes[i]) && i + 1 < bytes.size() ? 2 : 1;
    wchar_t chars[2];
    int n = MultiByteToWideChar(page.number, MB_ERR_INVALID_CHARS, bytes.data() + i, length, chars, 2);
    if (n > 0) {
      out.append(chars, (size_t)n);
      i += (size_t)length;
    } else {
      out += (wchar_t)(unsigned char)bytes[i];
      ++i;
    }
  }
}

bool osEncode(OsCodePage& page, wchar_t c, std::string& out) {
  char buf[8];
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(page.number, WC_NO_BEST_FIT_CHARS, &c, 1, buf, sizeof buf, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  out.append(buf, (size_t)n);
  return true;
}

}  // namespace cadhost
