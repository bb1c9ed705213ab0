// Guards against Ductora parts that are not real entities of the host's drawing: no
// handle the host can open, no DUCTORA extended data, still "alive" after erasing, or
// (before) nothing drawn: every part was a bare point, and a plain entity that took over
// a part's handle counted as that part.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include "arxhost.h"
#include "du_elements.h"
#include "du_host.h"
#include "du_internal.h"
#include "hosttest.h"

namespace {
struct HostSession : ::testing::Test {
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override { cadhost::endTestSession(); }
  // The server with its parts in the session's drawing and one supply system.
  static void serveTheDrawing(DuServer& server) {
    server.hooks = du_host_hooks();
    du_sync(server);
    server.project.systems = {{3, "0", "Supply air"}};
  }
};

AcDbObjectId idOf(const std::string& handle) {
  AcDbObjectId id;
  acdbHostApplicationServices()->workingDatabase()->getAcDbObjectId(id, false,
                                                                     AcDbHandle(du_wide(handle).c_str()));
  return id;
}
}  // namespace

TEST_F(HostSession, PartsAreEntitiesWithExtendedData) {
  DuServer server;
  serveTheDrawing(server);
  std::string handle;
  ASSERT_EQ(du_add_duct_end(server, DuVec{5, 6, 0}, 3, 100, 200, handle), DU_OK) << server.lastError;

  AcDbPoint* point = nullptr;
  ASSERT_EQ(acdbOpenObject(point, idOf(handle), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(point->position().x, 5);
  resbuf* xd = point->xData(L"DUCTORA");
  ASSERT_NE(xd, nullptr);
  ASSERT_NE(xd->rbnext, nullptr);
  EXPECT_EQ(std::wstring(xd->rbnext->resval.rstring), L"DURAPathwayConnector");
  acutRelRb(xd);
  point->close();

  DuPart* part = du_find_part(server.project, handle);
  ASSERT_NE(part, nullptr);
  EXPECT_TRUE(server.hooks.entityAlive(*part));
  server.hooks.eraseEntity(handle);
  EXPECT_FALSE(server.hooks.entityAlive(*part));
  std::string s;
  EXPECT_EQ(du_get_string(server, handle, "/Part/Class/Name", s), DU_NO_OBJECT);
  EXPECT_TRUE(server.hooks.blockExists("*Model_Space"));
  EXPECT_FALSE(server.hooks.blockExists("NoSuchBlock"));

  // A project saved while its drawing was not: the handle now names a plain line.
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, acdbHostApplicationServices()->workingDatabase()->modelSpaceId(), AcDb::kForWrite),
            Acad::eOk);
  AcDbObjectId lineId;
  AcDbLine* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  ASSERT_EQ(space->appendAcDbEntity(lineId, line), Acad::eOk);
  line->close();
  space->close();
  DuPart stale = *part;
  ACHAR text[40];
  lineId.handle().getIntoAsciiBuffer(text, 40);
  stale.handle = du_narrow(text);
  server.project.parts.push_back(stale);
  EXPECT_FALSE(server.hooks.entityAlive(stale));
  EXPECT_EQ(du_get_string(server, stale.handle, "/Part/Class/Name", s), DU_NO_OBJECT);
}

