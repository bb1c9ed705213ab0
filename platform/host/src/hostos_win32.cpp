// The host on Windows (hostos.h): the real registry, dialogs and shell, and the system's
// code-page converters. The machine folder's hives are imported into the registry at the
// start and written back at the end (machinehives.h); its ProgramData/ is the process's
// program-data folder. The programs the session started through the shell are the
// processes descended from the host that were not there when the session began, and
// those the platform names in CADHOST_SHELL_PROGRAMS (see foreignShellPrograms). Dialogs
// answered from the script: dialogdriver_win32.cpp.
#include "hostos.h"

#include <windows.h>
#include <io.h>
#include <tlhelp32.h>

#include <set>
#include <vector>

#include "hostimpl.h"
#include "machinehives.h"

namespace cadhost {
namespace {
struct ProcessId {
  DWORD id;
  FILETIME created;
  bool operator<(const ProcessId& o) const {
    return id != o.id ? id < o.id : CompareFileTime(&created, &o.created) < 0;
  }
};

// Every process started by the host or by a process it started, with its start time (an
// ended process's number may be given again).
std::set<ProcessId> descendants() {
  std::set<ProcessId> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  std::vector<PROCESSENTRY32W> all;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    all.push_back(entry);
  CloseHandle(snapshot);
  std::set<DWORD> family = {GetCurrentProcessId()};
  for (bool grew = true; grew;) {
    grew = false;
    for (const PROCESSENTRY32W& p : all)
      if (family.count(p.th32ParentProcessID) && family.insert(p.th32ProcessID).second) grew = true;
  }
  family.erase(GetCurrentProcessId());
  for (DWORD id : family) {
    ProcessId p{id, {}};
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process) {
      FILETIME exited, kernel, user;
      GetProcessTimes(process, &p.created, &exited, &kernel, &user);
      CloseHandle(process);
    }
    found.insert(p);
  }
  return found;
}

// The processes the platform started for the host itself (a console host) before any command ran.
std::set<ProcessId>& platformProcesses() {
  static std::set<ProcessId> at = descendants();
  return at;
}

// Programs the platform started outside Windows for the shell (Wine's browser launch
// starts a Linux program): each holds a file in the folder CADHOST_SHELL_PROGRAMS names
// while it runs.
int foreignShellPrograms() {
  wchar_t folder[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"CADHOST_SHELL_PROGRAMS", folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((std::wstring(folder) + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return count;
}

int shellProgramsRunning() {
  int running = foreignShellPrograms();
  for (const ProcessId& p : descendants())
    if (!platformProcesses().count(p)) ++running;
  return running;
}
}  // namespace

int osUseMachineFolder(const std::string& folder) {
  platformProcesses();
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

int osWaitForShellPrograms(unsigned timeoutMs) {
  // Wine's browser launch ends as soon as it has started the Linux program, which takes a
  // moment to hold its file: "none" counts only once it has held for kSettleMs.
  const DWORD kSettleMs = 2000;
  const DWORD start = GetTickCount();
  DWORD noneSince = start;
  bool none = false;
  for (;;) {
    const int running = shellProgramsRunning();
    const DWORD now = GetTickCount();
    if (running > 0) none = false;
    else if (!none) none = true, noneSince = now;
    if ((none && now - noneSince >= kSettleMs) || now - start >= timeoutMs) return running;
    Sleep(100);
  }
}

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

void osDecode(OsCodePage& page, std::string_view bytes, std::wstring& out) {
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
