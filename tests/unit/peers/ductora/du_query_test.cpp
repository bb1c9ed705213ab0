// Guards against project and part queries that answer wrongly, crash on odd paths or
// answer for parts that are gone.
#include "du_fake.h"

TEST_F(DuctoraTest, ProjectSystemsAndSeries) {
  writeSampleProject();
  double n = -1;
  std::string s;
  ASSERT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_OK);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(du_get_number(server, "", "/Project/Ductwork/System[1]/ID", n), DU_OK);
  EXPECT_EQ(n, 4);
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/System[1]/Type/ID", s), DU_OK);
  EXPECT_EQ(s, "1");
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/System[0]/Name", s), DU_OK);
  EXPECT_EQ(s, "Supply air");
  ASSERT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/DuctSerie)", n), DU_OK);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/DuctSerie[0]/Size[2]/Name", s), DU_OK);
  EXPECT_EQ(s, "160");
  ASSERT_EQ(du_get_string(server, "", "/Project/Ductwork/DuctSerie[1]/Name", s), DU_OK);
  EXPECT_EQ(s, "Rectangular");
  // The size list ends with a refusal: that is how callers find its end.
  EXPECT_EQ(du_get_string(server, "", "/Project/Ductwork/DuctSerie[0]/Size[3]/Name", s), DU_NO_INDEX);
  EXPECT_EQ(du_get_number(server, "", "/Project/Ductwork/System[2]/ID", n), DU_NO_INDEX);
  EXPECT_NE(server.lastError.find("past the end"), std::string::npos);
}

TEST_F(DuctoraTest, ClosedProjectAndEmptyProject) {
  double n = -1;
  EXPECT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_OK);
  EXPECT_EQ(n, 0);
  write(projectFile(), "<DuctoraProject version=\"20071001\" open=\"0\"/>");
  EXPECT_EQ(du_version(server), 20071001);
  EXPECT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_NO_PROJECT);
  EXPECT_EQ(server.lastError, "No Ductora project is open.");
}

TEST_F(DuctoraTest, MalformedQueriesAreRefusedWithAMessage) {
  writeSampleProject();
  const char* bad[] = {"", "/", "//Project", "Project/Ductwork", "/Project/Ductwork/System[",
                       "/Project/Ductwork/System[]/ID", "/Project/Ductwork/System[-1]/ID",
                       "/Project/Ductwork/System[1234567]/ID", "/Project/Ductwork/System[0]x/ID",
                       "Count(/Project/Ductwork/System", "Count()", "/Project/Ductwork/Nothing",
                       "/Project/Ductwork/System[0]/ID/", "/Pro ject", "/Project/Ductwork/1System"};
  for (const char* q : bad) {
    double n = 42;
    server.lastError.clear();
    EXPECT_EQ(du_get_number(server, "", q, n), DU_BAD_QUERY) << q;
    EXPECT_FALSE(server.lastError.empty()) << q;
    EXPECT_EQ(n, 42) << q;
  }
  std::string longQuery(100000, '/');
  double n;
  EXPECT_EQ(du_get_number(server, "", longQuery, n), DU_BAD_QUERY);
}

TEST_F(DuctoraTest, DuctEndAnswersTheQueriesOfThePick) {
  writeSampleProject();
  std::string h = ductEnd();
  std::string s;
  double n;
  ASSERT_EQ(du_get_string(server, h, "/Part/Class/Name", s), DU_OK);
  EXPECT_EQ(s, "DURAPathwayConnector");
  ASSERT_EQ(du_get_string(server, h, "/Part/Type/Define", s), DU_OK);
  EXPECT_EQ(s, "EWAPART_UNTYPEDFITTING");
  ASSERT_EQ(du_get_number(server, h, "/Part/System/ID", n), DU_OK);
  EXPECT_EQ(n, 3);
  ASSERT_EQ(du_get_number(server, h, "/Part/p_SizingFlow/Pa", n), DU_OK);
  EXPECT_EQ(n, 120);
  ASSERT_EQ(du_get_number(server, h, "/Part/qv_SizingFlow/ls", n), DU_OK);
  EXPECT_EQ(n, 350);
  // A handle in lower case or with leading zeros names the same part.
  ASSERT_EQ(du_get_string(server, "0" + std::string("1") + "00", "/Part/Class/Name", s), DU_OK);
  // Scopes are kept apart.
  EXPECT_EQ(du_get_number(server, h, "Count(/Project/Ductwork/System)", n), DU_BAD_QUERY);
  EXPECT_EQ(du_get_string(server, "", "/Part/Class/Name", s), DU_BAD_QUERY);
  EXPECT_EQ(du_get_string(server, h, "/Part/ExternalPart/Function/Name", s), DU_BAD_QUERY);
}

