// Feeds random queries, requests, line-type definitions and project files to the Ductora
// server's readers: no crash, no overrun, no hang, whatever the text; a project file that
// reads is written back to a text that reads again to the same project.
//   ./run fuzz SECONDS (ductora_fuzz), replayed by the test fuzz.ductora
// The first byte chooses the reader; for queries the rest is "handle\nquery" or
// "query\nvalue".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include "du_internal.h"

namespace {
DuServer& server() {
  static DuServer* s = [] {
    DuServer* n = new DuServer;
    unsigned* next = new unsigned(0x100);
    n->hooks.drawingPath = [] { return std::string(); };  // the project stays in memory
    n->hooks.createEntity = [next](const DuPart&, std::string&) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%X", (*next)++ % 0x400 + 0x100);
      return std::string(buf);
    };
    n->hooks.updateEntity = [](const DuPart& p, std::string&) { return p.handle.size() % 5 != 0; };
    n->hooks.entityAlive = [](const DuPart& p) { return p.handle.back() != 'F'; };
    n->hooks.blockExists = [](const std::string& b) { return b == "B"; };
    du_sync(*n);
    n->project.systems = {{3, "0", "Supply"}, {4, "1", "Extract"}};
    n->project.series = {{"SR", "Spiro", {"100", "125"}}, {"RECT", "Rect", {"400x200"}}};
    std::string h;
    du_create_part(*n,
                   "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System>"
                   "<Position><WCS>0 0 0</WCS></Position><Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>0 0 1"
                   "</WCS></Normal></Part></CreatePart>",
                   h);  // part 100, the parent the corpus's stubs name
    return n;
  }();
  return *s;
}

// A project that reads writes a text that reads again to the same text.
void roundTrip(const std::string& text) {
  DuProject first, second;
  std::string error;
  if (du_project_parse(text, first, error) != 0) return;
  const std::string written = du_project_text(first);
  if (du_project_parse(written, second, error) != 0 || du_project_text(second) != written) __builtin_trap();
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
  switch (data[0] % 12) {
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
    case 10: roundTrip(text); break;
    case 11: du_read_linetypes(text); break;
  }
  // Keep the project from growing without bound across runs.
  if (s.project.parts.size() > 64) s.project.parts.resize(1);
  return 0;
}
