// The drawing's lock, file stamps and link targets on POSIX systems (see drawfile.h). The
// lock is flock() on the lock file: it belongs to the open file, which the process closes
// when it ends and which programs it starts (the browser) do not inherit.
#include "drawfile.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace cadhost {
namespace {
const char kLockSuffix[] = ".lock";
const int kLockAttempts = 20;
const size_t kHolderBytes = 200;

// NAME.dxf.lock beside the drawing; a name too long for one more suffix is cut, so two
// drawings whose names differ only past the cut share a lock (one opens read-only).
std::string lockFileOf(const std::string& drawingPath) {
  size_t slash = drawingPath.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : drawingPath.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? drawingPath : drawingPath.substr(slash + 1);
  if (name.size() > NAME_MAX - (sizeof kLockSuffix - 1)) name.resize(NAME_MAX - (sizeof kLockSuffix - 1));
  return folder + name + kLockSuffix;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The holder's line: the process, its user and machine, and since when.
std::string holderLine() {
  const char* user = std::getenv("USER");
  struct passwd entry, *found = nullptr;
  char names[1024];
  if ((!user || !*user) && getpwuid_r(geteuid(), &entry, names, sizeof names, &found) == 0 && found)
    user = found->pw_name;
  struct utsname host;
  char when[32] = "";
  time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local)) strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
  return std::string("cadhost process ") + std::to_string(getpid()) + " of " + (user && *user ? user : "?") + " on " +
         (uname(&host) == 0 ? host.nodename : "?") + " since " + when + "\n";
}

// The first line of the lock file, printable characters only.
std::string readHolder(int fd) {
  char buf[kHolderBytes];
  ssize_t n = pread(fd, buf, sizeof buf, 0);
  std::string line;
  for (ssize_t i = 0; i < n && buf[i] != '\n'; ++i)
    if ((unsigned char)buf[i] >= 0x20 && buf[i] != 0x7F) line += buf[i];
  return line.empty() ? "a session that names no holder" : line;
}

int failed(std::string& why, const std::string& file, const char* reason) {
  why = "the lock file " + file + " " + reason;
  return kLockFailed;
}
}  // namespace

int fileBytesRead(FileBytes& bytes, const std::string& path, size_t maxBytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) close(fd);
    return kReadNotPlain;
  }
  const size_t want = (size_t)st.st_size;
  if (want > maxBytes) {
    close(fd);
    return kReadTooLarge;
  }
  FileBytes got;
  if (want > 0) {
    got.data = memoryTake(want);
    if (!got.data) {
      close(fd);
      return kReadNoMemory;
    }
    got.room = want;
  }
  while (got.size < want) {
    const ssize_t r = read(fd, got.data + got.size, want - got.size);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      close(fd);
      fileBytesFree(got);
      return kReadFailed;
    }
    if (r == 0) break;
    got.size += (size_t)r;
  }
  close(fd);
  fileBytesFree(bytes);
  bytes = got;
  return kReadDone;
}

// Huge pages are 2 MB on the systems the host runs on: the room is aligned to them, and
// the system asked to fault it in by huge page.
char* memoryTake(size_t bytes) {
  const size_t huge = size_t(2) << 20;
  const size_t mapped = bytes + huge;
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  char* const start = static_cast<char*>(p);
  char* const aligned = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(start) + huge - 1) & ~(huge - 1));
  if (aligned > start) munmap(start, size_t(aligned - start));
  char* const end = aligned + bytes;
  if (end < start + mapped) munmap(end, size_t(start + mapped - end));
  madvise(aligned, bytes, MADV_HUGEPAGE);  // only advice: ordinary pages serve without it
  return aligned;
}

void memoryGive(char* memory, size_t bytes) {
  if (memory) munmap(memory, bytes);
}

void fileBytesFree(FileBytes& bytes) {
  if (bytes.room) munmap(bytes.data, bytes.room);
  bytes = FileBytes{};
}

int drawingLockTake(DrawingLock& lock, const std::string& drawingPath, std::string& holder, std::string& why) {
  drawingLockRelease(lock);
  const std::string file = lockFileOf(drawingPath);
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    const bool writable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed(why, file, (std::string("cannot be made: ") + std::strerror(errno)).c_str());
    struct stat held, named;
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      close(fd);
      return failed(why, file, "is no plain file");
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      if (err == EWOULDBLOCK) holder = readHolder(fd);
      close(fd);
      if (err == EWOULDBLOCK) return kLockHeld;
      if (err == EINTR) continue;
      return failed(why, file, (std::string("cannot be locked: ") + std::strerror(err)).c_str());
    }
    // A session that ends removes its file while it holds it: a name that no longer leads
    // to the file locked here is tried again.
    if (stat(file.c_str(), &named) != 0 || !sameFile(held, named)) {
      close(fd);
      continue;
    }
    if (!writable) {
      // Another user's file that no session holds: replaced by one of this session's own.
      const bool removed = unlink(file.c_str()) == 0;
      close(fd);
      if (removed) continue;
      return failed(why, file, "belongs to another user and cannot be replaced");
    }
    const std::string line = holderLine();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, line.data(), line.size(), 0) != (ssize_t)line.size()) {
      unlink(file.c_str());
      close(fd);
      return failed(why, file, "cannot be written");
    }
    lock.file = file;
    lock.handle = fd;
    return kLockTaken;
  }
  return failed(why, file, "keeps changing");
}

void drawingLockRelease(DrawingLock& lock) {
  if (lock.handle < 0) return;
  struct stat held, named;
  if (fstat((int)lock.handle, &held) == 0 && stat(lock.file.c_str(), &named) == 0 && sameFile(held, named))
    unlink(lock.file.c_str());
  close((int)lock.handle);
  lock.handle = -1;
  lock.file.clear();
}

FileStamp fileStampOf(const std::string& path) {
  FileStamp s;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = (uint64_t)st.st_size;
  s.modified = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

bool linkTargetOf(const std::string& path, std::string& target) {
  target.clear();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved) {
    target = resolved;
    std::free(resolved);
  }
  return true;
}

}  // namespace cadhost
