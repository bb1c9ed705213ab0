// The connection guard: the HTTP library reads any number of header lines and lets a
// client trickle a request for as long as each byte comes within the read timeout, so a
// single client could make the server hold unbounded memory or a worker for hours. The
// guard looks at the process's TCP connections a few times a second and cuts any that has
// received more than a well-behaved client ever sends, or has lived longer than one ever
// needs. The worker serving it then sees the connection end and frees what it holds.
#pragma once
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <thread>

struct SelGuardLimits {
  uint64_t maxBytes = 0;  // bytes received on one connection
  int maxSeconds = 0;     // life of one connection
};

struct SelGuard {
  SelGuardLimits limits;
  int listeningSocket = -1;  // never cut
  std::map<ino_t, std::chrono::steady_clock::time_point> seen;  // socket inode -> first seen
  std::atomic<bool> running{false};
  std::thread thread;
};

// One look at the connections: cuts (shuts down) those over the limits and returns how many.
int sel_guard_scan(SelGuard& guard, std::chrono::steady_clock::time_point now);

// Scans every intervalMs milliseconds in a thread of its own until sel_guard_stop.
void sel_guard_start(SelGuard& guard, int intervalMs);
void sel_guard_stop(SelGuard& guard);
