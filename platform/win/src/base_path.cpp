// Paths as the system writes them, resolved against the file system without regard to
// letter case; case folding; errno to Windows error codes.
#include "base_internal.h"
#include <cerrno>
#include <clocale>
#include <cwctype>
#include <dirent.h>
#include <locale.h>
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

locale_t utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    return l;
  }();
  return loc;
}

// One UTF-8 sequence at s[i]: its code point and length, or false for an invalid one.
bool decodeOne(const std::string& s, size_t i, uint32_t& cp, size_t& len) {
  unsigned char c = (unsigned char)s[i];
  if (c < 0x80) { cp = c; len = 1; return true; }
  int n;
  uint32_t min;
  if ((c & 0xE0) == 0xC0) { n = 1; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { n = 2; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { n = 3; cp = c & 0x07; min = 0x10000; }
  else return false;
  if (i + (size_t)n >= s.size()) return false;
  for (int k = 1; k <= n; ++k) {
    unsigned char cc = (unsigned char)s[i + k];
    if ((cc & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  len = (size_t)n + 1;
  return true;
}

}  // namespace

std::string foldCase(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  locale_t loc = utf8Locale();
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    size_t len;
    if (!decodeOne(text, i, cp, len)) {
      out += text[i];
      ++i;
      continue;
    }
    if (cp < 0x80) {
      out += (char)((cp >= 'A' && cp <= 'Z') ? cp + 32 : cp);
    } else if (loc != (locale_t)0) {
      appendUtf8(out, (uint32_t)towlower_l((wint_t)cp, loc));
    } else {
      out.append(text, i, len);
    }
    i += len;
  }
  return out;
}

bool equalNoCase(const std::string& a, const std::string& b) {
  return a == b || foldCase(a) == foldCase(b);
}

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
