// The registry module. Module-wide state: the open key path and key pair, and the work
// texts of the current call; the command thread is the only caller.
#include "registry.h"
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

constexpr size_t kTextSize = 260;
constexpr DWORD kTempValueSize = 256;
constexpr DWORD kFloatTextSize = 40;
constexpr int kTempBuffers = 4;

char keyPath[kTextSize];
HKEY userKey = nullptr;     // HKEY_CURRENT_USER\<keyPath>, all access
HKEY machineKey = nullptr;  // HKEY_LOCAL_MACHINE\<keyPath>, reading
char subKey[kTextSize];
char valueName[kTextSize];

// A failed check of the module's own use is printed and the call goes on, as a
// release build of the system would.
void assertionFailed(const char* condition, const char* source, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition, source, line);
  std::fflush(stderr);
}
#define REG_ASSERT(condition) ((condition) ? (void)0 : assertionFailed(#condition, "Registry", __LINE__))

// Splits "subkey\name" into the work texts; a path without "\" is all subkey.
void splitPath(const char* path) {
  char work[kTextSize];
  std::snprintf(work, sizeof work, "%s", path ? path : "");
  for (char* p = work; *p; ++p) {
    if (*p == '/') *p = '\\';
  }
  char* s = std::strrchr(work, '\\');
  REG_ASSERT(s);
  if (s) {
    *s = 0;
    std::snprintf(valueName, sizeof valueName, "%s", s + 1);
  } else {
    valueName[0] = 0;
  }
  std::snprintf(subKey, sizeof subKey, "%s", work);
}

// Opens the work subkey under parent and asks for the value's size; the open subkey
// when the value is there, else null.
HKEY openWithValue(HKEY parent, DWORD* valueSize) {
  if (!parent) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return nullptr;
  DWORD type = 0;
  *valueSize = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, valueSize) == ERROR_SUCCESS) return key;
  RegCloseKey(key);
  return nullptr;
}

// Opens the work subkey for writing under root (null: the user's key), creating it when
// it does not open.
HKEY openForWriting(HKEY root) {
  HKEY parent = root ? root : userKey;
  if (!parent) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, subKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) return key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(parent, subKey, 0, const_cast<LPSTR>(""), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) == ERROR_SUCCESS)
    return key;
  return nullptr;
}

bool setValue(HKEY root, const char* path, DWORD type, const void* data, DWORD size) {
  splitPath(path);
  HKEY key = openForWriting(root);
  if (!key) return false;
  LONG rc = RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

// "<name>\<suffix>" into out; false when it does not fit.
bool valuePath(char* out, size_t size, const char* name, const char* suffix) {
  int n = std::snprintf(out, size, "%s\\%s", name ? name : "", suffix);
  return n > 0 && (size_t)n < size;
}

}  // namespace

bool regOpen(const char* company, const char* application, const char* version) {
  regClose();
  int n = std::snprintf(keyPath, sizeof keyPath, "Software\\%s\\%s\\%s\\", company ? company : "Any company",
                        application ? application : "Any application", version ? version : "Any version");
  if (n < 0 || (size_t)n >= sizeof keyPath) {  // a cut path would name another key
    keyPath[0] = 0;
    return false;
  }
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, const_cast<LPSTR>(""), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &userKey, &disposition) != ERROR_SUCCESS) {
    userKey = nullptr;
    return false;
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &machineKey) != ERROR_SUCCESS) {
    machineKey = nullptr;
    return false;
  }
  return true;
}

bool regClose() {
  for (HKEY* key : {&userKey, &machineKey}) {
    if (*key) {
      RegFlushKey(*key);
      RegCloseKey(*key);
      *key = nullptr;
    }
  }
  keyPath[0] = 0;
  return true;
}

char* regGetString(HKEY root, const char* path, DWORD* size, char* buffer, DWORD bufferSize) {
  splitPath(path);
  DWORD valueSize = 0;
  HKEY key = nullptr;
  if (root) {
    key = openWithValue(root, &valueSize);
  } else {
    key = openWithValue(userKey, &valueSize);
    if (!key) key = openWithValue(machineKey, &valueSize);
  }
  if (!key) return nullptr;
  // A zero size cannot promise any room: reading into it would run past the buffer.
  if (!buffer || bufferSize == 0 || bufferSize < valueSize) {
    RegCloseKey(key);
    return nullptr;
  }
  DWORD got = bufferSize;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return nullptr;
  if (size) *size = got;
  return buffer;
}

