// Process-wide state: last error, clock, environment, current folder, kernel handles.
#include "base_internal.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

thread_local DWORD lastError = 0;

struct HandleTable {
  std::mutex mutex;
  std::map<uintptr_t, zwin::KernelObject> objects;
  uintptr_t next = 0x1000;
};

HandleTable& handleTable() {
  static HandleTable* t = new HandleTable;
  return *t;
}

}  // namespace

namespace zwin {

HANDLE newKernelHandle(const KernelObject& object) {
  HandleTable& t = handleTable();
  std::lock_guard<std::mutex> lock(t.mutex);
  uintptr_t id = t.next;
  t.next += 4;
  t.objects[id] = object;
  return (HANDLE)id;
}

bool findKernelObject(HANDLE handle, KernelObject& object) {
  HandleTable& t = handleTable();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find((uintptr_t)handle);
  if (it == t.objects.end()) return false;
  object = it->second;
  return true;
}

bool removeKernelObject(HANDLE handle, KernelObject& object) {
  HandleTable& t = handleTable();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find((uintptr_t)handle);
  if (it == t.objects.end()) return false;
  object = it->second;
  t.objects.erase(it);
  return true;
}

DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (!buffer || size <= text.size()) return (DWORD)text.size() + 1;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return (DWORD)text.size();
}

}  // namespace zwin

using namespace zwin;

DWORD GetLastError(void) { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

DWORD GetTickCount(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
  return (DWORD)ms;
}

void Sleep(DWORD milliseconds) {
  struct timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = (long)(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* value = getenv(name);
  if (!value) {
    // Windows names its variables without regard to letter case.
    std::string wanted = foldCase(name);
    for (char** e = environ; e && *e; ++e) {
      const char* eq = std::strchr(*e, '=');
      if (eq && foldCase(std::string(*e, (size_t)(eq - *e))) == wanted) {
        value = eq + 1;
        break;
      }
    }
  }
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return copyOut(value, buffer, size);
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
  if (!name || !*name || std::strchr(name, '=')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int rc = value ? setenv(name, value, 1) : unsetenv(name);
  if (rc != 0) {
    setLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (chdir(resolvePath(path).c_str()) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() > (1u << 20)) {
      setLastErrorFromErrno(errno);
      return 0;
    }
    buf.resize(buf.size() * 2);
  }
  return copyOut(buf.data(), buffer, bufferLength);
}
