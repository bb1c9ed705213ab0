// The registry functions over the two hives of the machine folder. Every change is
// written to its hive file at once, through a temporary file renamed into place, under a
// lock of the machine folder; a change that cannot be written is undone in memory, so
// memory and file agree. A hive that another process changed on disk is read again
// before it is used, so its change is never undone by a write of this one.
#include "base_internal.h"
#include "reg_hive.h"
#include "standin.h"
#include "winhost.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zwin {
namespace {

enum { kUserHive = 0, kMachineHive = 1 };

// What identifies one version of a hive file: a rename or an edit changes it.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  struct timespec mtime = {0, 0}, ctime = {0, 0};
  bool operator==(const FileStamp& o) const {
    return exists == o.exists &&
           (!exists || (dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
                        mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
                        ctime.tv_nsec == o.ctime.tv_nsec));
  }
};

FileStamp stampOf(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime = st.st_mtim;
  s.ctime = st.st_ctim;
  return s;
}

struct Hive {
  const char* fileName;
  const char* rootName;
  RegKey root;
  bool loaded = false;
  bool broken = false;  // the file did not parse: read as empty, never written
  bool utf16 = false;   // the file was UTF-16LE: written back so
  FileStamp stamp;      // of the file as last read or written
};

struct OpenKey {
  int hive = kUserHive;
  std::vector<std::string> path;
  REGSAM access = 0;
};

struct Registry {
  std::mutex mutex;
  Hive hives[2] = {{"user.reg", "HKEY_CURRENT_USER", {}, false, false, false, {}},
                   {"system.reg", "HKEY_LOCAL_MACHINE", {}, false, false, false, {}}};
  std::map<uintptr_t, OpenKey> handles;
  uintptr_t nextHandle = 0x10000;
};

Registry& registry() {
  static Registry* r = new Registry;  // lives to the very end: modules may close keys at exit
  return *r;
}

std::string hiveFilePath(const Hive& h) {
  const std::string& folder = winMachineFolder();
  if (folder.empty()) return "";
  std::string path = folder;
  if (path.back() != '/' && path.back() != '\\') path += '/';
  return resolvePath((path + h.fileName).c_str());
}

bool readWholeFile(const std::string& path, std::string& text, int& err, FileStamp& stamp) {
  // Not blocking: a pipe put in a hive's place must be refused, not waited on for ever.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    err = errno;
    return false;
  }
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular || (size_t)st.st_size > kMaxHiveFileBytes) {
    err = regular ? EFBIG : EINVAL;
    close(fd);
    return false;
  }
  stamp = stampOf(st);
  text.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(buf, (size_t)n);
    if (text.size() > kMaxHiveFileBytes) {
      err = EFBIG;
      close(fd);
      return false;
    }
  }
  close(fd);
  return true;
}

void loadHive(Hive& h, const std::string& path) {
  h.loaded = true;
  h.broken = false;
  h.utf16 = false;
  h.root = RegKey();
  h.stamp = FileStamp();
  if (path.empty()) return;
  std::string text;
  int err = 0;
  if (!readWholeFile(path, text, err, h.stamp)) {
    if (err == ENOENT) return;  // a new machine: the hive starts empty
    h.broken = true;
    reportToHost("Registry: cannot read " + path + ": " +
                 (err == EFBIG ? std::string("not a file or too large") : std::string(std::strerror(err))) +
                 "; it is left as it is and changes to it are refused.\n");
    return;
  }
  std::string reason;
  int badLine = parseHive(text, h.rootName, h.root, reason, &h.utf16);
  if (badLine != 0) {
    h.root = RegKey();
    h.broken = true;
    reportToHost("Registry: " + path + " line " + std::to_string(badLine) + ": " + reason +
                 "; the file is left as it is and changes to it are refused.\n");
  }
}

// The hive as its file stands now: loaded at first use, read again when the file changed
// since (another process wrote it, or a person edited it).
Hive& loadedHive(int index) {
  Hive& h = registry().hives[index];
  std::string path = hiveFilePath(h);
  if (h.loaded) {
    if (path.empty()) return h;
    struct stat st;
    FileStamp now;
    if (stat(path.c_str(), &st) == 0) now = stampOf(st);
    else if (errno != ENOENT) return h;  // cannot be looked at now: what was read stands
    if (now == h.stamp) return h;
  }
  loadHive(h, path);
  return h;
}

// Exclusive use of the machine folder's hives while one is changed, so that two processes
// never write over each other's change: a lock on the folder itself (no lock file lies
// about). Without a machine folder the registry lives in memory and needs none.
class HiveLock {
 public:
  explicit HiveLock(const Hive& h) {
    std::string path = hiveFilePath(h);
    if (path.empty()) return;
    std::string folder = path.substr(0, path.find_last_of('/') + 1);
    if (folder.empty()) folder = ".";
    m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0 && errno == ENOENT && mkdir(folder.c_str(), 0700) == 0)
      m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
      m_failed = true;
      return;
    }
    while (flock(m_fd, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      m_failed = true;
      break;
    }
  }
  ~HiveLock() {
    if (m_fd >= 0) close(m_fd);  // releases the lock
  }
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  bool failed() const { return m_failed; }

 private:
  int m_fd = -1;
  bool m_failed = false;
};

