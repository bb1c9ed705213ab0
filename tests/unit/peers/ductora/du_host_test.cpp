// Guards against Ductora parts that are not real entities of the host's drawing: no
// handle the host can open, no DUCTORA extended data, still "alive" after erasing, nothing
// drawn, a plain entity that took over a part's handle counted as that part; and against
// parts that were block references (the host's placement, not Ductora's, was what the
// system read back), that lost what they draw through a save, or left their stubs behind
// when erased.
#include <gtest/gtest.h>
#include <algorithm>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include "arxhost.h"
#include "du_elements.h"
#include "du_entity.h"
#include "du_host.h"
#include "du_internal.h"
#include "hosttest.h"

namespace {
struct HostSession : ::testing::Test {
  void SetUp() override {
    cadhost::startTestSession();
    DURAPart::rxInit();
  }
  void TearDown() override {
    deleteAcRxClass(DURAPart::desc());
    du_set_entity_hooks({});
    cadhost::endTestSession();
  }
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

  DURAPart* point = nullptr;
  ASSERT_EQ(acdbOpenObject(point, idOf(handle), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(point->position.x, 5);
  EXPECT_EQ(point->partClass, "DURAPathwayConnector");
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
// What an entity draws, as the host sees it: each primitive's kind ("circle", "line" for a
// polyline of two points, "polyline", "polygon", "block NAME") and its points in the world.
struct Drawn : AcGiWorldDraw, AcGiWorldGeometry {
  std::vector<std::string> kinds;
  std::vector<AcGePoint3d> points;
  std::vector<AcGeMatrix3d> stack{AcGeMatrix3d()};
  AcGeMatrix3d blockFrame;  // where the last block drawn stands
  AcGiWorldGeometry& geometry() const override { return *const_cast<Drawn*>(this); }
  Adesk::Boolean regenAbort() const override { return false; }
  void add(const char* kind, const AcGePoint3d& p) const {
    auto* self = const_cast<Drawn*>(this);
    self->kinds.push_back(kind);
    self->points.push_back(AcGePoint3d(p).transformBy(stack.back()));
  }
  Adesk::Boolean circle(const AcGePoint3d& c, double, const AcGeVector3d&) const override {
    add("circle", c);
    return false;
  }
  Adesk::Boolean circularArc(const AcGePoint3d& c, double, const AcGeVector3d&, const AcGeVector3d&, double,
                             AcGiArcType) const override {
    add("arc", c);
    return false;
  }
  Adesk::Boolean polyline(Adesk::UInt32 n, const AcGePoint3d* p, const AcGeVector3d*, Adesk::LongPtr) const override {
    add(n == 2 ? "line" : n == 1 ? "point" : "polyline", p[0]);
    return false;
  }
  Adesk::Boolean polygon(Adesk::UInt32, const AcGePoint3d* p) const override {
    add("polygon", p[0]);
    return false;
  }
  Adesk::Boolean draw(AcGiDrawable* d) const override {
    if (auto* ref = AcDbBlockReference::cast(d)) {
      AcDbBlockTableRecord* rec = nullptr;
      if (acdbOpenObject(rec, ref->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return true;
      add("block", AcGePoint3d::kOrigin);
      const_cast<Drawn*>(this)->kinds.back() += " " + du_narrow(rec->name());
      rec->close();
      const_cast<Drawn*>(this)->blockFrame = stack.back() * ref->blockTransform();
      return false;
    }
    d->worldDraw(const_cast<Drawn*>(this));
    return false;
  }
  Adesk::Boolean pushModelTransform(const AcGeMatrix3d& m) override {
    stack.push_back(stack.back() * m);
    return false;
  }
  Adesk::Boolean popModelTransform() override {
    stack.pop_back();
    return false;
  }
};

Drawn drawnBy(const std::string& handle) {
  Drawn d;
  AcDbEntity* e = nullptr;
  if (acdbOpenObject(e, idOf(handle), AcDb::kForRead) != Acad::eOk) return d;
  e->worldDraw(&d);
  e->close();
  std::sort(d.kinds.begin(), d.kinds.end());
  return d;
}
}  // namespace

TEST_F(HostSession, PartsDrawWhatDuctoraHolds) {
  DuServer server;
  serveTheDrawing(server);
  server.project.series = {{"SR", "Spiro", {"315"}}, {"RECT", "Rect", {"400x200"}}};
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  AcDbBlockTable* table = nullptr;
  ASSERT_EQ(db->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
  AcDbBlockTableRecord* unitBlock = new AcDbBlockTableRecord;
  unitBlock->setName(L"Zephyr1");
  ASSERT_EQ(table->add(unitBlock), Acad::eOk);
  unitBlock->close();
  table->close();

  // A custom part draws its block where it stands, its x axis the part's direction.
  std::string unit, model, fan, duct;
  ASSERT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System>"
                           "<Position><WCS>6000 2500 0</WCS></Position><Direction><WCS>0 1 0</WCS></Direction>"
                           "<Normal><WCS>0 0 1</WCS></Normal></Part></CreatePart>",
                           unit),
            DU_OK)
      << server.lastError;
  ASSERT_EQ(du_set_string(server, unit, "/Part/Geometry/Source[0]/Block/Name", "Zephyr1"), DU_OK) << server.lastError;
  Drawn drawn = drawnBy(unit);
  EXPECT_EQ(drawn.kinds, std::vector<std::string>{"block Zephyr1"});
  const AcGePoint3d ahead = AcGePoint3d(1000, 0, 0).transformBy(drawn.blockFrame);
  EXPECT_NEAR(ahead.x, 6000, 1e-9);
  EXPECT_NEAR(ahead.y, 3500, 1e-9);
  DURAPart* part = nullptr;
  ASSERT_EQ(acdbOpenObject(part, idOf(unit), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(part->blockName, "Zephyr1");
  part->close();
  ASSERT_EQ(du_set_point(server, unit, "/Part/Position/WCS", DuVec{6000, 2600, 0}), DU_OK);
  EXPECT_NEAR(drawnBy(unit).points[0].y, 2600, 1e-9);

  // One from a model draws its display list: a run of two lines, a circle, a face.
  ASSERT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System>"
                           "<Position><WCS>100 0 0</WCS></Position><Direction><WCS>0 1 0</WCS></Direction>"
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
  drawn = drawnBy(model);
  EXPECT_EQ(drawn.kinds, (std::vector<std::string>{"circle", "line", "line", "polygon"}));
  for (const AcGePoint3d& p : drawn.points)  // the model's x axis is the part's direction
    EXPECT_TRUE(p.x <= 100 + 1e-9 && p.y >= 0) << p.x << "," << p.y;

  // A round stub is a spigot: two rings and four lines; a rectangular duct a box.
  ASSERT_EQ(du_create_connection_stub(
                server,
                "<CreateConnectionStub><Function><Name>Fan</Name></Function><ParentPart>" + unit +
                    "</ParentPart><System><ID>3</ID></System><Connections><Connection><Position><WCS>6000 3000 0"
                    "</WCS></Position><Direction><WCS>0 1 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal><Shape>"
                    "<ID>1</ID></Shape><Width>400</Width><Height>200</Height></Connection></Connections>"
                    "</CreateConnectionStub>",
                fan),
            DU_OK)
      << server.lastError;
  EXPECT_EQ(drawnBy(fan).kinds, std::vector<std::string>(12, "line"));
  ASSERT_EQ(du_create_part(server,
                           "<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type><Connection><ConnectedTo>" +
                               fan + "</ConnectedTo><Position><WCS>6000 3000 0</WCS></Position></Connection>"
                               "<Connection><ConnectedTo></ConnectedTo><Position><WCS>6000 4300 0</WCS></Position>"
                               "</Connection><System><ID>3</ID><Type><ID>0</ID></Type></System><Normal><WCS>0 0 1"
                               "</WCS></Normal><Serie><ID>RECT</ID></Serie><Shape><ID>1</ID></Shape><Width>400</Width>"
                               "<Height>200</Height></Part></CreatePart>",
                           duct),
            DU_OK)
      << server.lastError;
  EXPECT_EQ(drawnBy(duct).kinds, std::vector<std::string>(12, "line"));

  // Saved and read back with Ductora there, each part is a DURAPart again, drawing what
  // the project holds; the unit's erasing takes its stub along.
  const std::string path = "/tmp/ductora_host_" + std::to_string(getpid()) + ".dxf";
  ASSERT_EQ(db->dxfOut(du_wide(path).c_str()), Acad::eOk);
  AcDbDatabase reread(false);
  ASSERT_EQ(reread.dxfIn(du_wide(path).c_str()), Acad::eOk);
  std::remove(path.c_str());
  acdbHostApplicationServices()->setWorkingDatabase(&reread);
  du_set_entity_hooks({[&](DURAPart& e) {
                         const DuPart* p = du_find_part(server.project, du_entity_handle(&e));
                         if (p) du_entity_take(e, *p);
                         return p != nullptr;
                       },
                       [&](const std::string& h) { du_part_erased(server, h); }});
  drawn = drawnBy(model);
  EXPECT_EQ(drawn.kinds, (std::vector<std::string>{"circle", "line", "line", "polygon"}));
  EXPECT_EQ(drawnBy(unit).kinds, std::vector<std::string>{"block Zephyr1"});
  AcDbObject* object = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(object, idOf(unit), AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(object->erase(), Acad::eOk);
  object->close();
  EXPECT_TRUE(idOf(fan).isErased());
  EXPECT_FALSE(idOf(duct).isErased());
  acdbHostApplicationServices()->setWorkingDatabase(db);
}
