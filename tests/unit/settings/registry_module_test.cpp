// Guards the registry module: values written come back, defaults apply only when a value
// is absent, buffers are never overrun, and a bad path is reported without stopping.
#include <gtest/gtest.h>
#include <cstring>
#include "print_capture.h"
#include "registry.h"

namespace {

struct RegistryModule : ::testing::Test {
  MachineFolder machine;
  void SetUp() override {
    machine.write("system.reg",
                  "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Ventholm\\Zephyr\\Test]\n");
    ASSERT_TRUE(regOpen("Ventholm", "Zephyr", "Test"));
  }
  void TearDown() override { regClose(); }
};

TEST(RegistryModuleOpen, NeedsBothKeysAndCreatesOnlyTheUsers) {
  MachineFolder machine;
  EXPECT_FALSE(regOpen("Ventholm", "Zephyr", "Test"));  // no machine key on a new machine
  EXPECT_NE(nullptr, regRootKey(HKEY_CURRENT_USER));
  EXPECT_EQ(nullptr, regRootKey(HKEY_LOCAL_MACHINE));
  EXPECT_TRUE(regClose());
  EXPECT_EQ(nullptr, regRootKey(HKEY_CURRENT_USER));
  EXPECT_NE(std::string::npos, machine.read("user.reg").find("[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr\\Test]"));
  EXPECT_TRUE(regOpen(nullptr, nullptr, nullptr) == false);
  EXPECT_NE(std::string::npos,
            machine.read("user.reg").find("[HKEY_CURRENT_USER\\Software\\Any company\\Any application\\Any version]"));
  regClose();
}

TEST_F(RegistryModule, NumbersTextsAndBinariesComeBack) {
  EXPECT_TRUE(regSetInt(nullptr, "Numbers\\Count", -7));
  EXPECT_EQ(-7, regGetInt(nullptr, "Numbers\\Count", 3));
  EXPECT_EQ(3, regGetInt(nullptr, "Numbers\\Absent", 3));
  EXPECT_TRUE(regSetFloat(nullptr, "Numbers/Ratio", 2.5f));  // "/" is taken as "\"
  EXPECT_FLOAT_EQ(2.5f, regGetFloat(nullptr, "Numbers\\Ratio", 1.0f));
  EXPECT_FLOAT_EQ(1.0f, regGetFloat(nullptr, "Numbers\\Absent", 1.0f));
  EXPECT_TRUE(regSetString(nullptr, "Numbers\\Word", "abc"));
  EXPECT_FLOAT_EQ(0.0f, regGetFloat(nullptr, "Numbers\\Word", 1.0f));
  EXPECT_STREQ("abc", regGetStringTemp(nullptr, "Numbers\\Word", "dflt"));
  EXPECT_STREQ("dflt", regGetStringTemp(nullptr, "Numbers\\Absent", "dflt"));

  const unsigned char blob[] = {0, 1, 2, 255};
  EXPECT_TRUE(regSetBinary(nullptr, "Data\\Blob", sizeof blob, blob));
  char buffer[8] = {0};
  DWORD size = 0;
  ASSERT_EQ(buffer, regGetString(nullptr, "Data\\Blob", &size, buffer, sizeof buffer));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(0, memcmp(blob, buffer, 4));

  EXPECT_TRUE(regDeleteValue(nullptr, "Data\\Blob"));
  EXPECT_FALSE(regDeleteValue(nullptr, "Data\\Blob"));
  EXPECT_EQ(nullptr, regGetString(nullptr, "Data\\Blob", &size, buffer, sizeof buffer));

  // Everything went to the user's hive file.
  regClose();
  winSetMachineFolder(machine.path);  // read the files again
  ASSERT_TRUE(regOpen("Ventholm", "Zephyr", "Test"));
  EXPECT_EQ(-7, regGetInt(nullptr, "Numbers\\Count", 3));
}

TEST_F(RegistryModule, BuffersAreNeverOverrun) {
  EXPECT_TRUE(regSetString(nullptr, "General\\Long", std::string(300, 'x').c_str()));
  char buffer[16];
  memset(buffer, '-', sizeof buffer);
  DWORD size = 0;
  EXPECT_EQ(nullptr, regGetString(nullptr, "General\\Long", &size, buffer, 10));
  EXPECT_EQ(nullptr, regGetString(nullptr, "General\\Long", &size, buffer, 0));  // no room promised
  EXPECT_EQ(nullptr, regGetString(nullptr, "General\\Long", &size, nullptr, 400));
  EXPECT_EQ('-', buffer[0]);
  EXPECT_STREQ("dflt", regGetStringTemp(nullptr, "General\\Long", "dflt"));  // over 256 bytes
  EXPECT_TRUE(regSetFloat(nullptr, "General\\Huge", 3e38f));             // "%f" gives 46 characters
  EXPECT_FLOAT_EQ(1.5f, regGetFloat(nullptr, "General\\Huge", 1.5f));
  EXPECT_TRUE(regSetBinary(nullptr, "General\\Wide", 8, "12345678"));
  EXPECT_EQ(9, regGetInt(nullptr, "General\\Wide", 9));

  std::string longPath(400, 'k');
  longPath += "\\Name";
  EXPECT_TRUE(regGetStringTemp(nullptr, longPath.c_str(), "d") != nullptr);
}

TEST_F(RegistryModule, ReadsFallBackToTheMachineAndRootsAreAskedAlone) {
  machine.write("system.reg",
                "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Ventholm\\Zephyr\\Test\\General]\n"
                "\"Shared\"=\"machine\"\n\"Only\"=\"machine only\"\n");
  ASSERT_TRUE(regOpen("Ventholm", "Zephyr", "Test"));
  EXPECT_TRUE(regSetString(nullptr, "General\\Shared", "user"));
  EXPECT_STREQ("user", regGetStringTemp(nullptr, "General\\Shared", "-"));
  EXPECT_STREQ("machine only", regGetStringTemp(nullptr, "General\\Only", "-"));
  EXPECT_STREQ("machine", regGetStringTemp(regRootKey(HKEY_LOCAL_MACHINE), "General\\Shared", "-"));
  EXPECT_STREQ("-", regGetStringTemp(regRootKey(HKEY_CURRENT_USER), "General\\Only", "-"));
  EXPECT_EQ(nullptr, regRootKey(HKEY_CLASSES_ROOT));
}

TEST_F(RegistryModule, PathWithoutBackslashIsReportedAndTheCallGoesOn) {
  testing::internal::CaptureStderr();
  EXPECT_TRUE(regSetString(nullptr, "NoSeparator", "default value"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("Assertion failed: s, file Registry, line "));
  // The whole path was the subkey and the name empty: the subkey's default value.
  EXPECT_STREQ("default value", regGetStringTemp(nullptr, "NoSeparator\\", "-"));
}

TEST_F(RegistryModule, WindowPlacementIsReadBackWithoutAWindow) {
  EXPECT_TRUE(regSetString(nullptr, "Dialog\\Position", "10 20 300 200"));
  EXPECT_TRUE(regSetString(nullptr, "Dialog\\Show", "1"));
  RECT rect{};
  int show = -1;
  ASSERT_TRUE(regLoadWindow(nullptr, "Dialog", &rect, &show, nullptr));
  EXPECT_EQ(10, rect.left);
  EXPECT_EQ(20, rect.top);
  EXPECT_EQ(310, rect.right);
  EXPECT_EQ(220, rect.bottom);
  EXPECT_EQ(1, show);
  EXPECT_FALSE(regLoadWindow(nullptr, "Dialog", &rect, &show, (HWND)0x1234));  // no such window
  EXPECT_TRUE(regSetString(nullptr, "Dialog\\Position", "10 20 300"));
  EXPECT_FALSE(regLoadWindow(nullptr, "Dialog", &rect, &show, nullptr));
  EXPECT_FALSE(regLoadWindow(nullptr, "Other", &rect, &show, nullptr));
  EXPECT_FALSE(regSaveWindow(nullptr, "Dialog", nullptr));
}

TEST_F(RegistryModule, WindowPlacementRoundTrip) {
  HWND window = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 30, 40, 200, 100, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(regSaveWindow(nullptr, "Frame", window));
  EXPECT_STREQ("30 40 200 100", regGetStringTemp(nullptr, "Frame\\Position", "-"));
  ASSERT_TRUE(regSetString(nullptr, "Frame\\Position", "50 60 120 80"));
  RECT rect{};
  int show = 0;
  ASSERT_TRUE(regLoadWindow(nullptr, "Frame", &rect, &show, window));
  RECT now{};
  ASSERT_TRUE(GetWindowRect(window, &now));
  EXPECT_EQ(50, now.left);
  EXPECT_EQ(60, now.top);
  EXPECT_EQ(170, now.right);
  EXPECT_EQ(140, now.bottom);
  DestroyWindow(window);
  EXPECT_FALSE(regLoadWindow(nullptr, "Frame", &rect, &show, window));
}

}  // namespace
