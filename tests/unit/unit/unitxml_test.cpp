// Guards the unit file reader: fields, band lists, the component chain, the warning box
// and every failure report, so that a bad export never passes as a good unit.
#include "unitxml.h"

#include <gtest/gtest.h>

#include <string>

#include "hosttest.h"
#include "selector_settings.h"
#include "testfiles.h"
#include "unitfile.h"

using testfiles::readData;
using testfiles::replaced;
using testfiles::writeScratch;

namespace {

const char* const kFailure = "\nZephyr: Failed to import data from Zephyr";

class UnitXml : public ::testing::Test {
 protected:
  void SetUp() override {
    cadhost::startTestSession();
    testfiles::downloads() = testfiles::DownloadLog();
  }
  void TearDown() override { cadhost::endTestSession(); }

  // Reads text as a chosen unit file; the printed text goes to output.
  int read(const std::string& text, const std::vector<std::string>& answers = {}) {
    cadhost::addAnswers(answers);
    std::string path = writeScratch(text);
    int result = readUnitXml(unit, SelectorSettings(), "", path.c_str());
    output = cadhost::takeOutput();
    return result;
  }
  std::string complete() { return readData("complete.xml"); }

  UnitRecord unit;
  std::string output;
};

TEST_F(UnitXml, CompleteExportFillsTheRecord) {
  ASSERT_EQ(read(complete()), 0) << output;
  EXPECT_NE(output.find("Zephyr: Air handling unit VH-AHU-14A.\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("Failed"), std::string::npos);
  ASSERT_EQ(unit.parts.size(), 1u);
  EXPECT_EQ(unit.parts[0].name, "VH-AHU-14A");
  EXPECT_EQ(unit.unitCode, "AHU14A-R");
  EXPECT_EQ(unit.objectId, "4711");
  EXPECT_EQ(unit.itemCode, "ITEM-0014");
  EXPECT_EQ(unit.description, "Air handling unit 14A, rotary exchanger");
  EXPECT_EQ(unit.modelDatabaseUrl, "http://127.0.0.1:8765/selector/Ventholm_14a.tcdz");
  EXPECT_EQ(unit.externalComponentDistance, 950.0);
  EXPECT_EQ(unit.surroundingSound[0], 60);
  EXPECT_EQ(unit.surroundingSound[7], 67);
  EXPECT_TRUE(unit.warningText.empty());

  const ConnectionMap& c = unit.parts[0].connections;
  ASSERT_EQ(c.size(), 5u);
  EXPECT_EQ(c.at(CONN_SUPPLY).airflow, 1200.5);
  EXPECT_EQ(c.at(CONN_SUPPLY).pressure, 250.25);
  EXPECT_EQ(c.at(CONN_SUPPLY).soundGeneration[3], 74);
  EXPECT_EQ(c.at(CONN_SUPPLY).soundAttenuation[7], 8);
  EXPECT_EQ(c.at(CONN_EXTRACT).airflow, 1100);
  EXPECT_EQ(c.at(CONN_EXTRACT).soundAttenuation[0], 11);
  EXPECT_EQ(c.at(CONN_OUTDOOR).soundGeneration[7], 98);
  EXPECT_EQ(c.at(CONN_EXHAUST).pressure, 120);
  EXPECT_EQ(c.at(CONN_EXHAUST).soundAttenuation[7], 38);
  const DuctConnectionData& plug = c.at(CONN_EXTRACT_PLUG);
  EXPECT_EQ(plug.airflow, 0);
  EXPECT_EQ(plug.systemId, -1);
  EXPECT_EQ(plug.soundGeneration[0], 0);
}

TEST_F(UnitXml, ComponentDistanceFallsBackBelowOneThousandth) {
  const std::string element = "<ExternalComponentDistance>950</ExternalComponentDistance>";
  const char* const standard[] = {
      "",
      "<ExternalComponentDistance/>",
      "<ExternalComponentDistance>0</ExternalComponentDistance>",
      "<ExternalComponentDistance>-40</ExternalComponentDistance>",
      "<ExternalComponentDistance>0.0009</ExternalComponentDistance>",
      "<ExternalComponentDistance>nan</ExternalComponentDistance>",
  };
  for (const char* variant : standard) {
    UnitRecord fresh;
    unit = fresh;
    ASSERT_EQ(read(replaced(complete(), element, variant)), 0) << variant << output;
    EXPECT_EQ(unit.externalComponentDistance, 1300.0) << variant;
  }
  unit = UnitRecord();
  ASSERT_EQ(read(replaced(complete(), element,
                          "<ExternalComponentDistance>0.001</ExternalComponentDistance>")),
            0);
  EXPECT_EQ(unit.externalComponentDistance, 0.001);
}

TEST_F(UnitXml, SevenBandsFailWithTheListsOwnText) {
  struct Case {
    const char* from;
    const char* to;
    const char* detail;
  } cases[] = {
      {"71 72 73 74 75 76 77 78", "71 72 73 74 75 76 77",
       "Can't get all of Supply sound generation values"},
      {"31 32 33 34 35 36 37 38", "31 32 33 34 35 36 37",
       "Can't get all of Exhaust sound attenuation values"},
      {"60 61 62 63 64 65 66 67", "60 61 62 63 64 65 66",
       "Can't get all of surrounding sound values"},
  };
  for (const Case& c : cases) {
    unit = UnitRecord();
    EXPECT_EQ(read(replaced(complete(), c.from, c.to)), -1);
    EXPECT_NE(output.find(std::string(kFailure) + " " + c.detail + "\n"), std::string::npos)
        << output;
  }
}

TEST_F(UnitXml, NineBandsGiveTheFirstEightAndWhiteSpaceRunsCountAsOneBlank) {
  std::string text = replaced(complete(), "71 72 73 74 75 76 77 78", "71 72 73 74 75 76 77 78 79");
  text = replaced(text, "1 2 3 4 5 6 7 8", "\n   1  2\t3\n4 5   6 7\r\n 8  \n");
  ASSERT_EQ(read(text), 0) << output;
  const DuctConnectionData& supply = unit.parts[0].connections[CONN_SUPPLY];
  for (int band = 0; band < kSoundBands; ++band) {
    EXPECT_EQ(supply.soundGeneration[band], 71 + band);
    EXPECT_EQ(supply.soundAttenuation[band], 1 + band);
  }
}

// A component named twice made a second branch on its part: only its first place counts.
TEST_F(UnitXml, ComponentsFormTheirChainFromTheUnitOutward) {
  ASSERT_EQ(read(readData("components.xml")), 0) << output;
  ASSERT_EQ(unit.parts.size(), 4u);
  const GraphicalPart& a = unit.parts[1];
  const GraphicalPart& b = unit.parts[2];
  const GraphicalPart& e = unit.parts[3];
  EXPECT_EQ(a.name, "SIL-A");
  EXPECT_EQ(a.attachedTo, 0);
  EXPECT_EQ(a.connectionTypes, (std::vector<ConnectionType>{CONN_SUPPLY}));
  EXPECT_EQ(a.alignment, 'D');
  EXPECT_EQ(b.name, "DMP-B");
  EXPECT_EQ(b.attachedTo, 1);
  EXPECT_EQ(b.connectionTypes, (std::vector<ConnectionType>{CONN_SUPPLY}));
  EXPECT_EQ(b.alignment, 'H');
  EXPECT_EQ(e.name, "FLT-E");
  EXPECT_EQ(e.attachedTo, 0);
  EXPECT_EQ(e.connectionTypes, (std::vector<ConnectionType>{CONN_EXTRACT}));
  EXPECT_EQ(e.alignment, 'V');
  // The Outdoor duct names the unit itself: no new part either.
  EXPECT_TRUE(unit.parts[0].connectionTypes.empty());
  EXPECT_NE(output.find("Zephyr: Supply duct component SIL-A.\n"), std::string::npos);
  EXPECT_NE(output.find("Zephyr: Extract duct component FLT-E.\n"), std::string::npos);
  EXPECT_NE(output.find("Zephyr: Extract duct component SIL-A is named twice: only its first place is kept.\n"),
            std::string::npos);
  EXPECT_NE(output.find("Zephyr: Outdoor duct component VH-AHU-14A is named twice: only its first place is kept.\n"),
            std::string::npos);
}

TEST_F(UnitXml, MissingUnitIdIsReportedWithoutDetail) {
  EXPECT_EQ(read(replaced(complete(), "<UnitId>VH-AHU-14A</UnitId>", "")), -1);
  EXPECT_NE(output.find(std::string(kFailure) + "\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("Air handling unit"), std::string::npos);
}

TEST_F(UnitXml, MissingElementOrTextEndsTheReadingThere) {
  EXPECT_EQ(read(replaced(complete(), "<UnitItemCode>ITEM-0014</UnitItemCode>", "")), -1);
  EXPECT_NE(output.find(std::string(kFailure) + " "), std::string::npos) << output;
  EXPECT_NE(output.find("UnitItemCode"), std::string::npos) << output;
  // What was read before the fault stays.
  EXPECT_EQ(unit.objectId, "4711");
  EXPECT_TRUE(unit.description.empty());

  unit = UnitRecord();
  EXPECT_EQ(read(replaced(complete(), "<Airflow>1100</Airflow>", "<Airflow></Airflow>")), -1);
  EXPECT_NE(output.find("Airflow"), std::string::npos) << output;
  EXPECT_EQ(unit.parts[0].connections[CONN_SUPPLY].airflow, 1200.5);

  unit = UnitRecord();
  EXPECT_EQ(
      read(replaced(replaced(complete(), "<Outdoor>", "<Outside>"), "</Outdoor>", "</Outside>")),
      -1);
  EXPECT_NE(output.find("Outdoor"), std::string::npos) << output;
}

TEST_F(UnitXml, NumbersThatAreNotNumbersBecomeZero) {
  ASSERT_EQ(read(replaced(complete(), "<Airflow>1100</Airflow>", "<Airflow>lots</Airflow>")), 0);
  EXPECT_EQ(unit.parts[0].connections[CONN_EXTRACT].airflow, 0);
}

TEST_F(UnitXml, WarningBoxFollowsTheFailureAndDecides) {
  const std::string warned =
      replaced(complete(), "<UnitId>", "<Warning>Airflow out of range</Warning><UnitId>");
  const std::string broken = replaced(warned, "<UnitCode>AHU14A-R</UnitCode>", "");

  EXPECT_EQ(read(broken, {"yes"}), -1);
  size_t failure = output.find(kFailure);
  size_t box = output.find("Airflow out of range\nContinue?");
  ASSERT_NE(failure, std::string::npos) << output;
  ASSERT_NE(box, std::string::npos) << output;
  EXPECT_LT(failure, box);
  EXPECT_NE(output.find("Message box \"Zephyr"), std::string::npos) << output;

  unit = UnitRecord();
  EXPECT_EQ(read(broken, {"no"}), -5);
  unit = UnitRecord();
  EXPECT_EQ(read(warned, {"yes"}), 0);
  EXPECT_EQ(unit.warningText, "Airflow out of range");
  unit = UnitRecord();
  EXPECT_EQ(read(warned, {"no"}), -5);
}

TEST_F(UnitXml, BadDocumentsAreReportedNotCrashed) {
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<a>";
  const std::string cases[] = {
      "",
      "not xml at all",
      replaced(complete(), "</Supply>", "</Suply>"),
      replaced(complete(), "<UnitCode>", "<UnitCode x='1' x='2'>"),
      std::string("\xFF\xFE<\0V\0", 6),  // UTF-16 text
      "<?xml version=\"1.0\"?><VentholmUnit>" + nested,
      "<VentholmUnit><UnitId>X\xE2",
  };
  for (const std::string& text : cases) {
    unit = UnitRecord();
    int result = read(text);
    EXPECT_EQ(result, -1) << text.substr(0, 80);
    EXPECT_NE(output.find(kFailure), std::string::npos) << output.substr(0, 200);
  }
  unit = UnitRecord();
  std::string deepRoot = "<?xml version=\"1.0\"?>" + nested;
  EXPECT_EQ(read(deepRoot), -1);
  EXPECT_NE(output.find("nested deeper than 256"), std::string::npos) << output.substr(0, 200);
}

TEST_F(UnitXml, BrokenUtf8IsReadAsTheParserGivesIt) {
  EXPECT_EQ(read(replaced(complete(), "14A, rotary", "14A, \xC3 rotary \xF0")), 0) << output;
  EXPECT_EQ(unit.unitCode, "AHU14A-R");
}

TEST_F(UnitXml, HugeTextIsReadWhole) {
  const std::string description(1 << 20, 'd');
  ASSERT_EQ(read(replaced(complete(), "Air handling unit 14A, rotary exchanger", description)), 0);
  EXPECT_EQ(unit.description, description);
}

TEST_F(UnitXml, ChosenFileThatIsMissingFallsBackToTheDownload) {
  testfiles::downloads().body = complete();
  SelectorSettings settings;
  settings.ServerRootURL = "http://127.0.0.1:9/selector/";
  settings.TempFolder = "temp/";
  const std::string id = "0123456789ABCDEF0123456789ABCDEF";
  ASSERT_EQ(readUnitXml(unit, settings, id, "/nonexistent/unit.xml"), 0) << cadhost::takeOutput();
  const testfiles::DownloadLog& log = testfiles::downloads();
  EXPECT_EQ(log.calls, 1);
  EXPECT_EQ(log.lastAddress, "http://127.0.0.1:9/selector/temp/" + id + ".XML");
  EXPECT_FALSE(log.targetExisted);  // the name was made unique, then its empty file deleted
  EXPECT_NE(log.lastTarget.find("/Zep"), std::string::npos) << log.lastTarget;
  EXPECT_EQ(unit.parts[0].name, "VH-AHU-14A");
  std::remove(log.lastTarget.c_str());
}

TEST_F(UnitXml, FailedDownloadEndsWithoutReport) {
  testfiles::downloads().result = -2;
  EXPECT_EQ(readUnitXml(unit, SelectorSettings(), "0123456789ABCDEF0123456789ABCDEF", nullptr), -1);
  EXPECT_EQ(cadhost::takeOutput().find("Failed to import"), std::string::npos);
  EXPECT_EQ(testfiles::downloads().calls, 1);
}

TEST_F(UnitXml, ExistingChosenFileIsUsedAsItStands) {
  std::string path;
  const std::string chosen = writeScratch(complete());
  ASSERT_EQ(locateUnitFile(SelectorSettings(), "", chosen.c_str(), path), 0);
  EXPECT_EQ(path, chosen);
  EXPECT_EQ(testfiles::downloads().calls, 0);
}

}  // namespace
