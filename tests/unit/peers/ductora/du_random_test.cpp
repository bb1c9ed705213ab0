// Guards against crashes and hangs of the query and request parsers on random input.
#include <random>
#include "du_fake.h"

namespace {
const char* kPieces[] = {"<", ">", "/", "</", "/>", "CreatePart", "Part", "Type", "Define", "EWAPART_DUCT",
                         "EWAPART_CUSTOM", "Connection", "ConnectedTo", "Position", "WCS", "System", "ID",
                         "0 0 0", "1 0 0", "1e308", "-", "&amp;", "&#0;", "\"", "=", " ", "[", "]", "0",
                         "Count(", ")", "Project", "Ductwork", "DuctSerie", "Size", "Name", "999999",
                         "\xC3\xA5", "\xFF", "Shape", "Width", "Height", "Diameter", "Function", "Fan",
                         "NBranch", "ParentPart", "100", "Connections", "Sound", "dB", "Serie", "SR",
                         "<![CDATA[", "]]>", "<!--", "-->", "<?xml", "?>"};

std::string randomText(std::mt19937& rng) {
  std::string out;
  size_t n = rng() % 40;
  for (size_t i = 0; i < n; ++i) {
    if (rng() % 8 == 0) out += char(rng() % 256);
    else out += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
  }
  return out;
}
}  // namespace

TEST_F(DuctoraTest, RandomQueriesAndRequestsNeverCrash) {
  writeSampleProject();
  std::string unit = customPart();
  std::mt19937 rng(20110101);
  for (int i = 0; i < 3000; ++i) {
    std::string a = randomText(rng), b = randomText(rng), out;
    double n;
    DuVec p;
    switch (i % 7) {
      case 0: du_get_string(server, i % 2 ? unit : "", "/" + a, out); break;
      case 1: du_get_number(server, "", a, n); break;
      case 2: du_set_string(server, unit, "/Part/" + a, b); break;
      case 3: du_get_point(server, a, b, p); break;
      case 4: du_create_part(server, "<CreatePart><Part>" + a + b + "</Part></CreatePart>", out); break;
      case 5: du_create_connection_stub(server, a + b, out); break;
      case 6: du_manage_product_data(server, "<ManageProductData>" + a + "</ManageProductData>"); break;
    }
  }
  // The project still reads back.
  DuProject reread;
  std::string error;
  EXPECT_EQ(du_project_load(projectFile(), reread, error), 0) << error;
}
