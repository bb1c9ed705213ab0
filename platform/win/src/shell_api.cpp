// Opening an address or document with the user's browser: $BROWSER, else xdg-open. The
// program gets the address as one argument and no shell ever sees it (the address may
// carry a password and any character). It runs as a grandchild, so it is never waited
// for and never left as a zombie.
#include "base_internal.h"
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace zwin;

namespace {

bool isOpenVerb(LPCSTR verb) { return !verb || !*verb || equalNoCase(verb, "open"); }

// Starts program with one argument; 0 and the process id, or an errno value.
int startDetached(const char* program, const char* argument, const std::string& folder, pid_t& pid) {
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
  char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};

  int result[2] = {ECHILD, 0};
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    result[0] = errno;
  } else {
    pid_t middle = fork();
    if (middle == 0) {
      pid_t child = 0;
      int rc = posix_spawnp(&child, program, &actions, &attr, argv, environ);
      int msg[2] = {rc, (int)child};
      ssize_t ignored = write(fds[1], msg, sizeof msg);
      (void)ignored;
      _exit(0);
    }
    close(fds[1]);
    if (middle < 0) {
      result[0] = errno;
    } else {
      int status;
      while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
      }
      ssize_t n;
      while ((n = read(fds[0], result, sizeof result)) < 0 && errno == EINTR) {
      }
      if (n != (ssize_t)sizeof result) result[0] = ECHILD;
    }
    close(fds[0]);
  }
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  pid = result[1];
  return result[0];
}

}  // namespace

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
  const char* browser = getenv("BROWSER");
  const char* program = (browser && *browser) ? browser : "xdg-open";
  std::string folder = info->lpDirectory && *info->lpDirectory ? resolvePath(info->lpDirectory) : "";
  pid_t pid = 0;
  int err = startDetached(program, info->lpFile, folder, pid);
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
