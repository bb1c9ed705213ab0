// The stand-ins' file operations (standin.h) on Windows. A save holds its temporary open
// to no one else from creation to rename, so a temporary that can be deleted is a dead
// process's, and the next save of the file removes it.
#include "standin.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cwctype>
#include <vector>

namespace standin {
namespace {
// Temporaries are named .FILE.saving-PID-XXXXXXXX, as on POSIX systems: named as no user
// names a file, so that the clean-up never takes a file of the user's for one of its own.
const wchar_t kTempMark[] = L".saving-";
const size_t kTempRandom = 8;
const size_t kNameMax = 255;
const size_t kTempTailChars = 1 + sizeof kTempMark / sizeof kTempMark[0] - 1 + 10 + 1 + kTempRandom;
const int kTempAttempts = 100;

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring out(n > 0 ? (size_t)n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &out[0], n);
  return out;
}

std::string narrowUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? (size_t)n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], n, nullptr, nullptr);
  return out;
}

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
  }
}

int failWith(DWORD error) {
  errno = errnoOf(error);
  return -1;
}

size_t lastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }

std::wstring folderOf(const std::wstring& path) {
  size_t cut = lastSeparator(path);
  return cut == std::wstring::npos ? L"." : path.substr(0, cut);
}

// A dot, the file's name (cut so that the whole temporary name stays within the file
// system's limit) and the mark.
std::wstring tempPrefix(const std::wstring& path) {
  size_t cut = lastSeparator(path);
  std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
  if (name.size() > kNameMax - kTempTailChars) name.resize(kNameMax - kTempTailChars);
  return L"." + name + kTempMark;
}

// PREFIX + a process id + '-' + kTempRandom letters or digits; pid is the process id.
bool isTempName(const std::wstring& name, const std::wstring& prefix, DWORD& pid) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  size_t dash = name.find(L'-', prefix.size());
  if (dash == std::wstring::npos || dash == prefix.size() || dash - prefix.size() > 9 ||
      name.size() - dash - 1 != kTempRandom)
    return false;
  for (size_t i = prefix.size(); i < dash; ++i)
    if (name[i] < L'0' || name[i] > L'9') return false;
  for (size_t i = dash + 1; i < name.size(); ++i)
    if (!std::iswalnum(name[i])) return false;
  pid = (DWORD)std::stoul(name.substr(prefix.size(), dash - prefix.size()));
  return true;
}

// A process of that id runs (perhaps another user's, or one that took the id over).
bool processRuns(DWORD pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return runs;
}

std::wstring randomPart() {
  static const wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  unsigned long long x = (unsigned long long)now.QuadPart ^ ((unsigned long long)GetCurrentProcessId() << 32);
  std::wstring out;
  for (size_t i = 0; i < kTempRandom; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    out += kLetters[(x >> 33) % (sizeof kLetters / sizeof kLetters[0] - 1)];
  }
  return out;
}

HANDLE handleOf(int fd) { return (HANDLE)_get_osfhandle(fd); }

// Marks the open temporary for deletion when its last handle closes.
void deleteOnClose(int fd) {
  FILE_DISPOSITION_INFO gone = {TRUE};
  SetFileInformationByHandle(handleOf(fd), FileDispositionInfo, &gone, sizeof gone);
}
}  // namespace

bool writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    size_t piece = size - done < 0x40000000u ? size - done : 0x40000000u;
    int n = _write(fd, p + done, (unsigned)piece);
    if (n <= 0) return false;
    done += (size_t)n;
  }
  return true;
}

bool fileStamp(const std::string& path, int64_t& stamp, int64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data)) return false;
  // 100-nanosecond steps since 1601.
  stamp = (int64_t)(((unsigned long long)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime) * 100;
  size = (int64_t)(((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow);
  return true;
}

// The shell starts programs without handing them the process's handles.
FILE* openForReading(const std::string& path) { return _wfopen(wide(path).c_str(), L"rb"); }

FILE* openPlainFile(const std::string& path) {
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    failWith(GetLastError());
    return nullptr;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    errno = EINVAL;
    return nullptr;
  }
  int fd = _open_osfhandle((intptr_t)h, _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  FILE* f = _fdopen(fd, "rb");
  if (!f) _close(fd);
  return f;
}

int openAppendFile(const std::string& path) {
  HANDLE h = CreateFileW(wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return failWith(GetLastError());
  BY_HANDLE_FILE_INFORMATION file;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &file) ||
      (file.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    CloseHandle(h);
    errno = EINVAL;
    return -1;
  }
  int fd = _open_osfhandle((intptr_t)h, _O_WRONLY | _O_APPEND | _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return fd;
}

int removeDeadTemporaries(const std::string& path) {
  const std::wstring wpath = wide(path);
  const std::wstring folder = folderOf(wpath);
  WIN32_FIND_DATAW found;
  const std::wstring prefix = tempPrefix(wpath);
  HANDLE search = FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    DWORD pid = 0;
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT) ||
        !isTempName(found.cFileName, prefix, pid) || processRuns(pid))
      continue;
    // A live save holds its temporary open without sharing: deleting it then fails.
    if (DeleteFileW((folder + L"\\" + found.cFileName).c_str())) ++removed;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return removed;
}

int safeSaveBegin(SafeSave& s, const std::string& path, mode_t newFileMode) {
  (void)newFileMode;
  s = SafeSave();
  s.path = path;
  const std::wstring wpath = wide(path);
  DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      errno = EISDIR;
      return -1;
    }
    s.replaces = true;
  }
  removeDeadTemporaries(path);
  const std::wstring base = folderOf(wpath) + L"\\" + tempPrefix(wpath) + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const std::wstring temp = base + randomPart();
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return failWith(GetLastError());
    }
    s.fd = _open_osfhandle((intptr_t)h, _O_WRONLY | _O_BINARY);
    if (s.fd < 0) {
      CloseHandle(h);
      DeleteFileW(temp.c_str());
      return -1;
    }
    s.temp = narrowUtf8(temp);
    return 0;
  }
  errno = EEXIST;
  return -1;
}

int safeSaveCommit(SafeSave& s) {
  if (s.fd < 0) {
    errno = EBADF;
    return -1;
  }
  HANDLE h = handleOf(s.fd);
  // Renamed through the handle that still holds it, so no cleaner takes the finished
  // temporary for a dead one.
  const std::wstring target = wide(s.path);
  std::vector<unsigned char> rename(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(rename.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = (DWORD)(target.size() * sizeof(wchar_t));
  std::copy(target.begin(), target.end(), info->FileName);
  bool ok = FlushFileBuffers(h) &&
            SetFileInformationByHandle(h, FileRenameInfo, info, (DWORD)rename.size());
  DWORD error = ok ? 0 : GetLastError();
  if (!ok) deleteOnClose(s.fd);
  _close(s.fd);
  s.fd = -1;
  return ok ? 0 : failWith(error);
}

void safeSaveAbort(SafeSave& s) {
  if (s.fd < 0) return;
  deleteOnClose(s.fd);
  _close(s.fd);
  s.fd = -1;
}

uint32_t lowerCase(uint32_t cp) {
  if (cp >= 0x10000) return cp;  // the case table covers the basic plane
  WCHAR c = (WCHAR)cp;
  CharLowerBuffW(&c, 1);
  return c;
}

}  // namespace standin
