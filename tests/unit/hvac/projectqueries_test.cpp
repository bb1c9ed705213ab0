// Guards the project queries: the readiness messages a user sees, and systems and duct
// series read whole from the project.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fakeductora.h"
#include "hosttest.h"
#include "projectqueries.h"
#include "tekcore.h"

namespace {
struct ProjectQueries : ::testing::Test {
  FakeDuctora fake;
  void SetUp() override {
    fake.start();
    fake.numbers["Count(/Project/Ductwork/System)"] = 2;
  }
  void TearDown() override { cadhost::endTestSession(); }
};
}  // namespace

TEST_F(ProjectQueries, OldDuctoraIsRefusedWithTheVersionText) {
  fake.version = 20080104;
  cadhost::startTestSession({"ok"});
  EXPECT_FALSE(dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText));
  const std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("\nZephyr: Ductora version 2008.5 or newer is required.\n"), std::string::npos) << out;
}

TEST_F(ProjectQueries, ProjectWithoutSystemsIsNotReady) {
  fake.numbers["Count(/Project/Ductwork/System)"] = 0;
  cadhost::startTestSession({"ok"});
  EXPECT_FALSE(dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText));
  EXPECT_NE(cadhost::takeOutput().find(
                "Zephyr: Ductora systems can not be found. Please, open Ductora project."),
            std::string::npos);
}

TEST_F(ProjectQueries, ReadyWithSystems) {
  cadhost::startTestSession();
  EXPECT_TRUE(dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText));
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(ProjectQueries, SystemsAreReadInOrder) {
  fake.numbers["/Project/Ductwork/System[0]/ID"] = 3.9;
  fake.strings["/Project/Ductwork/System[0]/Type/ID"] = "1";
  fake.strings["/Project/Ductwork/System[0]/Name"] = "Extract 1";
  fake.numbers["/Project/Ductwork/System[1]/ID"] = 4;
  fake.strings["/Project/Ductwork/System[1]/Type/ID"] = "0";
  fake.strings["/Project/Ductwork/System[1]/Name"] = "Supply 1";
  cadhost::startTestSession();
  std::list<dc_system> systems;
  ASSERT_EQ(dc_get_systems(systems), 0);
  ASSERT_EQ(systems.size(), 2u);
  EXPECT_EQ(systems.front().id, 3);
  EXPECT_EQ(systems.front().typeId, 1);
  EXPECT_EQ(systems.back().name, "Supply 1");
}

TEST_F(ProjectQueries, MissingSystemNameFailsWithWhatWasRead) {
  fake.numbers["/Project/Ductwork/System[0]/ID"] = 3;
  fake.strings["/Project/Ductwork/System[0]/Type/ID"] = "1";
  cadhost::startTestSession();
  std::list<dc_system> systems;
  EXPECT_EQ(dc_get_systems(systems), -1);
  EXPECT_NE(cadhost::takeOutput().find("\nZephyr: Can't get Ductora systems Can't get Name of Ductora System\n"),
            std::string::npos);
}

TEST_F(ProjectQueries, DuctSerieSizesComeFromTheirNames) {
  fake.numbers["Count(/Project/Ductwork/DuctSerie)"] = 2;
  fake.strings["/Project/Ductwork/DuctSerie[0]/ID"] = "R1";
  fake.strings["/Project/Ductwork/DuctSerie[0]/Name"] = "Round";
  fake.strings["/Project/Ductwork/DuctSerie[0]/Size[0]/Name"] = "100";
  fake.strings["/Project/Ductwork/DuctSerie[0]/Size[1]/Name"] = "125";
  fake.strings["/Project/Ductwork/DuctSerie[0]/Size[2]/Name"] = "160";
  fake.strings["/Project/Ductwork/DuctSerie[1]/ID"] = "K1";
  fake.strings["/Project/Ductwork/DuctSerie[1]/Name"] = "Rectangular";
  fake.strings["/Project/Ductwork/DuctSerie[1]/Size[0]/Name"] = "400x200";
  cadhost::startTestSession();
  std::list<dc_duct_serie> series;
  ASSERT_EQ(dc_get_duct_series(series), 0);
  ASSERT_EQ(series.size(), 2u);
  const dc_duct_serie& round = series.front();
  ASSERT_EQ(round.sizes.size(), 3u);
  EXPECT_EQ(round.sizes[2].width, 160);
  EXPECT_EQ(round.sizes[2].height, 0);
  const dc_duct_serie& rectangular = series.back();
  ASSERT_EQ(rectangular.sizes.size(), 1u);
  EXPECT_EQ(rectangular.sizes[0].width, 400);
  EXPECT_EQ(rectangular.sizes[0].height, 200);
}

TEST_F(ProjectQueries, AddingSeriesNeedsAnOpenDatabase) {
  EXPECT_EQ(dc_add_duct_series(-1), -1);
}

namespace {
// The sample catalogue's database, opened for the duct-serie scans.
struct CatalogueSeries : ProjectQueries {
  int16_t productDb = -1;
  void SetUp() override {
    ProjectQueries::SetUp();
    const char* bin = std::getenv("ZEPHYR_BIN");  // else the test runs in the bin folder
    const std::string folder = std::string(bin ? bin : ".") + "/catalog/";
    productDb = tc_open_database((folder + "Duratcd.ddt").c_str(), (folder + "Ventholm_14a.tcd").c_str(), 0);
    ASSERT_GE(productDb, 0);
  }
  void TearDown() override {
    tc_close_database(productDb);
    ProjectQueries::TearDown();
  }
  void projectHas(const std::vector<std::string>& names) {
    fake.numbers["Count(/Project/Ductwork/DuctSerie)"] = static_cast<double>(names.size());
    for (size_t i = 0; i < names.size(); ++i)
      fake.strings["/Project/Ductwork/DuctSerie[" + std::to_string(i) + "]/Name"] = names[i];
  }
  std::vector<std::string> requests() const {
    std::vector<std::string> sent;
    for (const FakeCall& call : fake.calls)
      if (call.method == "ManageProductData") sent.push_back(call.query);
    return sent;
  }
};
}  // namespace

TEST_F(CatalogueSeries, NothingMissingAsksAndSendsNothing) {
  projectHas({"Ventholm Flexi", "Ventholm Rect", "Ventholm Spiro"});
  cadhost::startTestSession();
  EXPECT_EQ(dc_add_duct_series(productDb), 0);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(CatalogueSeries, OneYesSendsARequestPerMissingSerie) {
  projectHas({"Ventholm Spiro"});
  cadhost::startTestSession({"yes"});
  EXPECT_EQ(dc_add_duct_series(productDb), 0);
  const std::vector<std::string> sent = requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_NE(sent[0].find("<Function><Name>Add</Name></Function>"), std::string::npos);
  EXPECT_NE(sent[0].find("<TCDClass><Name>DuctSerie</Name></TCDClass><Serie><ID>VH-FLEXI</ID></Serie>"),
            std::string::npos) << sent[0];
  EXPECT_NE(sent[1].find("<Serie><ID>VH-RECT</ID></Serie></ManageProductData>"), std::string::npos);
  const std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("Add Zephyr pipe series?"), std::string::npos) << out;
}

TEST_F(CatalogueSeries, NoDeclinesWithTheBareContext) {
  projectHas({});
  cadhost::startTestSession({"no"});
  EXPECT_EQ(dc_add_duct_series(productDb), -1);
  EXPECT_TRUE(requests().empty());
  EXPECT_NE(cadhost::takeOutput().find("\nZephyr: Failed to update duct series \n"), std::string::npos);
}
