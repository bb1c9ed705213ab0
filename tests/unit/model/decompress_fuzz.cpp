// libFuzzer target: any bytes as a downloaded model file; DecompressFile must end in 0 or
// -6 (never a crash, never another result). Built when the tree is configured with clang.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "modeldb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string folder = [] {
    char pattern[] = "/tmp/zephyr-decompress-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  std::string in = folder + "/in.gz";
  std::string out = folder + "/out";
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  int result = DecompressFile(in.c_str(), out.c_str());
  if (result != 0 && result != -6) std::abort();
  return 0;
}
