// Opening an address or document with the user's browser: $BROWSER, else xdg-open. The
// program gets the address as one argument and no shell ever sees it (the address may
// carry a password and any character). It runs as a grandchild, so it is never waited
// for and never left as a zombie; the process keeps a pidfd of each program it started
// so that a host script can wait until they have ended.
#include "base_internal.h"
#include "winhost.h"
#include <poll.h>
#include <sys/syscall.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace zwin;

namespace {

bool isOpenVerb(LPCSTR verb) { return !verb || !*verb || equalNoCase(verb, "open"); }

// The programs started through the shell that have not been seen to end, as pidfds.
struct StartedPrograms {
  std::mutex mutex;
  std::vector<int> pidfds;
};

StartedPrograms& startedPrograms() {
  static StartedPrograms* programs = new StartedPrograms;
  return *programs;
}

void recordStarted(pid_t pid) {
  int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return;  // a kernel without pidfds: the program cannot be waited for
  StartedPrograms& p = startedPrograms();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.pidfds.push_back(fd);
}

// The browser command: $BROWSER split at blanks with every "%s" replaced by the address,
// the address appended when no word has "%s"; xdg-open when BROWSER is unset or blank.
std::vector<std::string> browserCommand(const std::string& address) {
  std::vector<std::string> words;
  const char* browser = getenv("BROWSER");
  bool placed = false;
  std::string text = browser ? browser : "";
  size_t at = 0;
  while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
    size_t end = text.find_first_of(" \t", at);
    std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    for (size_t s = 0; (s = word.find("%s", s)) != std::string::npos; s += address.size()) {
      word.replace(s, 2, address);
      placed = true;
    }
    words.push_back(word);
    at = end;
  }
  if (words.empty()) words.push_back("xdg-open");
  if (!placed) words.push_back(address);
  return words;
}

// Starts the command; 0 and the process id, or an errno value. The intermediate process
// stays until the pidfd is taken, so the program's pid cannot be reused in between.
int startDetached(const std::vector<std::string>& command, const std::string& folder, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  // The browser must not read the host's input (a script may be on it).
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  int result[2] = {ECHILD, 0};
  int fds[2], release[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    result[0] = errno;
  } else if (pipe2(release, O_CLOEXEC) != 0) {
    result[0] = errno;
    close(fds[0]);
    close(fds[1]);
  } else {
    pid_t middle = fork();
    if (middle == 0) {
      close(release[1]);
      pid_t child = 0;
      int rc = posix_spawnp(&child, argv[0], &actions, &attr, argv.data(), environ);
      int msg[2] = {rc, (int)child};
      ssize_t ignored = write(fds[1], msg, sizeof msg);
      (void)ignored;
      char byte;
      while (read(release[0], &byte, 1) < 0 && errno == EINTR) {
      }
      _exit(0);
    }
    close(fds[1]);
    close(release[0]);
    if (middle < 0) {
      result[0] = errno;
    } else {
      ssize_t n;
      while ((n = read(fds[0], result, sizeof result)) < 0 && errno == EINTR) {
      }
      if (n != (ssize_t)sizeof result) result[0] = ECHILD;
      if (result[0] == 0) recordStarted(result[1]);
    }
    close(release[1]);
    if (middle > 0) {
      int status;
      while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
      }
    }
    close(fds[0]);
  }
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  pid = result[1];
  return result[0];
}

long long nowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

int winWaitForShellPrograms(unsigned timeoutMs) {
  StartedPrograms& p = startedPrograms();
  std::lock_guard<std::mutex> lock(p.mutex);
  const long long deadline = nowMs() + timeoutMs;
  while (!p.pidfds.empty()) {
    std::vector<pollfd> waits;
    for (int fd : p.pidfds) waits.push_back(pollfd{fd, POLLIN, 0});
    long long left = deadline - nowMs();
    int ready = poll(waits.data(), waits.size(), left > 0 ? (int)left : 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    p.pidfds.clear();
    for (const pollfd& w : waits) {
      if (w.revents) close(w.fd);  // ended (or no longer a process to wait for)
      else p.pidfds.push_back(w.fd);
    }
    if (ready == 0) break;
  }
  return (int)p.pidfds.size();
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!info || info->cbSize != sizeof *info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  info->hInstApp = (HINSTANCE)(INT_PTR)SE_ERR_FNF;
  if (!isOpenVerb(info->lpVerb)) {
    info->hInstApp = (HINSTANCE)(INT_PTR)SE_ERR_NOASSOC;
    SetLastError(ERROR_NO_ASSOCIATION);
    return FALSE;
  }
  if (!info->lpFile || !*info->lpFile) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::string folder = info->lpDirectory && *info->lpDirectory ? resolvePath(info->lpDirectory) : "";
  pid_t pid = 0;
  int err = startDetached(browserCommand(info->lpFile), folder, pid);
  if (err != 0) {
    setLastErrorFromErrno(err);
    info->hInstApp = (HINSTANCE)(INT_PTR)(err == EACCES ? SE_ERR_ACCESSDENIED : SE_ERR_FNF);
    return FALSE;
  }
  info->hInstApp = (HINSTANCE)(INT_PTR)42;  // above 32: success
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
    KernelObject process;
    process.kind = KernelObject::Process;
    process.pid = (int)pid;
    info->hProcess = newKernelHandle(process);
  }
  return TRUE;
}
