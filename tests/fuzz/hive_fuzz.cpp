// The hive text reader on raw bytes: a hive is read or refused, never a crash, and what
// is read writes back to text that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include "reg_hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  zwin::RegKey root;
  std::string reason;
  if (zwin::parseHive(text, "HKEY_LOCAL_MACHINE", root, reason) != 0) return 0;
  std::string written = zwin::formatHive(root, "HKEY_LOCAL_MACHINE");
  zwin::RegKey again;
  if (zwin::parseHive(written, "HKEY_LOCAL_MACHINE", again, reason) != 0) std::abort();
  if (zwin::formatHive(again, "HKEY_LOCAL_MACHINE") != written) std::abort();
  return 0;
}
