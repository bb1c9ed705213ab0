// The stand-ins' file operations (standin.h) on Windows. A save holds its temporary open
// to no one else from creation to rename, so a temporary that can be deleted is a dead
// process's, and the next save of the file removes it.
#include "standin.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace standin {
namespace {
// Temporaries are named FILE.tmpPID-XXXXXX, as on POSIX systems.
const wchar_t kTempMark[] = L".tmp";
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

std::wstring tempPrefix(const std::wstring& path) {
  size_t cut = lastSeparator(path);
  return (cut == std::wstring::npos ? path : path.substr(cut + 1)) + kTempMark;
}

std::wstring randomPart() {
  static const wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  unsigned long long x = (unsigned long long)now.QuadPart ^ ((unsigned long long)GetCurrentProcessId() << 32);
  std::wstring out;
  for (int i = 0; i < 6; ++i) {
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
  HANDLE search = FindFirstFileW((folder + L"\\" + tempPrefix(wpath) + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
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

}  // namespace standin
