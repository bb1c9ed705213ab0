// libFuzzer target: the DXF reader on raw bytes must refuse or read, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include "hostimpl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AcDbDatabase db(false);
  std::wstring why;
  cadhost::dxfInFromText(&db, std::string(reinterpret_cast<const char*>(data), size), &why);
  return 0;
}
