// Guards the export: the file the selector stores is one the CAD program's own reader
// accepts, carrying the demand's airflows and pressures, the sound at the operating point
// and the unit's external components in order, with any text intact; and a reader never
// finds half a file or a file under another name.
#include "sel_export.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <fstream>

#include "hosttest.h"
#include "sel_fixture.h"
#include "unitxml.h"

using namespace catalog;

namespace {

const char kId[] = "0123456789abcdef0123456789ABCDEF";

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  while (dirent* e = d ? readdir(d) : nullptr)
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
  if (d) closedir(d);
  return out;
}

class SelExport : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sel_export_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    cadhost::startTestSession();
  }
  void TearDown() override {
    cadhost::endTestSession();
    for (const std::string& e : folderEntries(folder)) unlink((folder + "/" + e).c_str());
    rmdir(folder.c_str());
  }
  std::string folder;
};

}  // namespace

TEST_F(SelExport, StoredFileReadsBackThroughTheUnitReader) {
  SelCatalog cat = seltest::catalogue();
  cat.units[0].description = "Aerix <CX> & \"1200\" für Büros, Kim's";
  SelDemand d;
  d.exchanger = "cross";
  d.selectionId = kId;
  const double airflow[kUnitConnections] = {300.25, 290, 310.5, 0};  // exhaust skipped
  const double pressure[kUnitConnections] = {250, 220.75, 80, 0};
  for (int k = 0; k < kUnitConnections; ++k) d.airflow[k] = airflow[k], d.pressure[k] = pressure[k];
  std::vector<SelChoice> choices = sel_select(cat, d);
  ASSERT_TRUE(choices[0].serves);
  ASSERT_EQ(choices[0].unit->id, "CX-1200");
  std::string error;
  ASSERT_EQ(sel_store_export(folder, kId,
                             sel_unit_xml(choices[0], d, "http://127.0.0.1:1/selector/Ventholm_14a.tcdz"), error),
            0)
      << error;

  UnitRecord unit;
  readUnitDocument(unit, folder + "/" + kId + ".XML");
  EXPECT_NE(cadhost::takeOutput().find("Zephyr: Air handling unit CX-1200.\n"), std::string::npos);
  EXPECT_EQ(unit.description, cat.units[0].description);
  EXPECT_EQ(unit.unitCode, "C-CX-1200");
  EXPECT_EQ(unit.modelDatabaseUrl, "http://127.0.0.1:1/selector/Ventholm_14a.tcdz");
  EXPECT_EQ(unit.externalComponentDistance, 1300.0);
  const ConnectionType types[kUnitConnections] = {CONN_SUPPLY, CONN_EXTRACT, CONN_OUTDOOR, CONN_EXHAUST};
  for (int k = 0; k < kUnitConnections; ++k) {
    SCOPED_TRACE(k);
    const DuctConnectionData& c = unit.parts[0].connections.at(types[k]);
    EXPECT_EQ(c.airflow, airflow[k]);
    EXPECT_EQ(c.pressure, pressure[k]);
    for (int b = 0; b < kOctaveBands; ++b) {
      EXPECT_EQ(c.soundGeneration[b], choices[0].sound[k][b]);
      EXPECT_EQ(c.soundAttenuation[b], cat.units[0].data.attenuation[k][b]);
    }
  }
  EXPECT_EQ(unit.parts[0].connections.at(CONN_SUPPLY).soundGeneration[0], 85 - 2);  // 1118 of 1200 m³/h
  for (int b = 0; b < kOctaveBands; ++b) EXPECT_EQ(unit.surroundingSound[b], choices[0].surrounding[b]);
  // Supply: silencer then heater outward from the unit; extract: damper.
  ASSERT_EQ(unit.parts.size(), 4u);
  EXPECT_EQ(unit.parts[1].name, "SIL-315");
  EXPECT_EQ(unit.parts[1].attachedTo, 0);
  EXPECT_EQ(unit.parts[1].alignment, 'D');
  EXPECT_EQ(unit.parts[2].name, "HTR-315");
  EXPECT_EQ(unit.parts[2].attachedTo, 1);
  EXPECT_EQ(unit.parts[2].alignment, 'H');
  EXPECT_EQ(unit.parts[3].name, "DMP-315");
  EXPECT_EQ(unit.parts[3].connectionTypes, std::vector<ConnectionType>{CONN_EXTRACT});
}

TEST_F(SelExport, AnExportReplacesTheLastWholeAndBadIdsWriteNothing) {
  std::string error;
  ASSERT_EQ(sel_store_export(folder, kId, "first", error), 0);
  ASSERT_EQ(sel_store_export(folder, kId, "second", error), 0);
  std::ifstream in(folder + "/" + kId + ".XML");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "second");
  for (const char* bad : {"0123456789abcdef0123456789ABCDE", "../456789abcdef0123456789ABCDEF",
                          "0123456789abcdef0123456789ABCDEG", ""})
    EXPECT_NE(sel_store_export(folder, bad, "x", error), 0) << bad;
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{std::string(kId) + ".XML"});
  EXPECT_NE(sel_store_export(folder + "/missing", kId, "x", error), 0);
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}
