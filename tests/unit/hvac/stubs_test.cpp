// Guards the connection stubs: the request text Ductora reads, which stubs are kept,
// replaced or dropped, the package rebuilt in connection order, and every refusal
// reported with its own words while the record keeps only what Ductora really holds.
#include <gtest/gtest.h>

#include "fakeductora.h"
#include "hosttest.h"
#include "stubs.h"
#include "testdrawing.h"
#include "text.h"

namespace {
Ductora_Connection sized(double width, double height) {
  Ductora_Connection c;
  c.direction[0] = 1;
  c.normal[2] = 1;
  c.size[0] = width;
  c.size[1] = height;
  return c;
}

std::string stubAt(bool erased) {
  const AcDbObjectId id = addToDrawing(new AcDbPoint(AcGePoint3d()));
  if (erased) {
    AcDbObject* stub = nullptr;
    acdbOpenAcDbObject(stub, id, AcDb::kForWrite);
    stub->erase(true);
    stub->close();
  }
  return handleText(id);
}

bool isErased(const std::string& handle) {
  AcDbObjectId id;
  acdbHostApplicationServices()->workingDatabase()->getAcDbObjectId(id, false, AcDbHandle(widen(handle).c_str()));
  return id.isErased();
}

struct Stubs : ::testing::Test {
  FakeDuctora fake;
  GraphicalPart unit{"VH-CX-1200", 'D'};
  std::string oldSupply, extract, erasedOutdoor;
  void SetUp() override {
    fake.start();
    cadhost::startTestSession();
    fake.points = {{"/Part/Position/WCS", {100, 0, 0}}, {"/Part/Direction/WCS", {0, 1, 0}},
                   {"/Part/Normal/WCS", {0, 0, 1}}};
    fake.strings["/Part/ExternalPart/Function/Name"] = "Fan";
    fake.numbers["/Part/System/ID"] = 4;  // every existing stub serves system 4
    unit.blockRefId = addToDrawing(new AcDbPoint(AcGePoint3d(100, 0, 0)));
    oldSupply = stubAt(false), extract = stubAt(false), erasedOutdoor = stubAt(true);
    DuctConnectionData& supply = unit.connections[CONN_SUPPLY];
    supply = {oldSupply, 3};
    supply.position.set(1000, 0, 360);
    supply.direction = AcGeVector3d::kXAxis;
    supply.normal = AcGeVector3d::kZAxis;
    supply.size.set(250, 0, 0);
    supply.soundGeneration[0] = 62;
    unit.connections[CONN_EXTRACT] = {extract, 4};
    unit.connections[CONN_OUTDOOR] = {erasedOutdoor, -1};
    unit.connections[CONN_EXTRACT_PLUG] = unit.connections[CONN_SUPPLY];
    unit.connections[CONN_EXTRACT_PLUG].dcHandle = "";
    unit.connections[CONN_EXTRACT_PLUG].systemId = 2;
    unit.connections[CONN_EXTRACT_PLUG].modelConnectionId = kExtractPlugConnectionPoint;
  }
  void TearDown() override { cadhost::endTestSession(); }
  std::vector<FakeCall> calls(const char* method) const {
    std::vector<FakeCall> found;
    for (const FakeCall& c : fake.calls)
      if (c.method == method) found.push_back(c);
    return found;
  }
};
}  // namespace

TEST(StubRequest, SoundOnlyWhenGivenAndSizesAsWholeMillimetres) {
  xmlStringWriter writer;
  writer.xmlAppend("left over");
  const double silent[kSoundBands] = {0}, attenuation[kSoundBands] = {1, 0, 0, 0, 0, 0, 0, 0};
  dc_stub_request(writer, "NBranch", "1F", 3, silent, attenuation, {sized(500, 300), sized(400.9, 0)});
  EXPECT_STREQ(writer.text(),
               "<CreateConnectionStub><Function><Name>NBranch</Name></Function><ParentPart>1F</ParentPart>"
               "<System><ID>3</ID></System><Sound><Attenuation><dB>1.000000 0.000000 0.000000 0.000000 0.000000 "
               "0.000000 0.000000 0.000000</dB></Attenuation></Sound><Connections><Connection><Position><WCS>"
               "0.000000 0.000000 0.000000</WCS></Position><Direction><WCS>1.000000 0.000000 0.000000</WCS>"
               "</Direction><Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Shape><ID>1</ID></Shape>"
               "<Width>500</Width><Height>300</Height></Connection><Connection><Position><WCS>0.000000 0.000000 "
               "0.000000</WCS></Position><Direction><WCS>1.000000 0.000000 0.000000</WCS></Direction><Normal><WCS>"
               "0.000000 0.000000 1.000000</WCS></Normal><Shape><ID>0</ID></Shape><Diameter>400</Diameter>"
               "</Connection></Connections></CreateConnectionStub>");
  dc_stub_request(writer, "Fan", "1F", 3, nullptr, nullptr, {sized(315, 0.0000001)});
  EXPECT_NE(std::string(writer.text()).find("<Shape><ID>0</ID></Shape><Diameter>315</Diameter>"), std::string::npos);
}

