// The drawing's lock, file stamps and link targets on Windows (see drawfile.h). The lock is
// LockFileEx on the lock file: Windows releases it when the handle closes, and closes the
// process's handles when it ends however it ends.
#include "drawfile.h"
#include "hostimpl.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace cadhost {
namespace {
const wchar_t kLockSuffix[] = L".lock";
const size_t kNameMax = 255;
const DWORD kHolderBytes = 200;

// NAME.dxf.lock beside the drawing; a name too long for one more suffix is cut.
std::wstring lockFileOf(const std::wstring& drawingPath) {
  size_t cut = drawingPath.find_last_of(L"\\/");
  std::wstring folder = cut == std::wstring::npos ? L"" : drawingPath.substr(0, cut + 1);
  std::wstring name = cut == std::wstring::npos ? drawingPath : drawingPath.substr(cut + 1);
  const size_t room = kNameMax - (sizeof kLockSuffix / sizeof kLockSuffix[0] - 1);
  if (name.size() > room) name.resize(room);
  return folder + name + kLockSuffix;
}

// The holder's line: the process, its user and machine, and since when.
std::string holderLine() {
  const char* user = std::getenv("USERNAME");
  wchar_t machine[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD machineChars = MAX_COMPUTERNAME_LENGTH + 1;
  const std::string host = GetComputerNameW(machine, &machineChars) ? toUtf8(machine) : "?";
  char when[32] = "";
  time_t now = time(nullptr);
  if (const struct tm* local = localtime(&now)) strftime(when, sizeof when, "%Y-%m-%d %H:%M", local);
  return "cadhost process " + std::to_string(GetCurrentProcessId()) + " of " + (user && *user ? user : "?") + " on " +
         host + " since " + when + "\n";
}

// The first line of the lock file, printable characters only. A byte range another session
// has locked cannot be read, so the holder writes its line past the locked byte.
std::string readHolder(HANDLE file) {
  char buf[kHolderBytes];
  DWORD n = 0;
  OVERLAPPED at = {};
  at.Offset = 1;
  std::string line;
  if (ReadFile(file, buf, sizeof buf, &n, &at))
    for (DWORD i = 0; i < n && buf[i] != '\n'; ++i)
      if ((unsigned char)buf[i] >= 0x20 && buf[i] != 0x7F) line += buf[i];
  return line.empty() ? "a session that names no holder" : line;
}

int failed(std::string& why, const std::wstring& file, const std::string& reason) {
  why = "the lock file " + toUtf8(file) + " " + reason;
  return kLockFailed;
}

void removeOnClose(HANDLE file) {
  FILE_DISPOSITION_INFO gone = {TRUE};
  SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
}
}  // namespace

int fileBytesRead(FileBytes& bytes, const std::string& path, size_t maxBytes) {
  HANDLE file = CreateFileW(fromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kReadNotPlain;
  LARGE_INTEGER length;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length) || length.QuadPart < 0) {
    CloseHandle(file);
    return kReadNotPlain;
  }
  if ((unsigned long long)length.QuadPart > maxBytes) {
    CloseHandle(file);
    return kReadTooLarge;
  }
  const size_t want = (size_t)length.QuadPart;
  FileBytes got;
  if (want > 0) {
    got.data = static_cast<char*>(VirtualAlloc(nullptr, want, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!got.data) {
      CloseHandle(file);
      return kReadNoMemory;
    }
    got.room = want;
  }
  while (got.size < want) {
    const DWORD ask = (DWORD)std::min<size_t>(want - got.size, 1u << 30);
    DWORD read = 0;
    if (!ReadFile(file, got.data + got.size, ask, &read, nullptr)) {
      CloseHandle(file);
      fileBytesFree(got);
      return kReadFailed;
    }
    if (read == 0) break;
    got.size += read;
  }
  CloseHandle(file);
  fileBytesFree(bytes);
  bytes = got;
  return kReadDone;
}

char* memoryTake(size_t bytes) {
  return static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void memoryGive(char* memory, size_t) {
  if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

void fileBytesFree(FileBytes& bytes) {
  if (bytes.data) VirtualFree(bytes.data, 0, MEM_RELEASE);
  bytes = FileBytes{};
}

int drawingLockTake(DrawingLock& lock, const std::string& drawingPath, std::string& holder, std::string& why) {
  drawingLockRelease(lock);
  const std::wstring file = lockFileOf(fromUtf8(drawingPath));
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return failed(why, file, "cannot be made: error " + std::to_string(GetLastError()));
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(h);
    return failed(why, file, "is no plain file");
  }
  // The first byte is the lock; the holder's line follows it, where others can read it.
  OVERLAPPED first = {};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first)) {
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
      holder = readHolder(h);
      CloseHandle(h);
      return kLockHeld;
    }
    CloseHandle(h);
    return failed(why, file, "cannot be locked: error " + std::to_string(error));
  }
  const std::string line = " " + holderLine();
  DWORD written = 0;
  if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !SetEndOfFile(h) ||
      !WriteFile(h, line.data(), (DWORD)line.size(), &written, nullptr) || written != line.size()) {
    removeOnClose(h);
    CloseHandle(h);
    return failed(why, file, "cannot be written");
  }
  lock.file = toUtf8(file);
  lock.handle = (intptr_t)h;
  return kLockTaken;
}

void drawingLockRelease(DrawingLock& lock) {
  if (lock.handle == -1) return;
  HANDLE h = (HANDLE)lock.handle;
  removeOnClose(h);
  CloseHandle(h);
  lock.handle = -1;
  lock.file.clear();
}

FileStamp fileStampOf(const std::string& path) {
  FileStamp s;
  HANDLE h = CreateFileW(fromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return s;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info)) {
    s.exists = true;
    s.device = info.dwVolumeSerialNumber;
    s.inode = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    s.size = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    // 100-nanosecond steps since 1601.
    s.modified =
        (int64_t)((((uint64_t)info.ftLastWriteTime.dwHighDateTime << 32) | info.ftLastWriteTime.dwLowDateTime) * 100);
  }
  CloseHandle(h);
  return s;
}

bool linkTargetOf(const std::string& path, std::string& target) {
  target.clear();
  const std::wstring wpath = fromUtf8(path);
  const DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  HANDLE h = CreateFileW(wpath.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  wchar_t name[32768];
  const DWORD n = GetFinalPathNameByHandleW(h, name, sizeof name / sizeof name[0], FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (n == 0 || n >= sizeof name / sizeof name[0]) return true;
  std::wstring full(name, n);
  if (full.compare(0, 4, L"\\\\?\\") == 0) full.erase(0, 4);
  target = toUtf8(full);
  return true;
}

}  // namespace cadhost
