// Feeds random queries and requests to the Ductora server's parsers: no crash, no
// overrun, no hang, whatever the text.
//   fuzz_ductora -max_total_time=60 [CORPUS_DIR]
#include <cstddef>
#include <cstdint>
#include <string>
#include "du_server.h"

namespace {
DuServer& server() {
  static DuServer* s = [] {
    DuServer* n = new DuServer;
    unsigned* next = new unsigned(0x100);
    n->hooks.drawingPath = [] { return std::string(); };  // the project stays in memory
    n->hooks.createEntity = [next](const DuPart&, std::string&) {
      char buf[16];
      snprintf(buf, sizeof buf, "%X", (*next)++ % 0x400 + 0x100);
      return std::string(buf);
    };
    n->hooks.entityAlive = [](const std::string& h) { return h.size() % 3 != 0; };
    n->hooks.blockExists = [](const std::string& b) { return b == "B"; };
    du_sync(*n);
    n->project.systems = {{3, "0", "Supply"}, {4, "1", "Extract"}};
    n->project.series = {{"SR", "Spiro", {"100", "125"}}, {"RECT", "Rect", {"400x200"}}};
    std::string h;
    du_add_duct_end(*n, DuVec{0, 0, 0}, 3, 1, 1, h);
    return n;
  }();
  return *s;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  DuServer& s = server();
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t cut = text.find('\n');
  std::string a = text.substr(0, cut), b = cut == std::string::npos ? "" : text.substr(cut + 1);
  std::string out;
  double n = 0;
  DuVec p;
  switch (data[0] % 10) {
    case 0: du_get_string(s, a, b, out); break;
    case 1: du_get_number(s, a, b, n); break;
    case 2: du_get_point(s, a, b, p); break;
    case 3: du_set_string(s, "100", a, b); break;
    case 4: du_set_number(s, "100", a, double(b.size())); break;
    case 5: du_create_part(s, text, out); break;
    case 6: du_create_connection_stub(s, text, out); break;
    case 7: du_manage_product_data(s, text); break;
    case 8: du_alloc_binary(s, 1, long(a.size()) * 4); du_write_binary(s, 1, long(b.size() % 7), a); break;
    case 9: du_set_point(s, a, b, DuVec{1, 2, 3}); break;
  }
  // Keep the project from growing without bound across runs.
  if (s.project.parts.size() > 64) s.project.parts.resize(1);
  return 0;
}
