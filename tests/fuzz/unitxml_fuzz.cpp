// The unit file reader on raw bytes: a unit file is read or refused with the system's
// message, never a crash, an overrun or an exhausted stack.
#include <cstdint>
#include <string>

#include "download.h"
#include "fuzz_files.h"
#include "hosttest.h"
#include "selector_settings.h"
#include "unitxml.h"

// The chosen file always exists here; nothing is ever downloaded.
int DownloadFile(const char*, const char*, long*) { return -1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (cadhost::startTestSession(), true);
  (void)started;
  const std::string path = fuzzfiles::write("unit.xml", data, size);
  cadhost::addAnswers({"yes"});
  UnitRecord unit;
  readUnitXml(unit, SelectorSettings(), "", path.c_str());
  cadhost::takeOutput();
  return 0;
}
