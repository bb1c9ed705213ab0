#include "testfiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "download.h"

namespace testfiles {
namespace {

// One scratch folder per test program, removed when it ends.
struct Scratch {
  std::string folder;
  int count = 0;
  Scratch() {
    char pattern[] = "/tmp/zephyr-unit-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    folder = made ? made : "/tmp";
  }
  ~Scratch() {
    std::error_code ignored;
    if (folder != "/tmp") std::filesystem::remove_all(folder, ignored);
  }
};
Scratch& scratch() {
  static Scratch s;
  return s;
}

}  // namespace

std::string dataPath(const std::string& name) {
  return std::string(ZEPHYR_UNIT_TEST_DATA) + "/" + name;
}

std::string readData(const std::string& name) {
  std::ifstream file(dataPath(name), std::ios::binary);
  EXPECT_TRUE(file.good()) << dataPath(name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << "not in the test file: " << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string writeScratch(const std::string& text) {
  Scratch& s = scratch();
  std::string path = s.folder + "/unit" + std::to_string(++s.count) + ".xml";
  std::ofstream file(path, std::ios::binary);
  file << text;
  return path;
}

DownloadLog& downloads() {
  static DownloadLog log;
  return log;
}

}  // namespace testfiles

// The download of the selection's export, replaced in these tests by a double that
// records the address and writes the configured body.
int DownloadFile(const char* url, const char* saveFileName, long* status) {
  testfiles::DownloadLog& log = testfiles::downloads();
  if (status) *status = log.result >= 0 ? log.status : 0;
  ++log.calls;
  log.lastAddress = url ? url : "";
  log.lastTarget = saveFileName ? saveFileName : "";
  log.targetExisted = saveFileName && access(saveFileName, F_OK) == 0;
  if (log.result >= 0 && saveFileName) {
    std::ofstream file(saveFileName, std::ios::binary);
    file << log.body;
  }
  return log.result;
}
