// Guards against requests that create half-checked parts, crash on malformed XML, or
// add duct series the product database does not have.
#include <sqlite3.h>
#include "du_fake.h"

namespace {
std::string stubRequest(const std::string& function, const std::string& parent, int system,
                        const std::string& connections, const std::string& sound = "") {
  return "<CreateConnectionStub><Function><Name>" + function + "</Name></Function><ParentPart>" + parent +
         "</ParentPart><System><ID>" + std::to_string(system) + "</ID></System>" + sound + "<Connections>" +
         connections + "</Connections></CreateConnectionStub>";
}

const std::string kRoundConnection =
    "<Connection><Position><WCS>0.000000 0.000000 0.000000</WCS></Position>"
    "<Direction><WCS>1.000000 0.000000 0.000000</WCS></Direction>"
    "<Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Shape><ID>0</ID></Shape>"
    "<Diameter>315</Diameter></Connection>";
const std::string kRectConnection =
    "<Connection><Position><WCS>1300.000000 0.000000 0.000000</WCS></Position>"
    "<Direction><WCS>-1.000000 0.000000 0.000000</WCS></Direction>"
    "<Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Shape><ID>1</ID></Shape>"
    "<Width>400</Width><Height>200</Height></Connection>";

std::string ductRequest(const std::string& endA, const std::string& endB, const std::string& serie = "RECT") {
  return "<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type>"
         "<Connection><ConnectedTo>" + endA + "</ConnectedTo><Position><WCS>0.000000 0.000000 0.000000</WCS></Position></Connection>"
         "<Connection><ConnectedTo>" + endB + "</ConnectedTo><Position><WCS>1300.000000 0.000000 0.000000</WCS></Position></Connection>"
         "<System><ID>3</ID><Type><ID>0</ID></Type></System><Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal>"
         "<Serie><ID>" + serie + "</ID></Serie><Shape><ID>1</ID></Shape><Width>400</Width><Height>200</Height>"
         "</Part></CreatePart>";
}
}  // namespace

TEST_F(DuctoraTest, CustomPartFromTheClientsRequest) {
  writeSampleProject();
  std::string h = customPart();
  std::string s;
  ASSERT_EQ(du_get_string(server, h, "/Part/Type/Define", s), DU_OK);
  EXPECT_EQ(s, "EWAPART_CUSTOM");
  ASSERT_EQ(du_get_string(server, h, "/Part/CustomPartType", s), DU_OK);
  EXPECT_EQ(s, "Unit & co");
  DuVec p;
  ASSERT_EQ(du_get_point(server, h, "/Part/Position/WCS", p), DU_OK);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
}

TEST_F(DuctoraTest, StubsAndDuctJoinParts) {
  writeSampleProject();
  std::string unit = customPart();
  std::string fan, branch, duct;
  ASSERT_EQ(du_create_connection_stub(
                server,
                stubRequest("Fan", unit, 3, kRoundConnection,
                            "<Sound><Attenuation><dB>1.000000 0.000000 0.000000 0.000000 0.000000 0.000000 "
                            "0.000000 0.000000</dB></Attenuation></Sound>"),
                fan),
            DU_OK)
      << server.lastError;
  std::string s;
  ASSERT_EQ(du_get_string(server, fan, "/Part/ExternalPart/Function/Name", s), DU_OK);
  EXPECT_EQ(s, "Fan");
  double n;
  ASSERT_EQ(du_get_number(server, fan, "/Part/System/ID", n), DU_OK);
  EXPECT_EQ(n, 3);
  ASSERT_EQ(du_create_connection_stub(server, stubRequest("NBranch", unit, 3, kRoundConnection + kRectConnection),
                                      branch),
            DU_OK)
      << server.lastError;
  ASSERT_EQ(du_create_part(server, ductRequest(fan, branch), duct), DU_OK) << server.lastError;
  ASSERT_EQ(du_get_string(server, duct, "/Part/Connection[1]/ConnectedTo", s), DU_OK);
  EXPECT_EQ(s, branch);
  // A duct end that meets no stub yet is allowed.
  ASSERT_EQ(du_create_part(server, ductRequest("", branch), duct), DU_OK) << server.lastError;
}