namespace {
// The entities of a block by their DXF names, e.g. {"LINE", "LINE", "CIRCLE"}.
std::vector<std::string> kinds(AcDbObjectId block) {
  std::vector<std::string> out;
  AcDbBlockTableRecord* btr = nullptr;
  if (acdbOpenObject(btr, block, AcDb::kForRead) != Acad::eOk) return out;
  AcDbBlockTableRecordIterator* it = nullptr;
  if (btr->newIterator(it) == Acad::eOk) {
    for (it->start(); !it->done(); it->step()) {
      AcDbEntity* e = nullptr;
      if (it->getEntity(e, AcDb::kForRead) != Acad::eOk) continue;
      out.push_back(e->isA()->dxfName());
      e->close();
    }
    delete it;
  }
  btr->close();
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST_F(HostSession, PartsDrawWhatDuctoraHolds) {
  DuServer server;
  serveTheDrawing(server);
  server.project.series = {{"SR", "Spiro", {"315"}}};
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  AcDbBlockTable* table = nullptr;
  ASSERT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
  AcDbBlockTableRecord* unitBlock = new AcDbBlockTableRecord;
  unitBlock->setName(L"Zephyr1");
  ASSERT_EQ(table->add(unitBlock), Acad::eOk);
  const AcDbObjectId unitBlockId = unitBlock->objectId();
  unitBlock->close();
  table->close();

  // A custom part stands where its request puts it, turned to its direction.
  std::string unit, model, fan, duct;
  ASSERT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System>"
                           "<Position><WCS>6000 2500 0</WCS></Position><Direction><WCS>0 1 0</WCS></Direction>"
                           "<Normal><WCS>0 0 1</WCS></Normal></Part></CreatePart>",
                           unit),
            DU_OK)
      << server.lastError;
  ASSERT_EQ(du_set_string(server, unit, "/Part/Geometry/Source[0]/Block/Name", "Zephyr1"), DU_OK) << server.lastError;
  AcDbBlockReference* ref = nullptr;
  ASSERT_EQ(acdbOpenObject(ref, idOf(unit), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(ref->blockTableRecord(), unitBlockId);
  AcGePoint3d ahead(1000, 0, 0);  // the block's X axis is the part's direction
  ahead.transformBy(ref->blockTransform());
  EXPECT_NEAR(ahead.x, 6000, 1e-9);
  EXPECT_NEAR(ahead.y, 3500, 1e-9);
  resbuf* xd = ref->xData(L"DUCTORA");
  EXPECT_NE(xd, nullptr);
  acutRelRb(xd);
  ref->close();

  // One from a model draws its display list: a run of two lines, a circle, a face.
  ASSERT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System>"
                           "<Position><WCS>0 0 0</WCS></Position><Direction><WCS>1 0 0</WCS></Direction>"
                           "<Normal><WCS>0 0 1</WCS></Normal></Part></CreatePart>",
                           model),
            DU_OK);
  std::vector<uint8_t> list;
  addElement(list, 1001, 0, 0, 0);
  addElement(list, 1002, 100, 0, 0);
  addElement(list, 1003, 100, 100, 0);
  addElement(list, 1021, 50, 50, 0);
  addElement(list, 0, 0, 0, 1);
  addElement(list, 0, 25, 0, 0);
  addElement(list, 2001, 0, 0, 0);
  addElement(list, 0, 10, 0, 0);
  addElement(list, 0, 10, 10, 0);
  ASSERT_EQ(du_alloc_binary(server, 1, long(list.size())), DU_OK);
  server.binaries[1].bytes = list;
  ASSERT_EQ(du_set_number(server, model, "/Part/Geometry/Source[0]/gm_model/binvar", 1), DU_OK) << server.lastError;
  ASSERT_EQ(acdbOpenObject(ref, idOf(model), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(kinds(ref->blockTableRecord()), (std::vector<std::string>{"3DFACE", "CIRCLE", "LINE", "LINE"}));
  ref->close();

  // A round stub is a spigot: two rings and four lines; a rectangular duct a box.
  ASSERT_EQ(du_create_connection_stub(
                server,
                "<CreateConnectionStub><Function><Name>Fan</Name></Function><ParentPart>" + unit +
                    "</ParentPart><System><ID>3</ID></System><Connections><Connection><Position><WCS>6000 3000 0"
                    "</WCS></Position><Direction><WCS>0 1 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal><Shape>"
                    "<ID>0</ID></Shape><Diameter>315</Diameter></Connection></Connections></CreateConnectionStub>",
                fan),
            DU_OK)
      << server.lastError;
  ASSERT_EQ(acdbOpenObject(ref, idOf(fan), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(kinds(ref->blockTableRecord()),
            (std::vector<std::string>{"CIRCLE", "CIRCLE", "LINE", "LINE", "LINE", "LINE"}));
  ref->close();
  ASSERT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type><Connection><ConnectedTo>" +
                               fan + "</ConnectedTo><Position><WCS>6000 3000 0</WCS></Position></Connection>"
                               "<Connection><ConnectedTo></ConnectedTo><Position><WCS>6000 4300 0</WCS></Position>"
                               "</Connection><System><ID>3</ID><Type><ID>0</ID></Type></System><Normal><WCS>0 0 1"
                               "</WCS></Normal><Serie><ID>SR</ID></Serie><Shape><ID>1</ID></Shape><Width>400</Width>"
                               "<Height>200</Height></Part></CreatePart>",
                           duct),
            DU_OK)
      << server.lastError;
  ASSERT_EQ(acdbOpenObject(ref, idOf(duct), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(kinds(ref->blockTableRecord()), std::vector<std::string>(12, "LINE"));
  ref->close();
}