int regGetInt(HKEY root, const char* path, int defaultValue) {
  int value = 0;
  DWORD size = 0;
  if (!regGetString(root, path, &size, reinterpret_cast<char*>(&value), sizeof value)) return defaultValue;
  return value;
}

float regGetFloat(HKEY root, const char* path, float defaultValue) {
  char text[kFloatTextSize + 1] = {0};
  DWORD size = 0;
  if (!regGetString(root, path, &size, text, kFloatTextSize)) return defaultValue;
  float value = 0.0f;
  if (std::sscanf(text, "%f", &value) != 1) return 0.0f;
  return value;
}

const char* regGetStringTemp(HKEY root, const char* path, const char* defaultValue) {
  static char buffers[kTempBuffers][kTempValueSize + 1];
  static int next = 0;
  char* buffer = buffers[next];
  next = (next + 1) % kTempBuffers;
  std::memset(buffer, 0, kTempValueSize + 1);  // the last byte stays a terminator
  DWORD size = 0;
  if (!regGetString(root, path, &size, buffer, kTempValueSize)) return defaultValue;
  return buffer;
}

bool regLoadWindow(HKEY root, const char* name, RECT* rect, int* showState, HWND window) {
  char path[kTextSize];
  if (!valuePath(path, sizeof path, name, "Position")) return false;
  const char* position = regGetStringTemp(root, path, nullptr);
  int left, top, width, height;
  if (!position || std::sscanf(position, "%d %d %d %d", &left, &top, &width, &height) != 4) return false;
  if (!valuePath(path, sizeof path, name, "Show")) return false;
  const char* show = regGetStringTemp(root, path, nullptr);
  int state;
  if (!show || std::sscanf(show, "%d", &state) != 1) return false;
  if (rect) *rect = RECT{left, top, left + width, top + height};
  if (showState) *showState = state;
  if (!window) return true;
  if (!IsWindow(window)) return false;
  SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  ShowWindow(window, state);
  return true;
}

bool regSaveWindow(HKEY root, const char* name, HWND window) {
  WINDOWPLACEMENT placement;
  std::memset(&placement, 0, sizeof placement);
  placement.length = sizeof placement;
  if (!window || !GetWindowPlacement(window, &placement)) return false;
  const RECT& r = placement.rcNormalPosition;
  char path[kTextSize];
  char text[64];
  if (!valuePath(path, sizeof path, name, "Position")) return false;
  std::snprintf(text, sizeof text, "%d %d %d %d", (int)r.left, (int)r.top, (int)(r.right - r.left),
                (int)(r.bottom - r.top));
  bool ok = regSetString(root, path, text);
  if (!valuePath(path, sizeof path, name, "Show")) return false;
  std::snprintf(text, sizeof text, "%d", (int)placement.showCmd);
  return regSetString(root, path, text) && ok;
}

bool regSetBinary(HKEY root, const char* path, DWORD size, const void* bytes) {
  return setValue(root, path, REG_BINARY, bytes, size);
}

bool regSetInt(HKEY root, const char* path, int value) {
  DWORD v = (DWORD)value;
  return setValue(root, path, REG_DWORD, &v, sizeof v);
}

bool regSetFloat(HKEY root, const char* path, float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return regSetString(root, path, text);
}

bool regSetString(HKEY root, const char* path, const char* text) {
  const char* t = text ? text : "";
  return setValue(root, path, REG_SZ, t, (DWORD)std::strlen(t));
}

bool regDeleteValue(HKEY root, const char* path) {
  splitPath(path);
  HKEY parent = root ? root : userKey;
  if (!parent) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, subKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
  LONG rc = RegDeleteValueA(key, valueName);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

HKEY regRootKey(HKEY predefinedRoot) {
  if (predefinedRoot == HKEY_LOCAL_MACHINE) return machineKey;
  if (predefinedRoot == HKEY_CURRENT_USER) return userKey;
  return nullptr;
}
