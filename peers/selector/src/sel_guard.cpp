#include "sel_guard.h"

#include <dirent.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <string>

namespace {

// The inode of the socket behind fd, or 0 when fd is no socket.
ino_t socketInode(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode) ? st.st_ino : 0;
}

}  // namespace

int sel_guard_scan(SelGuard& guard, std::chrono::steady_clock::time_point now) {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return 0;
  std::map<ino_t, std::chrono::steady_clock::time_point> still;
  int cut = 0;
  while (dirent* entry = readdir(dir)) {
    char* end = nullptr;
    long fd = std::strtol(entry->d_name, &end, 10);
    if (*end || end == entry->d_name || fd == dirfd(dir) || fd == guard.listeningSocket) continue;
    ino_t inode = socketInode(static_cast<int>(fd));
    tcp_info info{};
    socklen_t size = sizeof info;
    int listening = 0;
    socklen_t flagSize = sizeof listening;
    if (!inode || getsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagSize) != 0 || listening)
      continue;
    auto first = guard.seen.find(inode);
    auto since = first == guard.seen.end() ? now : first->second;
    still[inode] = since;
    bool tooLong = now - since > std::chrono::seconds(guard.limits.maxSeconds);
    bool tooMuch = size >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received &&
                   info.tcpi_bytes_received > guard.limits.maxBytes;
    // The fd may have been closed and reused meanwhile: cut it only while it is the same socket.
    if ((tooLong || tooMuch) && socketInode(static_cast<int>(fd)) == inode) {
      shutdown(static_cast<int>(fd), SHUT_RDWR);
      ++cut;
    }
  }
  closedir(dir);
  guard.seen.swap(still);
  return cut;
}

void sel_guard_start(SelGuard& guard, int intervalMs) {
  guard.running = true;
  guard.thread = std::thread([&guard, intervalMs] {
    while (guard.running) {
      sel_guard_scan(guard, std::chrono::steady_clock::now());
      std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
    }
  });
}

void sel_guard_stop(SelGuard& guard) {
  guard.running = false;
  if (guard.thread.joinable()) guard.thread.join();
}
