// Guards the unit record's defaults and connection lookups that every later step relies on.
#include "unitrecord.h"

#include <gtest/gtest.h>

TEST(UnitRecord, FreshRecordHasTheUnitWithFiveDefaultConnections) {
  UnitRecord unit;
  EXPECT_EQ(unit.version, "200811");
  EXPECT_EQ(unit.heatExchanger, "cross");
  EXPECT_EQ(unit.externalComponentDistance, 1300.0);
  EXPECT_EQ(unit.componentDuctSerieId, "-1");
  EXPECT_EQ(unit.systemId, -1);
  EXPECT_EQ(unit.productDb, -1);
  ASSERT_EQ(unit.parts.size(), 1u);
  const GraphicalPart& part = unit.parts[0];
  EXPECT_EQ(part.name, "");
  EXPECT_EQ(part.alignment, 'D');
  EXPECT_TRUE(part.blockRefId.isNull());
  ASSERT_EQ(part.connections.size(), 5u);
  int expectedKey = 1;
  for (const auto& entry : part.connections) {
    EXPECT_EQ(entry.first, expectedKey++);
    EXPECT_EQ(entry.second.systemId, -1);
    EXPECT_EQ(entry.second.airflow, 0);
    EXPECT_EQ(entry.second.pressure, 0);
    for (int band = 0; band < kSoundBands; ++band) {
      EXPECT_EQ(entry.second.soundGeneration[band], 0);
      EXPECT_EQ(entry.second.soundAttenuation[band], 0);
    }
    EXPECT_TRUE(entry.second.dcHandle.empty());
  }
}

TEST(UnitRecord, CopiedPartKeepsItsMapAndList) {
  GraphicalPart part("SIL-A", 'H');
  part.connections[CONN_SUPPLY_IN].airflow = 5;
  part.connectionTypes = {CONN_SUPPLY, CONN_EXTRACT};
  part.attachedTo = 3;
  GraphicalPart copy = part;
  part.connections.clear();
  part.connectionTypes.clear();
  EXPECT_EQ(copy.connections[CONN_SUPPLY_IN].airflow, 5);
  EXPECT_EQ(copy.connectionTypes.size(), 2u);
  EXPECT_EQ(copy.attachedTo, 3);
  EXPECT_EQ(copy.alignment, 'H');
}

TEST(ConnectionTypeName, NamesKnownTypesAndNumbersUnknownOnes) {
  EXPECT_EQ(connectionTypeName(CONN_EXTRACT_PLUG), "CONN_EXTRACT_PLUG");
  EXPECT_EQ(connectionTypeName(static_cast<ConnectionType>(7)), "Unknown connection type 7");
  EXPECT_EQ(connectionTypeName(static_cast<ConnectionType>(-1)), "Unknown connection type -1");
}

TEST(FindConnection, PrefersTheComponentInletOnTheSamePath) {
  ConnectionMap map;
  map[CONN_SUPPLY_IN].airflow = 11;
  map[CONN_SUPPLY_OUT].airflow = 12;
  ConnectionType type = CONN_OUTDOOR;
  auto it = findConnection(map, type, false);
  ASSERT_NE(it, map.end());
  EXPECT_EQ(it->first, CONN_SUPPLY_IN);
  EXPECT_EQ(type, CONN_SUPPLY_IN);

  type = CONN_SUPPLY;
  it = findConnection(map, type, true);
  ASSERT_NE(it, map.end());
  EXPECT_EQ(type, CONN_SUPPLY_OUT);
}

TEST(FindConnection, FallsBackToTheTypeItself) {
  ConnectionMap map;
  map[CONN_SUPPLY].airflow = 1;
  ConnectionType type = CONN_SUPPLY;
  auto it = findConnection(map, type, false);
  ASSERT_NE(it, map.end());
  EXPECT_EQ(it->first, CONN_SUPPLY);
  EXPECT_EQ(type, CONN_SUPPLY);

  type = CONN_EXHAUST;  // extract path, not in the map
  EXPECT_EQ(findConnection(map, type, true), map.end());
  EXPECT_EQ(type, CONN_EXHAUST);
}

TEST(FindConnection, ExtractPathUsesExtractComponents) {
  ConnectionMap map;
  map[CONN_SUPPLY_IN];
  map[CONN_EXTRACT_OUT];
  ConnectionType type = CONN_EXHAUST;
  auto it = findConnection(map, type, true);
  ASSERT_NE(it, map.end());
  EXPECT_EQ(type, CONN_EXTRACT_OUT);
}

TEST(FindConnection, NoneAndPlugAlwaysGiveTheEnd) {
  UnitRecord unit;
  ConnectionMap& map = unit.parts[0].connections;
  ConnectionType type = CONN_EXTRACT_PLUG;
  EXPECT_EQ(findConnection(map, type, false), map.end());
  type = CONN_NONE;
  map[CONN_NONE];
  EXPECT_EQ(findConnection(map, type, true), map.end());
}

TEST(DuctSerieSize, WidthAndHeightFromTheName) {
  dc_duct_serie_size round = ductSerieSizeFromName("250");
  EXPECT_EQ(round.width, 250);
  EXPECT_EQ(round.height, 0);
  dc_duct_serie_size rect = ductSerieSizeFromName("600x300");
  EXPECT_EQ(rect.width, 600);
  EXPECT_EQ(rect.height, 300);
  dc_duct_serie_size open = ductSerieSizeFromName("600x");
  EXPECT_EQ(open.width, 600);
  EXPECT_EQ(open.height, 0);
}
