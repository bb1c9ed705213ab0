// Guards against a command stack, service dictionary or menu loader that accepts what it
// must refuse (duplicates, missing or broken menu files) or loses what was registered.
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include "arxhost.h"
#include "hosttest.h"

namespace {
int gCalls = 0;
void countCall() { ++gCalls; }
}  // namespace

TEST(CommandStack, AddLookupAndRemove) {
  AcEdCommandStack* stack = acedRegCmds;
  ASSERT_NE(stack, nullptr);
  EXPECT_EQ(stack->addCommand(L"TEST_CMDS", L"Zephyr", L"Zephyr", ACRX_CMD_MODAL, countCall), Acad::eOk);
  EXPECT_EQ(stack->addCommand(L"TEST_CMDS", L"ZEPHYR", L"ZEPHYR", ACRX_CMD_MODAL, countCall), Acad::eDuplicateKey);
  EXPECT_TRUE(stack->hasGroup(L"test_cmds"));
  AcRxFunctionPtr fn = stack->lookupCmd(L"zephyr");
  ASSERT_NE(fn, nullptr);
  fn();
  EXPECT_EQ(gCalls, 1);
  cadhost::startTestSession();
  EXPECT_EQ(acedCommandS(RTSTR, L"Zephyr", RTNONE), RTNORM);  // a registered command by name
  EXPECT_EQ(gCalls, 2);
  EXPECT_EQ(acedCommandS(RTSTR, L"NoSuchCommand", RTNONE), RTERROR);
  cadhost::endTestSession();
  EXPECT_EQ(stack->removeGroup(L"TEST_CMDS"), Acad::eOk);
  EXPECT_EQ(stack->lookupCmd(L"Zephyr"), nullptr);
  EXPECT_EQ(stack->removeGroup(L"TEST_CMDS"), Acad::eKeyNotFound);
}

TEST(Services, RegisterAndRemove) {
  EXPECT_FALSE(acrxServiceIsRegistered(L"ZEPH_TEST"));
  AcRxObject* s = acrxRegisterService(L"ZEPH_TEST");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(acrxRegisterService(L"ZEPH_TEST"), s);
  AcRxDictionary* services = AcRxDictionary::cast(acrxSysRegistry()->at(ACRX_SERVICE_DICTIONARY));
  ASSERT_NE(services, nullptr);
  AcRxObject* removed = services->remove(L"ZEPH_TEST");
  EXPECT_EQ(removed, s);
  delete removed;
  EXPECT_FALSE(acrxServiceIsRegistered(L"ZEPH_TEST"));
  EXPECT_EQ(services->remove(L"ZEPH_TEST"), nullptr);
  EXPECT_NE(acrxDynamicLinker, nullptr);
  EXPECT_FALSE(acrxDynamicLinker->unlockApplication(reinterpret_cast<void*>(0x1234)));
}

TEST(PartialMenus, RefusesMissingAndBrokenFiles) {
  std::string dir = "/tmp/cadhost_menu_" + std::to_string(getpid());
  std::string good = dir + "/Good.cuix", bad = dir + "/bad.cuix";
  ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
  std::ofstream(good) << "<Menu name=\"Zephyr\"><Item label=\"Zephyr\" command=\"Zephyr\"/></Menu>";
  std::ofstream(bad) << "<Menu name=\"Zephyr\"><Item label=";
  std::wstring wdir(dir.begin(), dir.end());
  EXPECT_TRUE(acedLoadPartialMenu((wdir + L"/Good.cuix").c_str()));
  // Either separator and any letter case, as the system's literal paths are written.
  std::wstring winPath = wdir + L"\\GOOD.CUIX";
  EXPECT_TRUE(acedLoadPartialMenu(winPath.c_str()));
  EXPECT_FALSE(acedLoadPartialMenu((wdir + L"/bad.cuix").c_str()));
  EXPECT_FALSE(acedLoadPartialMenu((wdir + L"/missing.cuix").c_str()));
  EXPECT_FALSE(acedLoadPartialMenu(L"\\Ventholm\\ZephyrDC Ductora plugin\\ZephyrDC.cuix"));
  EXPECT_FALSE(acedLoadPartialMenu(nullptr));
  std::remove(good.c_str());
  std::remove(bad.c_str());
  rmdir(dir.c_str());
}

TEST(Applications, MissingAndNonModuleFilesAreRefused) {
  cadhost::startTestSession();
  EXPECT_EQ(acedArxLoad(L"/nonexistent/Nothing.arx"), RTERROR);
  std::string fake = "/tmp/cadhost_fake_" + std::to_string(getpid()) + ".arx";
  std::ofstream(fake) << "not a module";
  std::wstring wfake(fake.begin(), fake.end());
  EXPECT_EQ(acedArxLoad(wfake.c_str()), RTERROR);
  EXPECT_EQ(acedArxUnload(L"Nothing.arx"), RTERROR);
  std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("Nothing.arx"), std::string::npos) << out;
  EXPECT_NE(out.find("not an application module"), std::string::npos) << out;
  std::remove(fake.c_str());
  cadhost::endTestSession();
}
