// A Ductora server on a fake drawing in a fresh folder, for the tests.
#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include "du_internal.h"
#include "objbase.h"

struct FakeDrawing {
  std::string path;
  unsigned next = 0x100;
  std::set<std::string> erased;
  std::set<std::string> blocks{"Zephyr1"};
  bool refuse = false;        // createEntity and updateEntity refuse
  int redrawn = 0;            // updateEntity calls
  bool throwOnCreate = false; // createEntity runs out of memory
};

class DuctoraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);  // the test's thread, as the host's, is a COM apartment
    char dir[] = "/tmp/ductora-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    folder = dir;
    drawing.path = folder + "/plant.dxf";
    FakeDrawing* d = &drawing;
    server.hooks.drawingPath = [d] { return d->path; };
    server.hooks.createEntity = [d](const DuPart&, std::string& error) -> std::string {
      if (d->throwOnCreate) throw std::bad_alloc();
      if (d->refuse) {
        error = "refused by the test";
        return "";
      }
      std::ostringstream s;
      s << std::uppercase << std::hex << d->next++;
      return s.str();
    };
    server.hooks.updateEntity = [d](const DuPart&, std::string& error) {
      ++d->redrawn;
      if (d->refuse) error = "refused by the test";
      return !d->refuse;
    };
    server.hooks.eraseEntity = [d](const std::string& h) { d->erased.insert(h); };
    server.hooks.entityAlive = [d](const DuPart& p) { return d->erased.count(p.handle) == 0; };
    server.hooks.blockExists = [d](const std::string& n) { return d->blocks.count(n) > 0; };
  }
  void TearDown() override {
    std::system(("rm -rf '" + folder + "'").c_str());
    CoUninitialize();
  }

  // The host saved the drawing: the project goes to disk with it.
  void saveDrawing() { ASSERT_EQ(du_drawing_saved(server, drawing.path), DU_OK) << server.lastError; }

  std::string projectFile() const { return folder + "/plant.ductora.xml"; }
  // The journal with every line written so far.
  std::string journalFile() {
    du_journal_flush(server);
    return folder + "/plant.ductora.log";
  }
  std::string read(const std::string& path) const {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void write(const std::string& path, const std::string& text) const { std::ofstream(path) << text; }

  // A project with two systems and two duct series, as a user would have it.
  void writeSampleProject(long version = 20110101) {
    write(projectFile(),
          "<?xml version=\"1.0\"?>\n<DuctoraProject version=\"" + std::to_string(version) + "\" open=\"1\">\n"
          "<Ductwork>\n"
          "<System id=\"3\" typeId=\"0\" name=\"Supply air\"/>\n"
          "<System id=\"4\" typeId=\"1\" name=\"Extract air\"/>\n"
          "<DuctSerie id=\"SR\" name=\"Spiro\"><Size name=\"100\"/><Size name=\"125\"/><Size name=\"160\"/></DuctSerie>\n"
          "<DuctSerie id=\"RECT\" name=\"Rectangular\"><Size name=\"400x200\"/></DuctSerie>\n"
          "</Ductwork>\n</DuctoraProject>\n");
  }

  std::string ductEnd(int system = 3) {
    std::string h;
    EXPECT_EQ(du_add_duct_end(server, DuVec{1000, 2000, 0}, system, 120, 350, h), DU_OK) << server.lastError;
    return h;
  }

  std::string customPart() {
    std::string h;
    EXPECT_EQ(du_create_part(server,
                             "<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type>"
                             "<System><ID>3</ID></System><Position><WCS>10.000000 20.000000 0.000000</WCS></Position>"
                             "<Direction><WCS>1.000000 0.000000 0.000000</WCS></Direction>"
                             "<Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Productcode>AHU-1</Productcode>"
                             "<CustomPartType>Unit &amp; co</CustomPartType><Description>Unit &amp; co</Description>"
                             "<Geometry><Layer><Name>0</Name></Layer></Geometry></Part></CreatePart>",
                             h),
              DU_OK)
        << server.lastError;
    return h;
  }

  // A Fan stub on the part: one round connection at the origin.
  std::string fanStub(const std::string& parent) {
    std::string h;
    EXPECT_EQ(du_create_connection_stub(
                  server,
                  "<CreateConnectionStub><Function><Name>Fan</Name></Function><ParentPart>" + parent +
                      "</ParentPart><System><ID>3</ID></System><Connections><Connection><Position><WCS>0 0 0</WCS>"
                      "</Position><Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal><Shape><ID>"
                      "0</ID></Shape><Diameter>125</Diameter></Connection></Connections></CreateConnectionStub>",
                  h),
              DU_OK)
        << server.lastError;
    return h;
  }

  std::string folder;
  FakeDrawing drawing;
  DuServer server;
};
