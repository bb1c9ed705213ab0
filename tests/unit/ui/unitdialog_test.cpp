// Guards the unit information dialog as the user meets it: which system a combo box shows
// and whether it may be changed, when OK refuses, what the choices write into the record
// (the extract plug follows the extract), and that a long description is cut only on screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "hosttest.h"
#include "unitdialog.h"
#include "windows.h"

namespace {

const char* const kEmptySystem = "Ductora system can not be empty";
const char* const kEmptySerie = "Ductora duct series for duct componets can not be empty";

// A unit with its four main connections on the dialog's places and an extract plug; every
// system still to be chosen; the project has two supply systems and one of each other type.
UnitRecord makeUnit() {
  UnitRecord unit;
  unit.parts[0].name = "VH-TEST";
  unit.description = "Test unit";
  const std::pair<ConnectionType, int> places[] = {
      {CONN_SUPPLY, 201}, {CONN_EXTRACT, 202}, {CONN_OUTDOOR, 206}, {CONN_EXHAUST, 205}, {CONN_EXTRACT_PLUG, 249}};
  for (const auto& place : places) unit.parts[0].connections[place.first].modelConnectionId = place.second;
  unit.parts[0].connections[CONN_SUPPLY].size = AcGePoint3d(250, 0, 0);
  unit.parts[0].connections[CONN_EXTRACT].size = AcGePoint3d(600, 400, 0);
  unit.systems = {{1, 0, "Supply air"}, {5, 0, "Supply air 2"}, {2, 1, "Extract air"}, {3, 2, "Exhaust air"},
                  {4, 3, "Outdoor air"}};
  unit.ductSeries = {{"DS-ROUND", "Spiro round", {}}};
  return unit;
}

void assign(UnitRecord& unit, int32_t supply, int32_t extract, int32_t outdoor, int32_t exhaust) {
  ConnectionMap& c = unit.parts[0].connections;
  c[CONN_SUPPLY].systemId = supply;
  c[CONN_EXTRACT].systemId = extract;
  c[CONN_OUTDOOR].systemId = outdoor;
  c[CONN_EXHAUST].systemId = exhaust;
}

int32_t systemOf(const UnitRecord& unit, ConnectionType type) { return unit.parts[0].connections.at(type).systemId; }

struct DialogRun {
  int result;
  std::string out;
  bool saw(const std::string& text) const { return out.find(text) != std::string::npos; }
  size_t count(const std::string& text) const {
    size_t n = 0;
    for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
    return n;
  }
};

DialogRun runDialog(UnitRecord& unit, const std::vector<std::string>& answers) {
  cadhost::startTestSession(answers);
  int result = runUnitDialog(unit, nullptr);
  DialogRun run{result, cadhost::takeOutput()};
  cadhost::endTestSession();
  return run;
}

TEST(UnitDialog, AssignedSystemsAreShownLockedAndOkClosesAtOnce) {
  UnitRecord unit = makeUnit();
  unit.systemId = 5;
  assign(unit, 1, 2, 4, 3);
  unit.parts[0].connections[CONN_EXTRACT_PLUG].systemId = 6;
  DialogRun run = runDialog(unit, {"click 1"});
  EXPECT_EQ(run.result, 0) << run.out;
  EXPECT_TRUE(run.saw("Dialog \"Zephyr  - Unit's information\"")) << run.out;
  EXPECT_TRUE(run.saw("[210] combo box (disabled), selected \"Supply air 2\"")) << run.out;
  EXPECT_TRUE(run.saw("[201] combo box (disabled), selected \"Supply air\": \"Supply air\", \"Supply air 2\""));
  EXPECT_TRUE(run.saw("[202] combo box (disabled), selected \"Extract air\": \"Extract air\"\n"));
  EXPECT_TRUE(run.saw("[206] combo box (disabled), selected \"Outdoor air\""));
  EXPECT_TRUE(run.saw("[205] combo box (disabled), selected \"Exhaust air\""));
  EXPECT_TRUE(run.saw("[301] text \"Supply\"") && run.saw("[302] text \"Extract\"") &&
              run.saw("[306] text \"Outdoor\"") && run.saw("[305] text \"Exhaust\""));
  EXPECT_FALSE(run.saw("[203]") || run.saw("[204]") || run.saw("[207]") || run.saw("[208]"))
      << "connection points the unit does not use have no combo box";
  EXPECT_FALSE(run.saw("[211]") || run.saw("[312]")) << "a unit with only its own part has no duct serie";
  EXPECT_FALSE(run.saw("Message box"));
  EXPECT_EQ(run.count("Dialog: "), 1u) << "OK closed at once";
  EXPECT_EQ(unit.systemId, 5);
  EXPECT_EQ(systemOf(unit, CONN_EXTRACT), 2);
  EXPECT_EQ(systemOf(unit, CONN_EXTRACT_PLUG), 6) << "without a choice for the extract the plug keeps its system";
}

TEST(UnitDialog, OpenUnknownAndRefusedSystems) {
  UnitRecord unit = makeUnit();
  assign(unit, -1, 77, -1, -2);
  DialogRun run = runDialog(unit, {"select 210 Outdoor air", "select 201 Supply air 2", "click 1", "ok", "escape"});
  EXPECT_EQ(run.result, -1) << run.out;
  // -1: the first system of the connection's type, to be chosen.
  EXPECT_TRUE(run.saw("[201] combo box, selected \"Supply air\": \"Supply air\", \"Supply air 2\"")) << run.out;
  EXPECT_TRUE(run.saw("[210] combo box, selected \"Supply air\": \"Supply air\", \"Supply air 2\", \"Extract air\""));
  // An id the project does not list: the first of the type, locked, the id kept.
  EXPECT_TRUE(run.saw("[202] combo box (disabled), selected \"Extract air\""));
  // -2: nothing to choose.
  EXPECT_TRUE(run.saw("[205] combo box (disabled), empty"));
  EXPECT_TRUE(run.saw("Message box \"Zephyr \"\nError: " + std::string(kEmptySystem))) << run.out;
  EXPECT_EQ(run.count("Message box"), 1u);
  // The choices stay in the record though the user cancelled after the refusal.
  EXPECT_EQ(unit.systemId, 4);
  EXPECT_EQ(systemOf(unit, CONN_SUPPLY), 5);
  EXPECT_EQ(systemOf(unit, CONN_EXTRACT), 77);
  EXPECT_EQ(systemOf(unit, CONN_OUTDOOR), 4);
  EXPECT_EQ(systemOf(unit, CONN_EXHAUST), -2);
  EXPECT_EQ(systemOf(unit, CONN_EXTRACT_PLUG), 77) << "a plug without a system takes the extract's";
}

TEST(UnitDialog, OneDuctSerieMustBePickedAndThePlugFollowsTheExtract) {
  UnitRecord unit = makeUnit();
  unit.parts.emplace_back("VH-SIL-250", 'D');
  DialogRun run = runDialog(unit, {"click 1", "ok", "select 211 Spiro round", "click 1"});
  EXPECT_EQ(run.result, 0) << run.out;
  EXPECT_TRUE(run.saw("[312] text \"Unit's duct serie\""));
  EXPECT_TRUE(run.saw("[211] combo box, nothing selected: \"Spiro round\"")) << run.out;
  EXPECT_EQ(run.count(kEmptySerie), 1u) << run.out;
  EXPECT_EQ(run.count("Message box"), 1u);
  EXPECT_EQ(unit.componentDuctSerieId, "DS-ROUND");
  EXPECT_EQ(unit.systemId, 1);
  EXPECT_EQ(systemOf(unit, CONN_EXTRACT), 2);
  EXPECT_EQ(systemOf(unit, CONN_EXTRACT_PLUG), 2);
  EXPECT_EQ(systemOf(unit, CONN_EXHAUST), 3);

  // With two series the first is offered; a stored serie is shown locked.
  UnitRecord two = makeUnit();
  two.parts.emplace_back("VH-SIL-250", 'D');
  two.ductSeries.push_back({"DS-RECT", "Rectangular", {}});
  EXPECT_TRUE(runDialog(two, {"escape"}).saw("[211] combo box, selected \"Spiro round\""));
  two.componentDuctSerieId = "DS-RECT";
  EXPECT_TRUE(runDialog(two, {"escape"}).saw("[211] combo box (disabled), selected \"Rectangular\""));
}

TEST(UnitDialog, ListShowsSizesAndTheCloseBoxCancels) {
  UnitRecord unit = makeUnit();
  unit.surroundingSound[0] = 48.4;
  unit.parts[0].connections[CONN_SUPPLY].airflow = 333.333;
  DialogRun run = runDialog(unit, {"close"});
  EXPECT_EQ(run.result, -1);
  EXPECT_FALSE(run.saw("Message box"));
  EXPECT_TRUE(run.saw("\n        Unit\tVH-TEST\n")) << run.out;
  EXPECT_TRUE(run.saw("\n             Surrounding (dB)\t 48\t  0\t"));
  EXPECT_TRUE(run.saw("\n             Supply connection\n                  Airflow (l/s)\t333.33\n"));
  EXPECT_TRUE(run.saw("\n                  Size (mm)\t250\n"));
  EXPECT_TRUE(run.saw("\n                  Size (mm)\t600x400\n"));
  EXPECT_TRUE(run.saw("[200] list box, 36 lines:"));
}

TEST(UnitDialog, LongDescriptionIsCutOnScreenOnly) {
  UnitRecord unit = makeUnit();
  std::string description = "Long ";
  while (description.size() < 5000) description += "\xC3\xA4";  // "ä": two bytes each
  unit.description = description;
  const std::string png = (std::filesystem::temp_directory_path() /
                           ("unitdialog_long_" + std::to_string(getpid()) + ".png")).string();
  DialogRun run = runDialog(unit, {"snapshot " + png, "escape"});
  EXPECT_TRUE(run.saw("Snapshot written to")) << run.out;
  std::filesystem::remove(png);
  const std::string head = "\n             Description\t";
  size_t at = run.out.find(head);
  ASSERT_NE(at, std::string::npos);
  const std::string line = run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
  const std::string shown = line.substr(8);  // the print indents each line by 8 blanks
  EXPECT_LE(shown.size(), 1023u);
  EXPECT_GE(shown.size(), 1020u);
  EXPECT_EQ((shown.size() - std::string("     Description\tLong ").size()) % 2, 0u) << "no character cut in half";
  EXPECT_EQ(unit.description, description) << "the record keeps the whole text";
}

// Leaves cairo's and fontconfig's caches empty, so leak checkers see a clean end.
struct GraphicsShutdown : ::testing::Environment {
  void TearDown() override { winShutdownGraphics(); }
};
const auto* const shutdown = ::testing::AddGlobalTestEnvironment(new GraphicsShutdown);

}  // namespace
