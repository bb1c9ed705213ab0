// The stand-ins' file operations (standin.h) on POSIX systems. A save holds an exclusive
// lock on its temporary from creation to rename; a temporary nobody holds whose process is
// gone is a dead save's, and the next save of the file removes it.
#include "standin.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>

namespace standin {
namespace {
// Temporaries are named .FILE.saving-PID-XXXXXXXX: hidden, and named as no user names a
// file, so that the clean-up never takes a file of the user's for one of its own.
const char kTempMark[] = ".saving-";
const size_t kTempRandom = 8;
const size_t kTempTailBytes = 1 + sizeof kTempMark - 1 + 10 + 1 + kTempRandom;  // '.', mark, pid, '-', random
const int kTempAttempts = 100;

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The start of every temporary name of the file: a dot, its name (cut so that the whole
// temporary name stays within the file system's limit) and the mark.
std::string tempPrefix(const std::string& path) {
  std::string name = nameOf(path);
  if (name.size() > NAME_MAX - kTempTailBytes) name.resize(NAME_MAX - kTempTailBytes);
  return "." + name + kTempMark;
}

bool allDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// PREFIX + a process id + '-' + kTempRandom letters or digits; pid is the process id.
bool isTempName(const std::string& name, const std::string& prefix, long& pid) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  size_t dash = name.find('-', prefix.size());
  if (dash == std::string::npos || dash - prefix.size() > 9 || !allDigits(name, prefix.size(), dash) ||
      name.size() - dash - 1 != kTempRandom)
    return false;
  for (size_t i = dash + 1; i < name.size(); ++i)
    if (!isalnum((unsigned char)name[i])) return false;
  pid = std::stol(name.substr(prefix.size(), dash - prefix.size()));
  return true;
}

// A process of that id runs (perhaps another user's, or one that took the id over).
bool processRuns(long pid) { return pid > 0 && (kill((pid_t)pid, 0) == 0 || errno == EPERM); }

std::string randomPart() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[kTempRandom];
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != (ssize_t)sizeof bytes) {
    unsigned long x = (unsigned long)time(nullptr) ^ ((unsigned long)clock() << 16) ^ (unsigned long)getpid();
    for (unsigned char& b : bytes) b = (unsigned char)(x = x * 6364136223846793005UL + 1442695040888963407UL) >> 3;
  }
  std::string out;
  for (unsigned char b : bytes) out += kLetters[b % (sizeof kLetters - 1)];
  return out;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

void syncFolder(const std::string& folder) {
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  fsync(dir);  // the rename reaches the disk too
  close(dir);
}
}  // namespace

bool writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += (size_t)n;
  }
  return true;
}

bool fileStamp(const std::string& path, int64_t& stamp, int64_t& size) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  stamp = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  size = int64_t(st.st_size);
  return true;
}

FILE* openForReading(const std::string& path) { return fopen(path.c_str(), "rbe"); }

FILE* openPlainFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  FILE* f = fdopen(fd, "rb");
  if (!f) close(fd);
  return f;
}

int openAppendFile(const std::string& path) {
  // O_NONBLOCK: a FIFO at the name does not block the open; it is then refused.
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

int removeDeadTemporaries(const std::string& path) {
  const std::string prefix = tempPrefix(path);
  int dir = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return 0;
  int listFd = dup(dir);
  DIR* list = listFd >= 0 ? fdopendir(listFd) : nullptr;
  if (!list) {
    if (listFd >= 0) close(listFd);
    close(dir);
    return 0;
  }
  int removed = 0;
  while (dirent* e = readdir(list)) {
    std::string name = e->d_name;
    long pid = 0;
    if (!isTempName(name, prefix, pid) || processRuns(pid)) continue;
    int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, named;
    // Only this user's plain files, and only while no save holds them; the name must
    // still be the file that was locked when it is removed.
    if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == geteuid() &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 && fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(held, named) && unlinkat(dir, name.c_str(), 0) == 0)
      ++removed;
    close(fd);
  }
  closedir(list);
  close(dir);
  return removed;
}

int safeSaveBegin(SafeSave& s, const std::string& path, mode_t newFileMode) {
  s = SafeSave();
  s.path = path;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return -1;
    }
    s.replaces = S_ISREG(st.st_mode);  // anything else at the path (a link) is replaced, not followed
    s.mode = st.st_mode & 07777;
    s.owner = st.st_uid;
    s.group = st.st_gid;
  }
  removeDeadTemporaries(path);
  const std::string base = folderOf(path) + "/" + tempPrefix(path) + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    s.temp = base + randomPart();
    s.fd = open(s.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                s.replaces ? 0600 : newFileMode);
    if (s.fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Locked before anything is written; a cleaner that took the name in the moment
    // between creation and lock has removed it, so that name is given up.
    struct stat held, named;
    while (flock(s.fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (fstat(s.fd, &held) == 0 && lstat(s.temp.c_str(), &named) == 0 && sameFile(held, named)) {
      if (!s.replaces) s.mode = held.st_mode & 07777;  // newFileMode less the umask
      return 0;
    }
    close(s.fd);
    s.fd = -1;
  }
  errno = EEXIST;
  return -1;
}

int safeSaveCommit(SafeSave& s) {
  if (s.fd < 0) {
    errno = EBADF;
    return -1;
  }
  bool ok = true;
  if (s.replaces) {
    if ((s.owner != geteuid() || s.group != getegid()) && fchown(s.fd, s.owner, s.group) != 0)
      (void)!fchown(s.fd, (uid_t)-1, s.group);  // the group at least, where it is allowed
    ok = fchmod(s.fd, s.mode) == 0;
  }
  ok = ok && fsync(s.fd) == 0;
  // Renamed while still locked, so no cleaner takes the finished temporary for a dead one.
  ok = ok && rename(s.temp.c_str(), s.path.c_str()) == 0;
  int err = errno;
  if (!ok) unlink(s.temp.c_str());
  close(s.fd);
  s.fd = -1;
  if (!ok) {
    errno = err;
    return -1;
  }
  syncFolder(folderOf(s.path));
  return 0;
}

void safeSaveAbort(SafeSave& s) {
  if (s.fd < 0) return;
  unlink(s.temp.c_str());
  close(s.fd);
  s.fd = -1;
}

uint32_t lowerCase(uint32_t cp) {
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
  return utf8 != (locale_t)0 ? (uint32_t)towlower_l((wint_t)cp, utf8) : cp;
}

}  // namespace standin
