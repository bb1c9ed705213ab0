// Guards the unit's custom parts: the two <CreatePart> requests in their own element order,
// a display list sent whole in 10240-byte chunks, a geometry-less part reported with the
// server's text, a block reference replaced by its part, and the version Ductora needs.
#include <gtest/gtest.h>

#include <vector>

#include "blocks.h"
#include "custompart.h"
#include "fakeductora.h"
#include "hosttest.h"
#include "testdrawing.h"
#include "text.h"

namespace {
struct CustomPart : ::testing::Test {
  FakeDuctora fake;
  std::string handle;
  void SetUp() override {
    fake.start();
    cadhost::startTestSession();
  }
  void TearDown() override { cadhost::endTestSession(); }
  std::vector<std::string> methods() const {
    std::vector<std::string> names;
    for (const FakeCall& c : fake.calls) names.push_back(c.method);
    return names;
  }
  int fromModel(int elements) {
    std::vector<gm_element> items(static_cast<size_t>(elements), gm_element{GM_RUN_POINT, 1, 1.5, 2.5, 3.5});
    gm_model list{items.data(), elements, elements};
    return dc_custom_part_from_model(&list, 2, AcGePoint3d(1, 2, 3), AcGeVector3d::kXAxis, AcGeVector3d::kZAxis, "",
                                     "0", "", handle);
  }
};
}  // namespace

TEST_F(CustomPart, ModelPartGetsItsDisplayListInChunksAndItsLineTypes) {
  ASSERT_EQ(fromModel(400), 0);
  EXPECT_EQ(handle, "2A");
  EXPECT_EQ(methods(), (std::vector<std::string>{"CreatePart", "AllocBinary", "WriteBinary", "WriteBinary",
                                                 "SetNumber", "FreeBinary", "SetString"}));
  EXPECT_EQ(fake.calls[0].query,
            "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>2</ID></System>"
            "<Position><WCS>1.000000 2.000000 3.000000</WCS></Position><Direction><WCS>1.000000 0.000000 0.000000"
            "</WCS></Direction><Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal>"
            "<CustomPartType>Special</CustomPartType><Geometry><Layer><Name>0</Name></Layer></Geometry>"
            "</Part></CreatePart>");
  EXPECT_EQ(fake.calls[1].offset, 11200);
  EXPECT_EQ(fake.calls[2].offset, 0);
  EXPECT_EQ(fake.calls[2].text.size(), 20480u);
  EXPECT_EQ(fake.calls[3].offset, 10240);
  EXPECT_EQ(fake.calls[3].text.size(), 1920u);
  EXPECT_EQ(fake.calls[4].handle, "2A");
  EXPECT_EQ(fake.calls[4].query, "/Part/Geometry/Source[0]/gm_model/binvar");
  EXPECT_EQ(fake.calls[6].query, "/Part/Geometry/Linetypedef[0]");
  EXPECT_EQ(fake.calls[6].text,
            "<Linetypedef><Linetype id=\"1\"><Layer><Name>0</Name></Layer></Linetype><Linetype id=\"2\"><Layer>"
            "<Name>0</Name></Layer></Linetype><Linetype id=\"3\"><Layer><Name>0</Name></Layer></Linetype>"
            "<Linetype id=\"4\"><Layer><Name>0</Name></Layer></Linetype></Linetypedef>");
}

TEST_F(CustomPart, ARefusedDisplayListLeavesThePartWithoutGeometryAndFreesTheBuffer) {
  EXPECT_EQ(fromModel(0), -1);
  EXPECT_EQ(handle, "2A");
  EXPECT_EQ(methods(), (std::vector<std::string>{"CreatePart", "AllocBinary", "FreeBinary"}));
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Can't create custom object The fake refused it.\n");

  fake.calls.clear();
  fake.refused.insert("SetNumber");
  EXPECT_EQ(fromModel(3), -1);
  EXPECT_EQ(fake.calls.back().method, "FreeBinary");
}

TEST_F(CustomPart, BlockReferenceIsReplacedByItsPart) {
  gm_model empty{nullptr, 0, 0};
  const AcDbObjectId block = block_build_from_a2d("Zephyr7", "0", "0", "0", "0", &empty);
  ASSERT_EQ(layer_create("Ventilation units", 7), 0);
  AcDbBlockReference* reference = new AcDbBlockReference(AcGePoint3d(10, 20, 0), block);
  reference->setLayer(L"Ventilation units");
  reference->setRotation(1.5707963267948966);
  GraphicalPart unit("VH-1", 'D');
  unit.description = "Fan & filter";
  unit.blockRefId = addToDrawing(reference);
  const AcDbObjectId referenceId = unit.blockRefId;
  const AcDbObjectId part = addToDrawing(new AcDbPoint(AcGePoint3d(10, 20, 0)));
  fake.partHandle = handleText(part);

  fake.version = 20071000;  // enough for the block step alone, not for the whole task
  EXPECT_EQ(dc_create_custom_part(-1, 1, unit), -1);
  EXPECT_EQ(cadhost::takeOutput(), "\nZephyr: Can't get duct connection data from Ductora Can't initialize Ductora "
                                   "interface Ductora version is too old\n");
  EXPECT_TRUE(fake.calls.empty());

  fake.version = 20071001;
  ASSERT_EQ(dc_create_custom_part(-1, 1, unit), 0) << cadhost::takeOutput();
  EXPECT_EQ(unit.blockRefId, part);
  EXPECT_EQ(fake.calls[1].query,
            "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>1</ID></System>"
            "<Position><WCS>10.000000 20.000000 0.000000</WCS></Position><Direction><WCS>0.000000 1.000000 0.000000"
            "</WCS></Direction><Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Productcode>VH-1</Productcode>"
            "<Geometry><Layer><Name>Ventilation units</Name></Layer></Geometry><CustomPartType>Fan &amp; filter"
            "</CustomPartType><Description>Fan &amp; filter</Description></Part></CreatePart>");
  EXPECT_EQ(fake.calls[2].query, "/Part/Geometry/Source[0]/Block/Name");
  EXPECT_EQ(fake.calls[2].text, "Zephyr7");
  AcDbObject* erased = nullptr;
  EXPECT_EQ(acdbOpenAcDbObject(erased, referenceId, AcDb::kForRead), Acad::eWasErased);

  // Once a custom part, a second run sends nothing.
  fake.calls.clear();
  fake.strings["/Part/Type/Define"] = "EWAPART_CUSTOM";
  EXPECT_EQ(dc_create_custom_part(-1, 1, unit), 0);
  EXPECT_EQ(methods(), std::vector<std::string>{"GetString"});
}

TEST_F(CustomPart, TransformOfNothingIsTheIdentity) {
  EXPECT_TRUE(dc_part_transform(AcDbObjectId()).isEqualTo(AcGeMatrix3d::kIdentity));
  EXPECT_EQ(cadhost::takeOutput(),
            "\nZephyr: Can't get duct connection data from Ductora Can't open object for reading\n");
}