TEST_F(DuctoraTest, UnknownAndErasedPartsDoNotAnswer) {
  writeSampleProject();
  std::string h = ductEnd();
  std::string s;
  EXPECT_EQ(du_get_string(server, "FFFF", "/Part/Class/Name", s), DU_NO_OBJECT);
  EXPECT_EQ(du_get_string(server, "not hex", "/Part/Class/Name", s), DU_NO_OBJECT);
  EXPECT_EQ(du_get_string(server, "0", "/Part/Class/Name", s), DU_NO_OBJECT);
  drawing.erased.insert(h);
  EXPECT_EQ(du_get_string(server, h, "/Part/Class/Name", s), DU_NO_OBJECT);
  EXPECT_NE(server.lastError.find("no longer in the drawing"), std::string::npos);
}

TEST_F(DuctoraTest, SettersCheckTheirValues) {
  writeSampleProject();
  std::string h = customPart(), other = customPart();
  std::string s;
  // A package lists stubs made on its part (one erased since still counts), nothing else.
  drawing.next = 0x1A2;
  const std::string fan = fanStub(h), plug = fanStub(h), foreign = fanStub(other);
  ASSERT_EQ(fan + " " + plug, "1A2 1A3");
  drawing.erased.insert(plug);
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/PartList", "1a2 1A3"), DU_OK) << server.lastError;
  ASSERT_EQ(du_get_string(server, h, "/Part/Package/PartList", s), DU_OK);
  EXPECT_EQ(s, "1A2 1A3");
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/PartList", ""), DU_OK);
  for (const char* bad : {"1A2  1A3", "1A2 ", " 1A2", "1A2,1A3", "xyz"})
    EXPECT_EQ(du_set_string(server, h, "/Part/Package/PartList", bad), DU_BAD_VALUE) << bad;
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/PartList", fan + " " + foreign), DU_BAD_VALUE);
  EXPECT_EQ(server.lastError, "The package of " + h + " cannot list " + foreign + ": it is not a connection stub made "
                              "on " + h + " (/Part/Package/PartList).");
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/PartList", other + " " + fan), DU_BAD_VALUE);
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/PartList", "FFFF"), DU_BAD_VALUE);
  EXPECT_NE(server.lastError.find("no Ductora part has that handle"), std::string::npos);
  ASSERT_EQ(du_get_string(server, h, "/Part/Package/PartList", s), DU_OK);
  EXPECT_EQ(s, "");
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/Behaviour/MOVE", "All"), DU_OK);
  EXPECT_EQ(du_set_string(server, h, "/Part/Package/Behaviour/MOVE", "Sometimes"), DU_BAD_VALUE);
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Source[0]/Block/Name", "Zephyr1"), DU_OK);
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Source[0]/Block/Name", "Missing"), DU_BAD_VALUE);
  drawing.blocks.insert("*Model_Space");  // a layout draws the whole drawing, the part in it
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Source[0]/Block/Name", "*Model_Space"), DU_BAD_VALUE);
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Source[1]/Block/Name", "Zephyr1"), DU_NO_INDEX);
  EXPECT_EQ(du_set_number(server, h, "/Part/System/ID", 4), DU_OK);
  EXPECT_EQ(du_set_number(server, h, "/Part/System/ID", 9), DU_BAD_VALUE);
  EXPECT_EQ(du_set_number(server, h, "/Part/System/ID", 3.5), DU_BAD_VALUE);
  EXPECT_EQ(du_set_string(server, h, "/Part/Class/Name", "Other"), DU_BAD_QUERY);
  EXPECT_EQ(du_set_point(server, h, "/Part/Direction/WCS", DuVec{0, 0, 0}), DU_BAD_VALUE);
  EXPECT_EQ(du_set_number(server, h, "/Part/qv_SizingFlow/ls", -1), DU_BAD_VALUE);
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Linetypedef[0]",
                          "<Linetypedef><Linetype id=\"1\"><Layer><Name>0</Name></Layer></Linetype></Linetypedef>"),
            DU_OK);
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Linetypedef[0]", "<Linetypedef>"), DU_BAD_VALUE);
  // "/>" inside a value once let a crafted definition past the depth check into the parser.
  std::string crafted = "<Linetypedef>";
  for (int i = 0; i < 100000; ++i) crafted += "<Linetype x=\"/>\">";
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Linetypedef[0]", crafted), DU_BAD_VALUE);
  EXPECT_EQ(server.lastError, "The line type definition is refused: The text is nested too deeply.");
  // A definition is read as strictly as a request.
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Linetypedef[0]",
                          "<Linetypedef><Linetype id=\"1\"><Layer><Name>0</Name></Layer><Colour/></Linetype>"
                          "</Linetypedef>"),
            DU_BAD_VALUE);
  EXPECT_EQ(server.lastError, "The line type definition is refused: Ductora does not know the element <Colour> in "
                              "/Linetypedef/Linetype[1].");
  EXPECT_EQ(du_set_string(server, h, "/Part/Geometry/Linetypedef[0]",
                          "<Linetypedef><Linetype id=\"1\"><Layer><Name>0</Name></Layer></Linetype><Linetype "
                          "id=\"1\"><Layer><Name>0</Name></Layer></Linetype></Linetypedef>"),
            DU_BAD_VALUE);
  // Numbers far out of range are refused before any conversion (int(1e300) is undefined).
  for (double huge : {1e300, -1e300, 2147483648.0, 1e19})
    EXPECT_EQ(du_set_number(server, h, "/Part/System/ID", huge), DU_BAD_VALUE) << huge;
  EXPECT_EQ(du_set_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", 1e300), DU_BINARY);
  EXPECT_EQ(du_set_point(server, h, "/Part/Position/WCS", DuVec{1e308, 0, 0}), DU_BAD_VALUE);
  EXPECT_EQ(du_set_point(server, h, "/Part/Normal/WCS", DuVec{2, 0, 0}), DU_BAD_VALUE);  // along the direction
  EXPECT_EQ(server.lastError, "A part's normal cannot lie along its direction.");
  // A placement the drawing refuses to draw leaves the part as it was.
  int redrawn = drawing.redrawn;
  drawing.refuse = true;
  EXPECT_EQ(du_set_point(server, h, "/Part/Position/WCS", DuVec{5, 5, 5}), DU_DRAWING);
  drawing.refuse = false;
  EXPECT_EQ(drawing.redrawn, redrawn + 1);
  DuVec p;
  ASSERT_EQ(du_get_point(server, h, "/Part/Position/WCS", p), DU_OK);
  EXPECT_EQ(p.x, 10);
  // Refused changes left the project as it was; the drawing's save writes what was done.
  saveDrawing();
  DuProject reread;
  std::string error;
  ASSERT_EQ(du_project_load(projectFile(), reread, error), 0) << error;
  ASSERT_EQ(reread.parts.size(), 5u);  // the part, the other and three stubs
  EXPECT_EQ(reread.parts[0].systemId, 4);
  EXPECT_EQ(reread.parts[0].blockName, "Zephyr1");
  EXPECT_EQ(reread.parts[0].moveBehaviour, "All");
  EXPECT_EQ(reread.parts[0].position.x, 10);
}

TEST_F(DuctoraTest, NumbersReadAsTextAndTextAsNumbers) {
  writeSampleProject();
  std::string h = ductEnd();
  std::string s;
  double n;
  ASSERT_EQ(du_get_string(server, h, "/Part/System/ID", s), DU_OK);
  EXPECT_EQ(s, "3");
  ASSERT_EQ(du_get_number(server, "", "/Project/Ductwork/System[0]/Type/ID", n), DU_OK);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(du_get_number(server, h, "/Part/Class/Name", n), DU_BAD_VALUE);
  DuVec p;
  ASSERT_EQ(du_get_point(server, h, "/Part/Position/WCS", p), DU_OK);
  EXPECT_EQ(p.x, 1000);
  EXPECT_EQ(p.y, 2000);
  EXPECT_EQ(du_get_point(server, h, "/Part/System/ID", p), DU_BAD_VALUE);
}
