// The host's partial menu reader (the loader's ZephyrDC.cuix and any menu a module names)
// on raw bytes: a menu loads or is refused, never a crash, and a loaded menu lists.
#include <cstdint>

#include "rxapi.h"
#include "fuzz_files.h"
#include "hostimpl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::wstring path = cadhost::fromUtf8(fuzzfiles::write("menu.cuix", nullptr, 0));
  fuzzfiles::write("menu.cuix", data, size);
  cadhost::setCapture(true);
  acedLoadPartialMenu(path.c_str());
  cadhost::listMenus();
  cadhost::setCapture(false);
  cadhost::clearMenus();
  return 0;
}
