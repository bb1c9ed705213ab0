// Drawings with Ductora's parts on raw bytes, Ductora's class added: a custom entity is read
// as a part, or kept as read when its groups do not read, never a crash; the drawing saves
// into a file that reads again and saves the same; and once the class goes, its parts are
// kept as they would be written, so the drawing saves the same again.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "du_entity.h"
#include "hostimpl.h"
#include "saved_drawing.h"

namespace {
using fuzzdxf::saved;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "durapart_fuzz: %s\n", what);
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = std::setlocale(LC_CTYPE, "C.UTF-8");
  (void)started;
  DURAPart::rxInit();
  std::string first, second, third;
  {
    AcDbDatabase db(false);
    std::wstring why;
    if (cadhost::dxfInFromText(&db, std::string(reinterpret_cast<const char*>(data), size), &why) != Acad::eOk) {
      deleteAcRxClass(DURAPart::desc());
      return 0;
    }
    if (!saved(db, first)) fail("the drawing read does not save");
    AcDbDatabase again(false);
    if (cadhost::dxfInFromText(&again, first, &why) != Acad::eOk) fail("the saved drawing does not open");
    if (!saved(again, second)) fail("the reopened drawing does not save");
    deleteAcRxClass(DURAPart::desc());
    if (!saved(again, third)) fail("the drawing without the class does not save");
  }
  if (second != first) fail("saved, opened and saved again, the drawing differs");
  if (third != first) fail("without its class, the drawing saves otherwise");
  return 0;
}
