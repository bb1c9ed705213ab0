// libFuzzer target: the unit file reader on arbitrary bytes must report or read, never
// crash, overrun or exhaust the stack. Corpus: tests/unit/unit/data.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "download.h"
#include "hosttest.h"
#include "selector_settings.h"
#include "unitxml.h"

namespace {
std::string scratchFile() {
  char pattern[] = "/tmp/zephyr-fuzz-unitxml-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd >= 0) close(fd);
  static std::string path = pattern;
  std::atexit([] { std::remove(path.c_str()); });
  return path;
}
}  // namespace

// The chosen file always exists here; nothing is ever downloaded.
int DownloadFile(const char*, const char*) { return -1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = scratchFile();
  static const bool started = (cadhost::startTestSession(), true);
  (void)started;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
  cadhost::addAnswers({"yes"});
  UnitRecord unit;
  readUnitXml(unit, SelectorSettings(), "", path.c_str());
  cadhost::takeOutput();
  return 0;
}
