// What the harnesses whose readers take a file share: a private folder for the files they
// write, removed when the process ends.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzfiles {
inline const std::string& folder() {
  // Never destroyed: the removal at exit runs after static objects are gone.
  static const std::string* path = [] {
    const char* tmp = std::getenv("TMPDIR");
    auto* made = new std::string(std::string(tmp && *tmp ? tmp : "/tmp") + "/zephyr-fuzz-XXXXXX");
    if (!mkdtemp(&(*made)[0])) std::abort();
    std::atexit([] { std::system(("rm -rf '" + folder() + "'").c_str()); });
    return made;
  }();
  return *path;
}

// The file `name` in the folder, holding exactly the bytes given.
inline std::string write(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = folder() + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}
}  // namespace fuzzfiles
