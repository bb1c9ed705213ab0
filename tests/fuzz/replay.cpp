// Replays fuzz inputs through a harness without libFuzzer: every file named, and every
// file in every folder named, goes once through LLVMFuzzerTestOneInput. A harness stops
// the program (abort, sanitizer report) on a fault, so the exit status is the verdict.
//   NAME_replay FILE|FOLDER...
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {
void collect(const std::string& path, std::vector<std::string>& files) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  if (!S_ISDIR(st.st_mode)) {
    files.push_back(path);
    return;
  }
  DIR* dir = opendir(path.c_str());
  std::vector<std::string> names;
  while (dirent* e = dir ? readdir(dir) : nullptr)
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  if (dir) closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) collect(path + "/" + n, files);
}
}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) collect(argv[i], files);
  if (files.empty()) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 2;
  }
  for (const std::string& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A block of exactly the input's size, as under libFuzzer, so a read past the end shows.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size() + !data.size()]);
    std::copy(data.begin(), data.end(), exact.get());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", f.c_str(), data.size());
    LLVMFuzzerTestOneInput(exact.get(), data.size());
  }
  std::printf("replayed %zu inputs\n", files.size());
  return 0;
}
