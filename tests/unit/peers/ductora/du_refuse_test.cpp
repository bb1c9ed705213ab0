// Guards against refusal rules that refuse the wrong call, count calls wrongly, or let a
// refused call change anything.
#include "du_fake.h"

TEST(DuRefuse, RulesAndTheirCalls) {
  DuRefusals r;
  std::string error;
  ASSERT_TRUE(du_parse_refusals(" #3 ; SetString /Part/Package/PartList #2;CreatePart EWAPART_DUCT;; ", r, error));
  ASSERT_EQ(r.rules.size(), 3u);
  EXPECT_EQ(du_refused(r, 1, "SetString", "/Part/Package/PartList"), nullptr);
  EXPECT_EQ(du_refused(r, 2, "CreatePart", "EWAPART_CUSTOM"), nullptr);
  ASSERT_NE(du_refused(r, 3, "GetNumber", "Count(/Project/Ductwork/System)"), nullptr);
  const DuRefusal* second = du_refused(r, 4, "SetString", "/Part/Package/PartList");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->text, "SetString /Part/Package/PartList #2");
  EXPECT_EQ(du_refused(r, 5, "SetString", "/Part/Package/PartList"), nullptr);
  EXPECT_NE(du_refused(r, 6, "CreatePart", "EWAPART_DUCT"), nullptr);
  EXPECT_NE(du_refused(r, 7, "CreatePart", "EWAPART_DUCT"), nullptr);
  for (const char* bad : {"#0", "#x", "Set-String /A", "SetString #", "#12345678901"}) {
    DuRefusals untouched = r;
    EXPECT_FALSE(du_parse_refusals(bad, untouched, error)) << bad;
    EXPECT_EQ(untouched.rules.size(), 3u);
  }
}

TEST_F(DuctoraTest, RefusedCallsChangeNothing) {
  writeSampleProject();
  std::string unit = customPart();
  ASSERT_EQ(du_set_refusals(server, "SetString /Part/Package/PartList"), DU_OK);
  EXPECT_EQ(du_set_string(server, unit, "/Part/Package/PartList", "1A2"), DU_REFUSED);
  EXPECT_EQ(server.lastError,
            "Ductora refuses this call, as its project asks (refuse rule \"SetString /Part/Package/PartList\").");
  std::string s;
  ASSERT_EQ(du_get_string(server, unit, "/Part/Package/PartList", s), DU_OK);
  EXPECT_EQ(s, "");
  // The rules are a setting of the project file, read with it.
  saveDrawing();
  du_reset(server);
  std::string h;
  EXPECT_EQ(du_set_string(server, unit, "/Part/Package/PartList", ""), DU_REFUSED);
  write(projectFile(), "<DuctoraProject><Server refuse=\"SetString #\"/></DuctoraProject>");
  EXPECT_EQ(du_version(server), 20110101);
  EXPECT_EQ(du_get_string(server, "", "/Project/Ductwork/System[0]/Name", s), DU_NO_PROJECT);
  EXPECT_NE(server.lastError.find("attribute \"refuse\""), std::string::npos);
}
