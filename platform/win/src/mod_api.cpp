// Modules: shared objects loaded with dlopen, found by file name among every object of
// the process, with their paths and symbols.
#include "base_internal.h"
#include "winhost.h"
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zwin;

namespace {

thread_local std::string lastLoadError;

struct Loaded {
  std::mutex mutex;
  std::map<void*, int> references;  // handles given out by LoadLibraryA
};

Loaded& loaded() {
  static Loaded* l = new Loaded;
  return *l;
}

void* programHandle() {
  static void* h = dlopen(nullptr, RTLD_LAZY);
  return h;
}

std::string baseName(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> loadedObjectNames() {
  std::vector<std::string> names;
  dl_iterate_phdr(
      [](struct dl_phdr_info* info, size_t, void* data) {
        static_cast<std::vector<std::string>*>(data)->push_back(info->dlpi_name ? info->dlpi_name : "");
        return 0;
      },
      &names);
  return names;
}

// The handle of a loaded object without keeping an extra reference to it.
void* handleOfLoaded(const std::string& name) {
  if (name.empty()) return programHandle();
  void* h = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (h) dlclose(h);  // the object stays: whoever loaded it still holds it
  return h;
}

// The file path of a module handle; false when the handle is not a loaded module.
bool pathOfHandle(void* handle, std::string& path) {
  if (!handle || handle == programHandle()) {
    path = programPath();
    return !path.empty();
  }
  for (const std::string& name : loadedObjectNames()) {
    if (name.empty() || handleOfLoaded(name) != handle) continue;
    path = name;
    if (path[0] != '/') {
      char full[PATH_MAX];
      if (realpath(name.c_str(), full)) path = full;
    }
    return true;
  }
  return false;
}

bool isElfFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char magic[4] = {0};
  ssize_t n = read(fd, magic, 4);
  close(fd);
  return n == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

bool isFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where a bare file name is looked for: beside the program, then the current folder.
std::string findBareName(const std::string& name) {
  std::string program = programPath();
  std::string folder = program.substr(0, program.find_last_of('/') + 1);
  for (const std::string& candidate : {folder + name, name}) {
    std::string path = resolveAbsolutePath(candidate.c_str());
    if (isFile(path)) return path;
  }
  return "";
}

DWORD loadErrorCode(const char* message) {
  std::string m = message ? message : "";
  if (m.find("undefined symbol") != std::string::npos) return ERROR_PROC_NOT_FOUND;
  if (m.find("cannot open shared object file") != std::string::npos) return ERROR_MOD_NOT_FOUND;
  return ERROR_BAD_EXE_FORMAT;
}

}  // namespace

std::string winLastLoadError() { return lastLoadError; }

namespace zwin {

void* moduleSymbol(HMODULE module, const char* name, size_t* size) {
  void* handle = module ? (void*)module : programHandle();
  std::string path;
  if (!pathOfHandle(handle, path)) return nullptr;
  dlerror();
  void* symbol = dlsym(handle, name);
  if (!symbol) return nullptr;
  struct link_map* own = nullptr;
  struct link_map* owner = nullptr;
  Dl_info info;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &own) != 0 || !dladdr1(symbol, &info, (void**)&owner, RTLD_DL_LINKMAP) ||
      own != owner)
    return nullptr;
  if (size) {
    const ElfW(Sym)* entry = nullptr;
    if (!dladdr1(symbol, &info, (void**)&entry, RTLD_DL_SYMENT) || !entry) return nullptr;
    *size = entry->st_size;
  }
  return symbol;
}

}  // namespace zwin

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string name = fileName;
  std::string path;
  if (name.find_first_of("/\\") != std::string::npos) {
    path = resolveAbsolutePath(fileName);
  } else if (HMODULE already = GetModuleHandleA(fileName)) {
    pathOfHandle(already, path);
  } else {
    path = findBareName(name);
  }
  if (path.empty() || !isFile(path)) {
    if (path.empty() && name.find_first_of("/\\") == std::string::npos) path = name;  // system libraries
    else {
      lastLoadError = name + ": file not found";
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
  } else if (!isElfFile(path)) {
    lastLoadError = path + ": not a shared object";
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  dlerror();
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* why = dlerror();
    lastLoadError = why ? why : path;
    SetLastError(isFile(path) ? loadErrorCode(why) : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  Loaded& l = loaded();
  std::lock_guard<std::mutex> lock(l.mutex);
  ++l.references[h];
  return (HMODULE)h;
}

BOOL FreeLibrary(HMODULE module) {
  Loaded& l = loaded();
  std::unique_lock<std::mutex> lock(l.mutex);
  auto it = l.references.find((void*)module);
  if (it == l.references.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second == 0) l.references.erase(it);
  lock.unlock();
  if (dlclose((void*)module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (!moduleName) return (HMODULE)programHandle();
  std::string wanted = baseName(moduleName);
  if (wanted.find('.') == std::string::npos) wanted += ".dll";  // as Windows completes it
  std::string program = programPath();
  for (const std::string& name : loadedObjectNames()) {
    std::string base = baseName(name.empty() ? program : name);
    if (!equalNoCase(base, wanted)) continue;
    if (void* h = handleOfLoaded(name)) return (HMODULE)h;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  std::string path;
  if (!pathOfHandle(module, path)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= size) {
    std::memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(fileName, path.c_str(), path.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return (DWORD)path.size();
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!procName || IS_INTRESOURCE(procName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = moduleSymbol(module, procName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}
