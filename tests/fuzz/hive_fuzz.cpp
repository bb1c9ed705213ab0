// The hive text reader on raw bytes: a hive (of either root) is read or refused, never a
// crash, and what is read writes back, in both encodings the registry writes, to text
// that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reg_hive.h"

namespace {
void roundTrip(const zwin::RegKey& root, const char* rootName, bool utf16) {
  std::string written = zwin::formatHive(root, rootName, utf16), reason;
  zwin::RegKey again;
  if (zwin::parseHive(written, rootName, again, reason) != 0) std::abort();
  if (zwin::formatHive(again, rootName, utf16) != written) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* rootName : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
    zwin::RegKey root;
    std::string reason;
    if (zwin::parseHive(text, rootName, root, reason) != 0) continue;
    roundTrip(root, rootName, false);
    roundTrip(root, rootName, true);
  }
  return 0;
}