// Writes the hive: a temporary file in the same folder, flushed, then renamed over the
// hive (standin.h); the caller holds the folder's lock.
LONG saveHive(Hive& h) {
  if (h.broken) return ERROR_REGISTRY_CORRUPT;
  std::string path = hiveFilePath(h);
  if (path.empty()) return ERROR_SUCCESS;  // no machine folder: the registry lives in memory
  std::string folder = path.substr(0, path.find_last_of('/') + 1);
  if (!folder.empty()) mkdir(folder.c_str(), 0700);
  standin::SafeSave save;
  if (standin::safeSaveBegin(save, path, 0600) != 0) return ERROR_REGISTRY_IO_FAILED;
  const std::string text = formatHive(h.root, h.rootName, h.utf16);
  struct stat st;
  if (!standin::writeAll(save.fd, text.data(), text.size()) || standin::safeSaveCommit(save) != 0 ||
      stat(path.c_str(), &st) != 0) {
    standin::safeSaveAbort(save);
    return ERROR_REGISTRY_IO_FAILED;
  }
  h.stamp = stampOf(st);
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- handles and paths

bool predefined(HKEY key, OpenKey& out) {
  if (key == HKEY_CURRENT_USER) {
    out = {kUserHive, {}, KEY_ALL_ACCESS};
  } else if (key == HKEY_LOCAL_MACHINE) {
    out = {kMachineHive, {}, KEY_ALL_ACCESS};
  } else if (key == HKEY_CLASSES_ROOT) {
    out = {kMachineHive, {"Software", "Classes"}, KEY_ALL_ACCESS};
  } else {
    return false;
  }
  return true;
}

LONG lookupHandle(HKEY key, OpenKey& out) {
  if (predefined(key, out)) return ERROR_SUCCESS;
  auto& handles = registry().handles;
  auto it = handles.find((uintptr_t)key);
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  out = it->second;
  return ERROR_SUCCESS;
}

LONG splitSubKey(LPCSTR subKey, std::vector<std::string>& parts) {
  parts.clear();
  if (!subKey || !*subKey) return ERROR_SUCCESS;
  std::string s = subKey;
  if (s[0] == '\\') return ERROR_BAD_PATHNAME;
  if (s.back() == '\\') s.pop_back();  // "Software\\X\\" names the key "Software\\X"
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t end = s.find('\\', pos);
    if (end == std::string::npos) end = s.size();
    std::string part = s.substr(pos, end - pos);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (!validKeyName(part)) return ERROR_INVALID_PARAMETER;
    parts.push_back(part);
    if (parts.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    pos = end + 1;
  }
  return ERROR_SUCCESS;
}

RegKey* findKey(Hive& h, const std::vector<std::string>& path) {
  RegKey* key = &h.root;
  for (const std::string& name : path) {
    key = key->child(name);
    if (!key) return nullptr;
  }
  return key;
}

HKEY newHandle(const OpenKey& key) {
  Registry& r = registry();
  uintptr_t id = r.nextHandle;
  r.nextHandle += 16;
  r.handles[id] = key;
  return (HKEY)id;
}

// The key behind a handle, with the rights the operation needs.
LONG keyFor(HKEY handle, REGSAM need, OpenKey& open, RegKey*& key) {
  LONG rc = lookupHandle(handle, open);
  if (rc != ERROR_SUCCESS) return rc;
  if ((open.access & need) != need) return ERROR_ACCESS_DENIED;
  key = findKey(loadedHive(open.hive), open.path);
  if (!key) return open.path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

REGSAM plainAccess(REGSAM access) { return access & ~(REGSAM)(KEY_WOW64_32KEY | KEY_WOW64_64KEY); }

}  // namespace

void resetRegistryHives() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (Hive& h : r.hives) {
    h.loaded = false;
    h.broken = false;
    h.utf16 = false;
    h.root = RegKey();
    h.stamp = FileStamp();
  }
}

}  // namespace zwin

