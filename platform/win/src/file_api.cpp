// Files: the user's temporary folder and files, attributes, deletion, and handles for
// reading and writing.
#include "base_internal.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zwin;

namespace {

std::string withSlash(std::string folder) {
  if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
  return folder;
}

// The user's own folder under /tmp, made private: a folder someone else owns, or a
// symbolic link put in its place, is refused.
bool userTempFolder(std::string& folder, DWORD& error) {
  char name[64];
  std::snprintf(name, sizeof name, "/tmp/zephyr-%u", (unsigned)getuid());
  folder = name;
  if (mkdir(name, 0700) != 0 && errno != EEXIST) {
    error = errorFromErrno(errno);
    return false;
  }
  struct stat st;
  if (lstat(name, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  if ((st.st_mode & 077) != 0 && chmod(name, 0700) != 0) {
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  folder += '/';
  return true;
}

bool isFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// The first of TMP, TEMP and TMPDIR that names a folder; a variable naming nothing (a
// folder removed since, a typing error) is passed over like an unset one, so the files go
// to a folder that exists instead of every temporary file failing.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
  std::string folder;
  for (const char* var : {"TMP", "TEMP", "TMPDIR"}) {
    const char* value = getenv(var);
    if (value && *value && isFolder(resolveAbsolutePath(value))) {
      folder = withSlash(resolveAbsolutePath(value));
      break;
    }
  }
  if (folder.empty()) {
    DWORD error = 0;
    if (!userTempFolder(folder, error)) {
      SetLastError(error);
      return 0;
    }
  }
  return copyOut(folder, buffer, bufferLength);
}

UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR result) {
  if (!path || !result) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string folder = *path ? withSlash(resolvePath(path)) : "./";
  std::string pre = prefix ? std::string(prefix).substr(0, 3) : "";  // Windows takes three
  unique &= 0xFFFF;
  auto nameOf = [&](UINT n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04X", n);
    return folder + pre + digits + ".tmp";
  };
  if (nameOf(0).size() + 1 > MAX_PATH) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  if (unique != 0) {
    std::string name = nameOf(unique);
    std::memcpy(result, name.c_str(), name.size() + 1);
    return unique;
  }
  UINT start = ((GetTickCount() ^ (UINT)getpid()) & 0xFFFF);
  for (UINT i = 0; i < 0x10000; ++i) {
    UINT n = (start + i) & 0xFFFF;
    if (n == 0) continue;
    std::string name = nameOf(n);
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fchmod(fd, 0600);
      close(fd);
      std::memcpy(result, name.c_str(), name.size() + 1);
      return n;
    }
    if (errno == EEXIST) continue;
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_DIRECTORY : errorFromErrno(errno));
    return 0;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

BOOL DeleteFileA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = resolvePath(fileName);
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(path.c_str()) != 0) {
    setLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string path = resolvePath(fileName);
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    setLastErrorFromErrno(errno);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return access(path.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool wantRead = (access & GENERIC_READ) != 0;
  bool wantWrite = (access & GENERIC_WRITE) != 0;
  int oflags = O_CLOEXEC;
  bool truncate = false;
  switch (disposition) {
    case CREATE_NEW: oflags |= O_CREAT | O_EXCL | O_NOFOLLOW; break;
    case CREATE_ALWAYS: oflags |= O_CREAT | O_NOFOLLOW; truncate = wantWrite = true; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: oflags |= O_CREAT | O_NOFOLLOW; break;
    case TRUNCATE_EXISTING: oflags |= O_NOFOLLOW; truncate = wantWrite = true; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  // A name that may be taken over (a temporary name in a shared folder) never opens
  // another user's file, a second name of a file, a pipe or a device, and is emptied only
  // once that is known; O_NONBLOCK keeps a planted pipe from blocking the open.
  const bool guarded = disposition != OPEN_EXISTING;
  if (guarded) oflags |= O_NONBLOCK;
  oflags |= wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY;
  if (wantWrite) oflags |= O_NOFOLLOW;  // a writer never follows a link planted at its path
  std::string path = resolvePath(fileName);
  struct stat before;
  bool existed = lstat(path.c_str(), &before) == 0;
  int fd = open(path.c_str(), oflags, 0666);
  if (fd < 0) {
    setLastErrorFromErrno(errno);
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  bool refused = fstat(fd, &st) != 0 || S_ISDIR(st.st_mode);
  if (!refused && guarded)
    refused = !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1 ||
              (truncate && ftruncate(fd, 0) != 0) ||
              fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0;
  if (refused) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  KernelObject file;
  file.kind = KernelObject::File;
  file.fd = fd;
  HANDLE h = newKernelHandle(file);
  bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

namespace {

bool fileOf(HANDLE handle, int& fd) {
  KernelObject object;
  if (!findKernelObject(handle, object) || object.kind != KernelObject::File) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  fd = object.fd;
  return true;
}

}  // namespace

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  int fd;
  if (!fileOf(file, fd)) return FALSE;
  if (overlapped || (!buffer && bytesToWrite)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const char* p = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < bytesToWrite) {
    ssize_t n = write(fd, p + done, bytesToWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      setLastErrorFromErrno(n < 0 ? errno : ENOSPC);
      if (bytesWritten) *bytesWritten = done;
      return FALSE;
    }
    done += (DWORD)n;
  }
  if (bytesWritten) *bytesWritten = done;
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (bytesRead) *bytesRead = 0;
  int fd;
  if (!fileOf(file, fd)) return FALSE;
  if (overlapped || (!buffer && bytesToRead)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char* p = static_cast<char*>(buffer);
  DWORD done = 0;
  while (done < bytesToRead) {
    ssize_t n = read(fd, p + done, bytesToRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      setLastErrorFromErrno(errno);
      if (bytesRead) *bytesRead = done;
      return FALSE;
    }
    if (n == 0) break;
    done += (DWORD)n;
  }
  if (bytesRead) *bytesRead = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  int fd;
  struct stat st;
  if (!fileOf(file, fd)) return (DWORD)-1;
  if (fstat(fd, &st) != 0) {
    setLastErrorFromErrno(errno);
    return (DWORD)-1;
  }
  uint64_t size = (uint64_t)st.st_size;
  if (fileSizeHigh) *fileSizeHigh = (DWORD)(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return (DWORD)size;
}

BOOL CloseHandle(HANDLE handle) {
  KernelObject object;
  if (!removeKernelObject(handle, object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object.kind == KernelObject::File && close(object.fd) != 0) {
    setLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}
