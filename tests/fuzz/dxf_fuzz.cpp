// The DXF reader on raw bytes: a drawing is refused or read, never a crash or a hang; and
// a drawing that was read saves into a file that reads again and saves the same, so a
// drawing the host opened and saved always opens again holding the same objects.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "hostimpl.h"
#include "saved_drawing.h"

namespace {
using fuzzdxf::saved;

[[noreturn]] void fail(const char* what, const std::wstring& why) {
  std::fprintf(stderr, "dxf_fuzz: %s: %s\n", what, cadhost::toUtf8(why).c_str());
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = std::setlocale(LC_CTYPE, "C.UTF-8");  // names compare as in cadhost
  (void)started;
  AcDbDatabase db(false);
  std::wstring why;
  if (cadhost::dxfInFromText(&db, std::string(reinterpret_cast<const char*>(data), size), &why) != Acad::eOk)
    return 0;
  std::string first, second;
  if (!saved(db, first)) fail("the drawing read does not save", L"");
  AcDbDatabase again(false);
  if (cadhost::dxfInFromText(&again, first, &why) != Acad::eOk) fail("the saved drawing does not open", why);
  if (!saved(again, second)) fail("the reopened drawing does not save", L"");
  if (second != first) {
    // ZEPHYR_FUZZ_SHOW=1 keeps both saves (saved-1.dxf, saved-2.dxf) to compare.
    if (std::getenv("ZEPHYR_FUZZ_SHOW")) {
      std::ofstream("saved-1.dxf", std::ios::binary) << first;
      std::ofstream("saved-2.dxf", std::ios::binary) << second;
    }
    size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
    size_t line = 1;
    for (size_t i = 0; i < at; ++i) line += first[i] == '\n';
    fail("saved, opened and saved again, the drawing differs from line", std::to_wstring(line));
  }
  return 0;
}