using namespace zwin;

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey base;
  LONG rc = lookupHandle(key, base);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::string> parts;
  if ((rc = splitSubKey(subKey, parts)) != ERROR_SUCCESS) return rc;
  OpenKey target{base.hive, base.path, plainAccess(access)};
  target.path.insert(target.path.end(), parts.begin(), parts.end());
  if (target.path.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;

  // Walk down as far as the keys exist, then create the rest in one change.
  auto walk = [&](Hive& h, RegKey*& k) {
    k = &h.root;
    size_t depth = 0;
    while (depth < target.path.size()) {
      RegKey* next = k->child(target.path[depth]);
      if (!next) break;
      k = next;
      ++depth;
    }
    return depth;
  };
  RegKey* k = nullptr;
  bool created = walk(loadedHive(base.hive), k) < target.path.size();
  if (created) {
    HiveLock fileLock(registry().hives[base.hive]);
    if (fileLock.failed()) return ERROR_REGISTRY_IO_FAILED;
    Hive& h = loadedHive(base.hive);  // as it stands under the lock
    size_t depth = walk(h, k);
    created = depth < target.path.size();
    if (created) {
      if (depth < base.path.size()) {
        // The handle's own key is gone only for the classes root of a new machine.
      } else if (!(base.access & KEY_CREATE_SUB_KEY)) {
        return ERROR_ACCESS_DENIED;
      }
      if (h.broken) return ERROR_REGISTRY_CORRUPT;
      RegKey* parent = k;
      size_t firstNew = parent->children().size();
      for (size_t i = depth; i < target.path.size(); ++i) k = k->addChild(target.path[i]);
      rc = saveHive(h);
      if (rc != ERROR_SUCCESS) {
        parent->dropChildrenFrom(firstNew);
        return rc;
      }
    }
  }
  *result = newHandle(target);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey base;
  LONG rc = lookupHandle(key, base);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::string> parts;
  if ((rc = splitSubKey(subKey, parts)) != ERROR_SUCCESS) return rc;
  OpenKey target{base.hive, base.path, plainAccess(access)};
  target.path.insert(target.path.end(), parts.begin(), parts.end());
  if (!target.path.empty() && !findKey(loadedHive(target.hive), target.path)) return ERROR_FILE_NOT_FOUND;
  *result = newHandle(target);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey open;
  RegKey* k = nullptr;
  LONG rc = keyFor(key, KEY_QUERY_VALUE, open, k);
  if (rc != ERROR_SUCCESS) return rc;
  RegValue* v = k->value(valueName ? valueName : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  // Text is stored as UTF-16LE: the narrow function gives it in the process's code page.
  std::string narrow;
  if (isTextType(v->type)) narrow = storedToNarrow(v->data);
  const BYTE* bytes = isTextType(v->type) ? reinterpret_cast<const BYTE*>(narrow.data()) : v->data.data();
  DWORD size = (DWORD)(isTextType(v->type) ? narrow.size() : v->data.size());
  if (!dataSize) return ERROR_SUCCESS;
  DWORD room = *dataSize;
  *dataSize = size;
  if (!data) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  if (size) std::memcpy(data, bytes, size);
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
  if (reserved || (!data && dataSize) || dataSize > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  std::string name = valueName ? valueName : "";
  if (!validValueName(name)) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes = isTextType(type) ? narrowToStored(data, dataSize) : std::vector<BYTE>(data, data + dataSize);
  if (bytes.size() > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey open;
  LONG rc = lookupHandle(key, open);
  if (rc != ERROR_SUCCESS) return rc;
  HiveLock fileLock(registry().hives[open.hive]);
  if (fileLock.failed()) return ERROR_REGISTRY_IO_FAILED;
  RegKey* k = nullptr;
  if ((rc = keyFor(key, KEY_SET_VALUE, open, k)) != ERROR_SUCCESS) return rc;
  Hive& h = loadedHive(open.hive);
  if (h.broken) return ERROR_REGISTRY_CORRUPT;
  std::optional<RegValue> old;
  if (RegValue* v = k->value(name)) old = *v;
  k->setValue(name, type, std::move(bytes));
  rc = saveHive(h);
  if (rc != ERROR_SUCCESS) {
    if (old) k->setValue(old->name, old->type, old->data);
    else k->removeValue(name);
  }
  return rc;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey open;
  LONG rc = lookupHandle(key, open);
  if (rc != ERROR_SUCCESS) return rc;
  HiveLock fileLock(registry().hives[open.hive]);
  if (fileLock.failed()) return ERROR_REGISTRY_IO_FAILED;
  RegKey* k = nullptr;
  if ((rc = keyFor(key, KEY_SET_VALUE, open, k)) != ERROR_SUCCESS) return rc;
  std::string name = valueName ? valueName : "";
  RegValue* v = k->value(name);
  if (!v) return ERROR_FILE_NOT_FOUND;
  Hive& h = loadedHive(open.hive);
  if (h.broken) return ERROR_REGISTRY_CORRUPT;
  // Put back in its place when the file cannot be written.
  std::vector<RegValue> before = k->values();
  k->removeValue(name);
  rc = saveHive(h);
  if (rc != ERROR_SUCCESS) {
    for (const RegValue& b : before) k->removeValue(b.name);
    for (const RegValue& b : before) k->setValue(b.name, b.type, b.data);
  }
  return rc;
}

LONG RegFlushKey(HKEY key) {
  // Every change is already on disk; only the handle is checked.
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey open;
  return lookupHandle(key, open);
}

LONG RegCloseKey(HKEY key) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  OpenKey open;
  if (predefined(key, open)) return ERROR_SUCCESS;
  return r.handles.erase((uintptr_t)key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
