// Benchmark driver: runs DecompressFile or DownloadFile once and reports the time taken
// and the peak resident memory on standard error.
//   zephyr_bench_model decompress IN OUT
//   zephyr_bench_model download URL OUT
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "download.h"
#include "modeldb.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s decompress IN OUT | download URL OUT\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  int result = 0;
  bool ok = false;
  if (std::strcmp(argv[1], "decompress") == 0) {
    result = DecompressFile(argv[2], argv[3]);
    ok = result == 0;
  } else if (std::strcmp(argv[1], "download") == 0) {
    result = DownloadFile(argv[2], argv[3]);
    ok = result == 1;
  } else {
    std::fprintf(stderr, "unknown benchmark %s\n", argv[1]);
    return 2;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::fprintf(stderr, "%s: result %d, %.3f s, peak RSS %.1f MB\n", argv[1], result, seconds,
               usage.ru_maxrss / 1024.0);
  return ok ? 0 : 1;
}