TEST_F(Stubs, ReplacedKeptDroppedAndPackagedInConnectionOrder) {
  ASSERT_EQ(dc_create_connection_stubs(unit), 0);
  EXPECT_EQ(cadhost::takeOutput(), "");
  const std::vector<FakeCall> made = calls("CreateConnectionStub");
  ASSERT_EQ(made.size(), 2u);
  EXPECT_NE(made[0].query.find("<Name>Fan</Name></Function><ParentPart>" + handleText(unit.blockRefId) +
                               "</ParentPart><System><ID>3</ID></System><Sound><Generation><dB>62.000000"),
            std::string::npos);
  EXPECT_NE(made[0].query.find("<Position><WCS>100.000000 1000.000000 360.000000</WCS></Position><Direction><WCS>"
                               "0.000000 1.000000 0.000000</WCS>"),
            std::string::npos);
  EXPECT_NE(made[1].query.find("<Name>Plug</Name></Function><ParentPart>"), std::string::npos);
  EXPECT_EQ(made[1].query.find("<Sound>"), std::string::npos);

  const std::vector<FakeCall> set = calls("SetString");
  ASSERT_EQ(set.size(), 3u);
  EXPECT_EQ(set[0].text, "");
  EXPECT_EQ(set[1].text, "2B " + extract + " 2C");
  EXPECT_EQ(set[2].query, "/Part/Package/Behaviour/MOVE");
  EXPECT_EQ(set[2].text, "All");
  EXPECT_TRUE(isErased(oldSupply));
  EXPECT_EQ(unit.connections[CONN_SUPPLY].dcHandle, "2B");
  EXPECT_EQ(unit.connections[CONN_SUPPLY].systemId, 3);
  // A stub the user erased before its system was taken away is simply forgotten.
  EXPECT_EQ(unit.connections[CONN_OUTDOOR].dcHandle, "");
}

TEST_F(Stubs, RefusalsAreReportedAndTheRecordHoldsOnlyRealStubs) {
  fake.refused.insert("CreateConnectionStub");
  EXPECT_EQ(dc_create_connection_stubs(unit), -1);
  EXPECT_EQ(cadhost::takeOutput(),
            "\nZephyr: Failed to create duct connections Can't create duct connection The fake refused it.\n");
  EXPECT_TRUE(isErased(oldSupply));
  EXPECT_EQ(unit.connections[CONN_SUPPLY].dcHandle, "");
  EXPECT_EQ(unit.connections[CONN_SUPPLY].systemId, -1);

  fake.refused = {"SetString /Part/Package/Behaviour/MOVE"};
  unit.connections[CONN_SUPPLY].systemId = 3;
  EXPECT_EQ(dc_create_connection_stubs(unit), -1);
  EXPECT_EQ(cadhost::takeOutput(),
            "\nZephyr: Failed to create duct connections Can't set Ductora product package MOVE bahaviour\n");
  EXPECT_EQ(unit.connections[CONN_SUPPLY].dcHandle, "2B");

  fake.refused = {"SetString /Part/Package/PartList"};
  EXPECT_EQ(dc_create_connection_stubs(unit), -1);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Failed to create duct connections Can't clear Ductora product package\n");

  fake.version = 2006079;
  EXPECT_EQ(dc_create_connection_stubs(unit), -1);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Failed to create duct connections Can't initialize Ductora interface. "
                                   "Ductora version is too old\n");
}

TEST_F(Stubs, DuctoraWithoutPackagesGetsStubsOnly) {
  fake.version = 20071000;
  EXPECT_EQ(dc_create_connection_stubs(unit), 0);
  EXPECT_EQ(calls("CreateConnectionStub").size(), 2u);
  EXPECT_TRUE(calls("SetString").empty());
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(Stubs, BranchJoinsInletAndOutletInTheComponentsPackage) {
  DuctConnectionData& inlet = unit.connections[CONN_SUPPLY];
  DuctConnectionData& outlet = unit.connections[CONN_EXTRACT];
  EXPECT_EQ(dc_create_branch(unit, inlet, outlet), -1);  // the package cannot be read
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Failed to create nbrunch Can't get Ductora product package\n");
  fake.strings["/Part/Package/PartList"] = "1C";
  fake.refused.insert("CreateConnectionStub");
  EXPECT_EQ(dc_create_branch(unit, inlet, outlet), -1);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Failed to create nbrunch Can't create nbrunch The fake refused it.\n");
  EXPECT_EQ(inlet.dcHandle, oldSupply);

  fake.refused.clear();
  ASSERT_EQ(dc_create_branch(unit, inlet, outlet), 0);
  const std::string request = calls("CreateConnectionStub").back().query;
  EXPECT_NE(request.find("<Name>NBranch</Name></Function><ParentPart>" + handleText(unit.blockRefId)), std::string::npos);
  EXPECT_LT(request.find("<Diameter>250</Diameter>"), request.find("<Diameter>0</Diameter>"));  // inlet first
  EXPECT_EQ(calls("SetString")[0].text, "1C 2B");
  EXPECT_EQ(inlet.dcHandle, "2B");
  EXPECT_EQ(outlet.dcHandle, "2B");
}