TEST_F(DuctoraTest, RequestsThatAreRefused) {
  writeSampleProject();
  std::string unit = customPart();
  struct Case {
    const char* what;
    std::string request;
  };
  std::vector<Case> cases = {
      {"not XML", "<CreateConnectionStub"},
      {"wrong root", "<CreatePart/>"},
      {"two roots", stubRequest("Fan", unit, 3, kRoundConnection) + "<X/>"},
      {"unknown function", stubRequest("Pump", unit, 3, kRoundConnection)},
      {"unknown parent", stubRequest("Fan", "ABCDEF", 3, kRoundConnection)},
      {"unknown system", stubRequest("Fan", unit, 99, kRoundConnection)},
      {"two connections on a fan", stubRequest("Fan", unit, 3, kRoundConnection + kRoundConnection)},
      {"one connection on a branch", stubRequest("NBranch", unit, 3, kRoundConnection)},
      {"no connections", stubRequest("Fan", unit, 3, "")},
      {"unknown element", stubRequest("Fan", unit, 3, kRoundConnection, "<Colour>red</Colour>")},
      {"seven sound values",
       stubRequest("Fan", unit, 3, kRoundConnection, "<Sound><Generation><dB>1 2 3 4 5 6 7</dB></Generation></Sound>")},
      {"bad number", stubRequest("Fan", unit, 3,
                                 "<Connection><Position><WCS>0 0 nan</WCS></Position><Direction><WCS>1 0 0</WCS>"
                                 "</Direction><Normal><WCS>0 0 1</WCS></Normal><Shape><ID>0</ID></Shape>"
                                 "<Diameter>1</Diameter></Connection>")},
      {"deep nesting", std::string(100000, '<').replace(0, 1, "<CreatePart>")},
  };
  for (const Case& c : cases) {
    std::string handle = "untouched";
    server.lastError.clear();
    EXPECT_NE(du_create_connection_stub(server, c.request, handle), DU_OK) << c.what;
    EXPECT_FALSE(server.lastError.empty()) << c.what;
    EXPECT_EQ(handle, "untouched") << c.what;
  }
  std::string nested;
  for (int i = 0; i < 50000; ++i) nested += "<Part>";
  std::string h;
  EXPECT_EQ(du_create_part(server, "<CreatePart>" + nested, h), DU_BAD_REQUEST);
  EXPECT_EQ(server.lastError, "The request is nested too deeply.");
  std::string crafted;  // "/>" in a value once passed the depth check
  for (int i = 0; i < 100000; ++i) crafted += "<Part x='/>'>";
  EXPECT_EQ(du_create_part(server, "<CreatePart>" + crafted, h), DU_BAD_REQUEST);
  EXPECT_EQ(server.lastError, "The request is nested too deeply.");
  EXPECT_EQ(du_create_part(server, ductRequest(unit, unit, "-1"), h), DU_BAD_REQUEST);
  EXPECT_EQ(server.lastError, "The project has no duct serie \"-1\".");
  EXPECT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_WINDOW</Define></Type></Part></CreatePart>", h),
            DU_BAD_REQUEST);
  // Nothing refused reached the project.
  double n;
  ASSERT_EQ(du_get_number(server, "", "Count(/Project/Part)", n), DU_OK);
  EXPECT_EQ(n, 1);
}

TEST_F(DuctoraTest, RefusedEntityLeavesNoPart) {
  writeSampleProject();
  drawing.refuse = true;
  std::string h;
  EXPECT_EQ(du_add_duct_end(server, DuVec{0, 0, 0}, 3, 1, 1, h), DU_DRAWING);
  EXPECT_NE(server.lastError.find("refused by the test"), std::string::npos);
  EXPECT_TRUE(h.empty());
}

namespace {
// A product database as the catalogue build makes it (the tables Ductora reads).
void makeProductDb(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const char* sql =
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT);"
      "INSERT INTO meta VALUES('format','tek-database 1');"
      "CREATE TABLE records(tab TEXT, key TEXT, data BLOB);"
      "CREATE TABLE record_attributes(tab TEXT, key TEXT, number INTEGER, value TEXT);"
      "INSERT INTO records VALUES('MAS','VH-RECT',NULL);"
      "INSERT INTO record_attributes VALUES('MAS','VH-RECT',1501,'Ventholm Rect  ');"
      "INSERT INTO record_attributes VALUES('MAS','VH-RECT',1502,'300x150;400x200');";
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

std::string productRequest(const std::string& file, const std::string& serie) {
  return "<ManageProductData><Function><Name>Add</Name></Function><TCD><Filename>" + file +
         "</Filename></TCD><TCDClass><Name>DuctSerie</Name></TCDClass><Serie><ID>" + serie +
         "</ID></Serie></ManageProductData>";
}
}  // namespace

TEST_F(DuctoraTest, DuctSerieFromTheProductDatabase) {
  writeSampleProject();
  std::string db = folder + "/models.tcd";
  makeProductDb(db);
  ASSERT_EQ(du_manage_product_data(server, productRequest(db, "VH-RECT")), DU_OK) << server.lastError;
  std::string s;
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/DuctSerie[2]/Name", s), DU_OK);
  EXPECT_EQ(s, "Ventholm Rect");
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/DuctSerie[2]/Size[1]/Name", s), DU_OK);
  EXPECT_EQ(s, "400x200");
  // Adding it again replaces it rather than listing it twice.
  ASSERT_EQ(du_manage_product_data(server, productRequest(db, "VH-RECT")), DU_OK);
  double n;
  ASSERT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/DuctSerie)", n), DU_OK);
  EXPECT_EQ(n, 3);

  EXPECT_EQ(du_manage_product_data(server, productRequest(db, "VH-NONE")), DU_BAD_VALUE);
  EXPECT_NE(server.lastError.find("has no duct serie \"VH-NONE\""), std::string::npos);
  EXPECT_EQ(du_manage_product_data(server, productRequest(folder + "/missing.tcd", "VH-RECT")), DU_BAD_VALUE);
  write(folder + "/text.tcd", "not a database");
  EXPECT_EQ(du_manage_product_data(server, productRequest(folder + "/text.tcd", "VH-RECT")), DU_BAD_VALUE);
}
