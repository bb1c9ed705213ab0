// Guards against requests that create half-checked parts, crash on malformed XML, or
// add duct series the product database does not have.
#include <sqlite3.h>
#include <tinyxml.h>
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

std::string ductRequest(const std::string& endA, const std::string& endB, const std::string& serie = "RECT",
                        const std::string& pointB = "1300.000000 0.000000 0.000000") {
  return "<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type>"
         "<Connection><ConnectedTo>" + endA + "</ConnectedTo><Position><WCS>0.000000 0.000000 0.000000</WCS></Position></Connection>"
         "<Connection><ConnectedTo>" + endB + "</ConnectedTo><Position><WCS>" + pointB + "</WCS></Position></Connection>"
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

// Before, a duct was taken whatever it met: a round duct in a rectangular serie, an end
// beside the connection it named, of another size or system, a second duct on a joined
// connection, a custom part as a connection; and a stub of no size.
TEST_F(DuctoraTest, DuctsJoinOnlyConnectionsThatFit) {
  writeSampleProject();
  const std::string unit = customPart();
  std::string rectAtOrigin = kRectConnection;
  rectAtOrigin.replace(rectAtOrigin.find("1300.000000"), 11, "0.000000");
  std::string fan, other, branch, duct, s;
  ASSERT_EQ(du_create_connection_stub(
                server,
                stubRequest("Fan", unit, 3, rectAtOrigin,
                            "<Sound><Attenuation><dB>1.000000 0.000000 0.000000 0.000000 0.000000 0.000000 "
                            "0.000000 0.000000</dB></Attenuation></Sound>"),
                fan),
            DU_OK)
      << server.lastError;
  ASSERT_EQ(du_get_string(server, fan, "/Part/ExternalPart/Function/Name", s), DU_OK);
  EXPECT_EQ(s, "Fan");
  ASSERT_EQ(du_create_connection_stub(server, stubRequest("Fan", unit, 4, rectAtOrigin), other), DU_OK);
  ASSERT_EQ(du_create_connection_stub(server, stubRequest("NBranch", unit, 3, kRoundConnection + kRectConnection),
                                      branch),
            DU_OK)
      << server.lastError;
  const std::string end = ductEnd();
  const std::string joined = "(/CreatePart/Part/Connection[1]).", joined2 = "(/CreatePart/Part/Connection[2]).";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {ductRequest(fan, branch, "SR"), "The duct serie \"SR\" is round, the duct rectangular 400x200 "
                                       "(/CreatePart/Part/Shape/ID)."},
      {ductRequest(fan, branch, "RECT", "1200.000000 0.000000 0.000000"),
       "End 2 of the duct is at 1200 0 0, not where " + branch + " is joined (0 0 0; 1300 0 0) " + joined2},
      {ductRequest(branch, ""), "End 1 of the duct is rectangular 400x200, the connection of " + branch +
                                    " it meets round 315 " + joined},
      {ductRequest(other, ""), "The duct is of system 3, " + other + " at its end 1 of system 4 " + joined},
      {ductRequest(unit, ""), "End 1 of the duct meets " + unit + ", a DURACustomPart; a duct joins connection stubs "
                              "and duct ends " + joined},
      {ductRequest(end, ""), "End 1 of the duct is at 0 0 0, not where " + end + " is joined (1000 2000 0) " + joined},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(du_create_part(server, c.first, duct), DU_BAD_REQUEST) << c.first;
    EXPECT_EQ(server.lastError, c.second);
  }
  ASSERT_EQ(du_create_part(server, ductRequest(fan, branch), duct), DU_OK) << server.lastError;
  ASSERT_EQ(du_get_string(server, duct, "/Part/Connection[1]/ConnectedTo", s), DU_OK);
  EXPECT_EQ(s, branch);
  // One duct to a connection; once that duct is erased, another may take its place.
  EXPECT_EQ(du_create_part(server, ductRequest(fan, ""), s), DU_BAD_REQUEST);
  EXPECT_EQ(server.lastError, "The connection of " + fan + " at 0 0 0 is joined to the duct " + duct + " already " +
                                  joined);
  EXPECT_EQ(du_create_part(server, ductRequest("", branch), s), DU_BAD_REQUEST);
  drawing.erased.insert(duct);
  EXPECT_EQ(du_create_part(server, ductRequest(fan, ""), s), DU_OK) << server.lastError;
  // A stub of no size.
  std::string none = kRoundConnection;
  none.replace(none.find("315"), 3, "0");
  EXPECT_EQ(du_create_connection_stub(server, stubRequest("Fan", unit, 3, none), s), DU_BAD_REQUEST);
  EXPECT_EQ(server.lastError, "Connection 1 of the stub has no size: its <Diameter> must not be 0 "
                              "(/CreateConnectionStub/Connections/Connection[1]).");
  EXPECT_EQ(du_create_connection_stub(server, stubRequest("NBranch", unit, 3, kRoundConnection +
                                                          std::string(kRectConnection).replace(kRectConnection.find(
                                                              "<Height>200"), 11, "<Height>0")),
                                      s),
            DU_BAD_REQUEST);
  EXPECT_NE(server.lastError.find("Connection 2 of the stub has no size"), std::string::npos);
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
  EXPECT_EQ(server.lastError, "The text is nested too deeply.");
  std::string crafted;  // "/>" in a value once passed the depth check
  for (int i = 0; i < 100000; ++i) crafted += "<Part x='/>'>";
  EXPECT_EQ(du_create_part(server, "<CreatePart>" + crafted, h), DU_BAD_REQUEST);
  EXPECT_EQ(server.lastError, "The text is nested too deeply.");
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

// Before, unknown attributes, a repeated <WCS>, stray text, a normal along the direction
// and coordinates of 1e308 were all taken; one such duct had a NaN direction that was
// saved as "-nan" and made the whole project unreadable.
TEST_F(DuctoraTest, StrictReaderSaysWhatAndWhere) {
  writeSampleProject();
  const std::string unit = customPart();
  const std::string place = "<Position><WCS>0 0 0</WCS></Position><Direction><WCS>1 0 0</WCS></Direction>"
                            "<Normal><WCS>0 0 1</WCS></Normal>";
  const std::string round = "<Shape><ID>0</ID></Shape><Diameter>315</Diameter>";
  auto stub = [&](const std::string& connections) {
    return "<CreateConnectionStub><Function><Name>Fan</Name></Function><ParentPart>" + unit +
           "</ParentPart><System><ID>3</ID></System><Connections>" + connections + "</Connections></CreateConnectionStub>";
  };
  auto custom = [](const std::string& rest) {
    return "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System><Position><WCS>"
           "0 0 0</WCS></Position>" + rest + "</Part></CreatePart>";
  };
  struct Case {
    std::string request, error;
  };
  const std::vector<Case> cases = {
      {stub("<Connection>" + place + round + "</Connection>"), ""},
      {stub("<Connection x=\"1\">" + place + round + "</Connection>"),
       "The element /CreateConnectionStub/Connections/Connection[1] has an attribute \"x\" that Ductora does not "
       "know."},
      {stub("<Connection><Position><WCS>0 0 0</WCS><WCS>1 1 1</WCS></Position>" + place.substr(37) + round +
            "</Connection>"),
       "The element <WCS> appears twice in /CreateConnectionStub/Connections/Connection[1]/Position."},
      {stub("<Connection>" + place + round + "</Connection>stray"),
       "Stray text \"stray\" in /CreateConnectionStub/Connections."},
      {stub("<Connection><Position><WCS>0 0 0</WCS></Position><Direction><WCS>0 0 2</WCS></Direction><Normal><WCS>"
            "0 0 1</WCS></Normal>" + round + "</Connection>"),
       "The normal of connection 1 lies along its direction."},
      {custom("<Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>-3 0 0</WCS></Normal>"),
       "The normal of the part lies along its direction."},
      {ductRequest(unit, unit, "RECT", "-1e308 0 0"),
       "/CreatePart/Part/Connection[2]/Position/WCS lies farther than 100000000 from the origin on an axis: "
       "\"-1e308 0 0\"."},
      {custom("<Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal><Description>a<b/>"
              "</Description>"),
       "/CreatePart/Part/Description holds a value, not the element <b>."},
      {custom("<Direction><WCS>1 0 0</WCS></Direction>"), "/CreatePart/Part lacks <Normal>."},
      {custom("<Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal><Productcode>\xC3&amp;"
              "</Productcode>"),
       "/CreatePart/Part/Productcode is not UTF-8 text."},
      {stub("<Connection>" + place + round + "</Connection>") + "<!-- note --><X/>",
       "The text must be one <CreateConnectionStub> element, with nothing but comments after it."},
      {stub("<Connection>" + place + "<Shape><ID>0</ID></Shape><Diameter>abc</Diameter></Connection>"),
       "/CreateConnectionStub/Connections/Connection[1]/Diameter must be a whole number from 0 to 100000, not "
       "\"abc\"."},
  };
  for (const Case& c : cases) {
    std::string handle;
    const bool stub = c.request.compare(0, 21, "<CreateConnectionStub") == 0;
    const long rc = stub ? du_create_connection_stub(server, c.request, handle) : du_create_part(server, c.request, handle);
    if (c.error.empty()) {
      EXPECT_EQ(rc, DU_OK) << server.lastError;
      continue;
    }
    EXPECT_EQ(rc, DU_BAD_REQUEST) << c.request;
    EXPECT_EQ(server.lastError, c.error) << c.request;
  }
  // Whatever was refused, the project saves and reads back.
  saveDrawing();
  DuProject reread;
  std::string error;
  EXPECT_EQ(du_project_load(projectFile(), reread, error), 0) << error;
  EXPECT_EQ(reread.parts.size(), 2u);
}

// Before, TinyXML's default condensed white space in every text, and a request over 2048
// bytes was journalled as "<N chars>", hiding what a test has to see.
TEST_F(DuctoraTest, UserTextIsKeptExactly) {
  writeSampleProject();
  const bool condensed = TiXmlBase::IsWhiteSpaceCondensed();
  std::string description = " Unit  with\ttab &amp; &lt;two&gt;\nlines ";
  description += std::string(1000 - description.size(), 'x');
  const std::string request =
      "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System><Position><WCS>0 0 0"
      "</WCS></Position><Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal><CustomPartType>" +
      description + "</CustomPartType><Description>" + description + "</Description><Geometry><Layer><Name> A  B "
      "</Name></Layer></Geometry></Part></CreatePart>";
  std::string h, s;
  ASSERT_EQ(du_create_part(server, request, h), DU_OK) << server.lastError;
  EXPECT_EQ(TiXmlBase::IsWhiteSpaceCondensed(), condensed);  // the process-wide setting is as it was
  std::string expected = description;
  for (auto [entity, c] : {std::pair<std::string, std::string>{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}})
    expected.replace(expected.find(entity), entity.size(), c);
  ASSERT_EQ(du_get_string(server, h, "/Part/Description", s), DU_OK);
  EXPECT_EQ(s, expected);
  ASSERT_EQ(du_get_string(server, h, "/Part/Geometry/Layer/Name", s), DU_OK);
  EXPECT_EQ(s, " A  B ");
  EXPECT_NE(read(journalFile()).find("CreatePart request=" + du_journal_text(request) + " -> 0"), std::string::npos);
  saveDrawing();
  DuProject reread;
  std::string error;
  ASSERT_EQ(du_project_load(projectFile(), reread, error), 0) << error;
  EXPECT_EQ(reread.parts[0].description, expected);
  EXPECT_EQ(reread.parts[0].customPartType, expected);
}

// Before, lastError kept an old refusal's text after later successes.
TEST_F(DuctoraTest, LastErrorIsAboutTheLastCall) {
  writeSampleProject();
  std::string s;
  EXPECT_EQ(du_get_string(server, "", "/Nothing", s), DU_BAD_QUERY);
  EXPECT_FALSE(du_last_error(server).empty());
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/System[0]/Name", s), DU_OK);
  EXPECT_EQ(du_last_error(server), "");
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
