// Guards the decision to draw a duct between a unit connection and the component on its
// duct: only for equal sizes, facing ends on one line, with the system type of the air
// path; a refused duct is reported without ending the walk.
#include <gtest/gtest.h>

#include "ducts.h"
#include "fakeductora.h"
#include "hosttest.h"
#include "testdrawing.h"

namespace {
DuctConnectionData end(const char* stub, double x, AcGeVector3d direction, double width, double height) {
  DuctConnectionData c;
  c.dcHandle = stub;
  c.systemId = 1;
  c.position.set(x, 0, 0);
  c.direction = direction;
  c.normal = AcGeVector3d::kZAxis;
  c.size.set(width, height, 0);
  return c;
}

struct Ducts : ::testing::Test {
  FakeDuctora fake;
  GraphicalPart unit{"VH-RX-2500", 'D'}, filter{"VH-FLT-500x300", 'D'};
  DuctConnectionData outlet = end("1A", 1000, AcGeVector3d::kXAxis, 400, 200);
  DuctConnectionData inlet = end("1B", 0, -AcGeVector3d::kXAxis, 400, 200.0000001);
  void SetUp() override {
    fake.start();
    cadhost::startTestSession();
    unit.blockRefId = addToDrawing(new AcDbBlockReference(AcGePoint3d(0, 0, 0), AcDbObjectId()));
    filter.blockRefId = addToDrawing(new AcDbBlockReference(AcGePoint3d(2300, 0, 0), AcDbObjectId()));
  }
  void TearDown() override { cadhost::endTestSession(); }
  int connect(ConnectionType type) { return dc_connect_by_duct(unit, outlet, filter, inlet, "DS-RECT", type); }
  size_t ducts() const {
    size_t n = 0;
    for (const FakeCall& c : fake.calls) n += c.method == "CreatePart";
    return n;
  }
};
}  // namespace

TEST_F(Ducts, FacingEqualEndsOnOneLineGetADuctOfTheirAirPath) {
  ASSERT_EQ(connect(CONN_SUPPLY), 0);
  ASSERT_EQ(ducts(), 1u);
  EXPECT_EQ(fake.calls.back().query,
            "<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type>"
            "<Connection><ConnectedTo>1A</ConnectedTo><Position><WCS>1000.000000 0.000000 0.000000</WCS></Position>"
            "</Connection><Connection><ConnectedTo>1B</ConnectedTo><Position><WCS>2300.000000 0.000000 0.000000"
            "</WCS></Position></Connection><System><ID>1</ID><Type><ID>0</ID></Type></System>"
            "<Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Serie><ID>DS-RECT</ID></Serie>"
            "<Shape><ID>1</ID></Shape><Width>400</Width><Height>200</Height></Part></CreatePart>");
  ASSERT_EQ(connect(CONN_EXTRACT_OUT), 0);
  EXPECT_NE(fake.calls.back().query.find("<System><ID>1</ID><Type><ID>1</ID></Type></System>"), std::string::npos);
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(Ducts, NoDuctForAnotherSizeOrAnInletOffTheLine) {
  inlet.size.set(315, 0, 0);
  EXPECT_EQ(connect(CONN_SUPPLY), 0);
  inlet.size = outlet.size;
  inlet.position.set(0, 1, 0);  // 1 unit off at 1300: about 7.7e-4 radians
  EXPECT_EQ(connect(CONN_SUPPLY), 0);
  inlet.position.set(0, 0, 0);
  inlet.direction = AcGeVector3d::kYAxis;  // not facing the outlet
  EXPECT_EQ(connect(CONN_SUPPLY), 0);
  EXPECT_EQ(ducts(), 0u);
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(Ducts, OldOrRefusingDuctoraIsReported) {
  fake.refused.insert("CreatePart");
  EXPECT_EQ(connect(CONN_SUPPLY), 0);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Failed to create pipe The fake refused it.\n");
  fake.version = 20071000;
  EXPECT_EQ(connect(CONN_SUPPLY), -1);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Can't connect connections by duct Can't initialize Ductora interface. "
                                   "Ductora version is too old\n");
}
