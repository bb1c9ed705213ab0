// Paths as the system writes them, resolved against the file system without regard to
// letter case; errno to Windows error codes.
#include "base_internal.h"
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zwin {

DWORD errorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EIO: return ERROR_WRITE_FAULT;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    default: return ERROR_GEN_FAILURE;
  }
}

void setLastErrorFromErrno(int err) { SetLastError(errorFromErrno(err)); }

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The one entry of folder that matches name without regard to letter case, or "".
std::string matchInFolder(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return "";
  std::string wanted = foldCase(name);
  std::string found;
  int matches = 0;
  while (struct dirent* e = readdir(dir)) {
    std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (foldCase(entry) == wanted) {
      found = entry;
      ++matches;
    }
  }
  closedir(dir);
  return matches == 1 ? found : "";
}

}  // namespace

std::string resolvePath(const char* path) {
  if (!path) return "";
  std::string in = path;
  for (char& c : in) {
    if (c == '\\') c = '/';
  }
  std::string out;
  size_t pos = 0;
  if (!in.empty() && in[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool missing = false;  // once a component is missing, the rest cannot be matched
  while (pos <= in.size()) {
    size_t end = in.find('/', pos);
    if (end == std::string::npos) end = in.size();
    std::string comp = in.substr(pos, end - pos);
    bool lastIsSlash = end < in.size();
    if (!comp.empty()) {
      std::string candidate = out + comp;
      if (comp != "." && comp != ".." && !missing && !exists(candidate)) {
        std::string match = matchInFolder(out, comp);
        if (!match.empty()) candidate = out + match;
        else missing = true;
      }
      out = candidate;
      if (lastIsSlash) out += '/';
    }
    pos = end + 1;
  }
  return out;
}

std::string resolveAbsolutePath(const char* path) {
  std::string resolved = resolvePath(path);
  if (!resolved.empty() && resolved[0] == '/') return resolved;
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return resolved;
    buf.resize(buf.size() * 2);
  }
  std::string cwd = buf.data();
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + resolved;
}

std::string programPath() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return "";
    if ((size_t)n < buf.size()) return std::string(buf.data(), (size_t)n);
    if (buf.size() > (1u << 20)) return "";
    buf.resize(buf.size() * 2);
  }
}

}  // namespace zwin
