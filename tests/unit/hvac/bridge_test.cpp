// Guards the bridge to Ductora: the connection messages of each missing piece, whole
// texts both ways (long and non-ASCII), and byte blocks cut into the right chunks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge.h"
#include "fakeductora.h"

namespace {
std::string connectError() {
  try {
    DuctoraBridge bridge;
  } catch (const char* message) {
    return message;
  }
  return "";
}
}  // namespace

TEST(BridgeConnection, NamesTheMissingPiece) {
  FakeDuctora::uninstall();
  EXPECT_EQ(connectError(), "Could not find DuraComSrv.Drawing installed");
  FakeDuctora::install();
  EXPECT_EQ(connectError(), "Could not get running instance of DuraComSrv.Drawing");

  FakeDuctora fake;
  fake.start(/*drawingOnly=*/true);
  EXPECT_EQ(connectError(), "Could not get running instance of DuraComSrv.Ductora");
  EXPECT_EQ(fake.drawingReferences(), 2u);  // the object table's and our own: nothing leaked
  fake.start();
  EXPECT_EQ(connectError(), "");
}

TEST(BridgeTexts, LongAndNonAsciiTextsComeBackWhole) {
  FakeDuctora fake;
  fake.start();
  const std::string longName(300, 'n');
  const std::string localName = "Zuluft Büro Süd — Gebäude 3";
  fake.strings["/Part/Long"] = longName;
  fake.strings["/Part/Local"] = localName;
  DuctoraBridge bridge;
  std::string value;
  EXPECT_EQ(bridge.getString("1F", "/Part/Long", value), 0);
  EXPECT_EQ(value, longName);
  EXPECT_EQ(bridge.getString("1F", "/Part/Local", value), 0);
  EXPECT_EQ(value, localName);
  // The server receives texts whose stored length counts the terminating zero.
  EXPECT_EQ(fake.calls.back().storedLength, std::string("/Part/Local").size() + 1);
  EXPECT_EQ(fake.calls.back().handle, "1F");
}

TEST(BridgeTexts, RefusalIsHandedBackWithTheServersReason) {
  FakeDuctora fake;
  fake.start();
  DuctoraBridge bridge;
  double number = 0;
  EXPECT_EQ(bridge.getNumber("", "/Project/Nothing", number), fake.refusal);
  EXPECT_EQ(bridge.lastError(), "The fake refused it.");
  EXPECT_EQ(bridge.version(), fake.version);
}

TEST(BridgeBinary, BlocksAreCutIntoChunksOf10240Bytes) {
  FakeDuctora fake;
  fake.start();
  DuctoraBridge bridge;
  std::vector<unsigned char> block(10241, 0xAB);
  block[0] = 0x01;

  EXPECT_EQ(bridge.writeBinaryData(1, block.data(), 10240), 0);
  ASSERT_EQ(fake.calls.size(), 1u);
  EXPECT_EQ(fake.calls[0].text.size(), 20480u);
  EXPECT_EQ(fake.calls[0].text.substr(0, 4), "01AB");

  fake.calls.clear();
  EXPECT_EQ(bridge.writeBinaryData(1, block.data(), 10241), 0);
  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[0].offset, 0);
  EXPECT_EQ(fake.calls[1].offset, 10240);
  EXPECT_EQ(fake.calls[1].text, "AB");

  fake.calls.clear();
  EXPECT_EQ(bridge.writeBinaryData(1, block.data(), 0), -4);
  EXPECT_EQ(bridge.writeBinaryData(1, nullptr, 5), -4);
  EXPECT_TRUE(fake.calls.empty());
}
