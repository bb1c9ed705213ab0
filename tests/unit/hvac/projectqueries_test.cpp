// Guards the project queries: the readiness messages a user sees, and systems and duct
// series read whole from the project.
#include <gtest/gtest.h>

#include <string>

#include "fakeductora.h"
#include "hosttest.h"
#include "projectqueries.h"

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
