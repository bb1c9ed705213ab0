// Guards against Ductora parts that are not real entities of the host's drawing: no
// handle the host can open, no DUCTORA extended data, or still "alive" after erasing.
#include <gtest/gtest.h>
#include "arxhost.h"
#include "du_host.h"
#include "du_internal.h"
#include "hosttest.h"

namespace {
struct HostSession : ::testing::Test {
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override { cadhost::endTestSession(); }
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
  server.hooks = du_host_hooks();
  du_sync(server);
  server.project.systems = {{3, "0", "Supply air"}};
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

  EXPECT_TRUE(server.hooks.entityAlive(handle));
  server.hooks.eraseEntity(handle);
  EXPECT_FALSE(server.hooks.entityAlive(handle));
  std::string s;
  EXPECT_EQ(du_get_string(server, handle, "/Part/Class/Name", s), DU_NO_OBJECT);
  EXPECT_FALSE(server.hooks.entityAlive("FFFFFF"));
  EXPECT_TRUE(server.hooks.blockExists("*Model_Space"));
  EXPECT_FALSE(server.hooks.blockExists("NoSuchBlock"));
}
