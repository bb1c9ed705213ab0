// A fresh folder for one test, removed with everything in it afterwards.
#pragma once
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include "test_temp.h"  // readText

struct TestFolder {
  std::string path;
  TestFolder() {
    char name[] = "/tmp/zwin-test-XXXXXX";
    path = mkdtemp(name);
  }
  ~TestFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline bool fileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}
