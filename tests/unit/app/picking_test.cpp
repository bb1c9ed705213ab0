// Guards what a picked duct end gives the unit: its system truncated to a whole id, its
// pressure demand and airflow; a value Ductora cannot give ends the command with the
// value's own message and leaves the connection as it was.
#include <gtest/gtest.h>

#include "arxhost.h"
#include "fakeductora.h"
#include "hosttest.h"
#include "picking.h"
#include "text.h"

namespace {

const char* const kPrompt = "Select supply duct connection or press <Enter> to skip\n";

struct Picking : ::testing::Test {
  FakeDuctora fake;
  ConnectionMap connections;
  std::string pick;
  void SetUp() override {
    fake.start();
    fake.strings["/Part/Class/Name"] = "DURAPathwayConnector";
    fake.strings["/Part/Type/Define"] = "EWAPART_UNTYPEDFITTING";
    fake.numbers["/Part/System/ID"] = 3.9;
    fake.numbers["/Part/p_SizingFlow/Pa"] = 120.5;
    fake.numbers["/Part/qv_SizingFlow/ls"] = 400.25;
    connections = UnitRecord().parts[0].connections;
    cadhost::startTestSession();
    pick = "#" + handleOfNewLine();
    cadhost::takeOutput();
  }
  void TearDown() override { cadhost::endTestSession(); }

  static std::string handleOfNewLine() {
    AcDbBlockTableRecord* ms = nullptr;
    acdbOpenObject(ms, acdbHostApplicationServices()->workingDatabase()->modelSpaceId(), AcDb::kForWrite);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbObjectId id;
    ms->appendAcDbEntity(id, line);
    line->close();
    ms->close();
    return handleText(id);
  }
};

TEST_F(Picking, DuctEndValuesAreStoredWithTheSystemTruncated) {
  cadhost::addAnswers({pick});
  EXPECT_EQ(pickConnection(connections, CONN_SUPPLY, kPrompt), 0);
  const DuctConnectionData& supply = connections[CONN_SUPPLY];
  EXPECT_EQ(supply.systemId, 3);
  EXPECT_DOUBLE_EQ(supply.pressure, 120.5);
  EXPECT_DOUBLE_EQ(supply.airflow, 400.25);
  EXPECT_EQ(cadhost::takeOutput(), std::string(kPrompt) + pick + "\n");

  // A unit without that connection is not asked.
  connections.erase(CONN_EXHAUST);
  EXPECT_EQ(pickConnection(connections, CONN_EXHAUST, kPrompt), 0);
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(Picking, ValueThatCannotBeReadEndsWithItsMessage) {
  const std::pair<const char*, const char*> values[] = {
      {"/Part/System/ID", "Can't get Ductora system of selected object.\n"},
      {"/Part/p_SizingFlow/Pa", "Can't get pressure demand of selected object.\n"},
      {"/Part/qv_SizingFlow/ls", "Can't get airflow of selected object.\n"}};
  for (const auto& value : values) {
    const double kept = fake.numbers[value.first];
    fake.numbers.erase(value.first);
    cadhost::addAnswers({pick});
    EXPECT_EQ(pickConnection(connections, CONN_SUPPLY, kPrompt), -1) << value.first;
    EXPECT_EQ(cadhost::takeOutput(), std::string(kPrompt) + pick + "\n" + value.second);
    EXPECT_EQ(connections[CONN_SUPPLY].systemId, -1);
    EXPECT_EQ(connections[CONN_SUPPLY].airflow, 0);
    fake.numbers[value.first] = kept;
  }
}

}  // namespace
