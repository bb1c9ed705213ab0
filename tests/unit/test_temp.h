// The folder tests make their files in: $TMPDIR when it names a folder, else /tmp, so that
// a TMPDIR naming a missing folder does not fail every test that makes a file; and the
// whole of a file a test made, as bytes.
#pragma once
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

inline std::string testTempRoot() {
  const char* dir = std::getenv("TMPDIR");
  struct stat st;
  if (dir && *dir && stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return "/tmp";
}

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
