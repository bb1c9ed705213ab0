// Guards reading the selector's settings: which hive wins, size limits, missing values
// and the stored form of the remembered file path.
#include <gtest/gtest.h>
#include "print_capture.h"
#include "registry.h"
#include "selector_settings.h"

namespace {

const char* kHeader = "Windows Registry Editor Version 5.00\n\n";
const char* kMachineGeneral = "[HKEY_LOCAL_MACHINE\\Software\\Ventholm\\Zephyr\\Any version\\General]\n";
const char* kUserGeneral = "[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr\\Any version\\General]\n";
const char* kRequired =
    "\"ServerRootURL\"=\"http://machine/selector/\"\n\"StartPage\"=\"login/Ductora.jsp\"\n\"TempFolder\"=\"temp/\"\n";

TEST(ReadSettings, MachineValuesAreUsedAndTheUsersWin) {
  MachineFolder machine;
  machine.write("system.reg", std::string(kHeader) + kMachineGeneral + kRequired + "\"Email\"=\"machine@x\"\n");
  machine.write("user.reg", std::string(kHeader) + kUserGeneral + "\"ServerRootURL\"=\"http://user/selector/\"\n");
  SelectorSettings settings;
  ASSERT_EQ(0, readSettings(settings));
  EXPECT_EQ("http://user/selector/", settings.ServerRootURL);
  EXPECT_EQ("machine@x", settings.Email);
  EXPECT_EQ("login/Ductora.jsp", settings.StartPage);
  EXPECT_EQ("temp/", settings.TempFolder);
  EXPECT_EQ("", settings.Language);  // absent: empty, not the default "en"
  EXPECT_EQ("", takePrinted());
}

TEST(ReadSettings, CreatesTheUsersKeyEmpty) {
  MachineFolder machine;
  machine.write("system.reg", std::string(kHeader) + kMachineGeneral + kRequired);
  SelectorSettings settings;
  ASSERT_EQ(0, readSettings(settings));
  EXPECT_EQ(std::string(kHeader) +
                "[HKEY_CURRENT_USER\\Software]\n\n"
                "[HKEY_CURRENT_USER\\Software\\Ventholm]\n\n"
                "[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr]\n\n"
                "[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr\\Any version]\n\n",
            machine.read("user.reg"));
}

TEST(ReadSettings, A256ByteValueIsReadAndA257ByteValueIsMissing) {
  MachineFolder machine;
  std::string url255 = "http://h/" + std::string(246, 'a');  // 255 characters + terminating zero
  machine.write("system.reg", std::string(kHeader) + kMachineGeneral + kRequired);
  machine.write("user.reg", std::string(kHeader) + kUserGeneral + "\"ServerRootURL\"=\"" + url255 + "\"\n");
  SelectorSettings settings;
  ASSERT_EQ(0, readSettings(settings));
  EXPECT_EQ(url255, settings.ServerRootURL);

  machine.write("user.reg", std::string(kHeader) + kUserGeneral + "\"ServerRootURL\"=\"" + url255 + "b\"\n");
  settings.StartPage = "kept";
  EXPECT_EQ(-1, readSettings(settings));
  EXPECT_EQ("", settings.ServerRootURL);
  EXPECT_EQ("kept", settings.StartPage);  // the later fields keep their values
  EXPECT_EQ("Registry settings is missing: ServerRootURL\n", takePrinted());
}

TEST(ReadSettings, A256ByteValueWithoutTerminatingZeroIsReadWhole) {
  MachineFolder machine;
  std::string path(256, 'p');
  machine.write("system.reg", std::string(kHeader) + kMachineGeneral + kRequired);
  SelectorSettings settings;
  settings.XMLFilePath = path;
  ASSERT_EQ(0, saveXmlFilePath(settings));
  SelectorSettings back;
  ASSERT_EQ(0, readSettings(back));
  EXPECT_EQ(path, back.XMLFilePath);
}

TEST(ReadSettings, EachRequiredSettingIsNamedWhenMissing) {
  MachineFolder machine;
  struct Case {
    const char* values;
    const char* message;
  } cases[] = {
      {"\"StartPage\"=\"s\"\n\"TempFolder\"=\"t\"\n", "Registry settings is missing: ServerRootURL\n"},
      {"\"ServerRootURL\"=\"u\"\n\"TempFolder\"=\"t\"\n", "Registry settings is missing: StartPage\n"},
      {"\"ServerRootURL\"=\"u\"\n\"StartPage\"=\"\"\n\"TempFolder\"=\"t\"\n", "Registry settings is missing: StartPage\n"},
      {"\"ServerRootURL\"=\"u\"\n\"StartPage\"=\"s\"\n", "Registry settings is missing: TempFolder\n"},
  };
  for (const Case& c : cases) {
    machine.write("system.reg", std::string(kHeader) + kMachineGeneral + c.values);
    SelectorSettings settings;
    EXPECT_EQ(-1, readSettings(settings));
    EXPECT_EQ(c.message, takePrinted());
  }
}

TEST(SaveXmlFilePath, StoresTheTextWithoutTerminatingZeroInTheUsersHive) {
  MachineFolder machine;
  SelectorSettings settings;
  settings.XMLFilePath = "C:\\units\\unit.xml";
  EXPECT_EQ(0, saveXmlFilePath(settings));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ventholm\\Zephyr\\Any version\\General", 0,
                                         KEY_READ, &key));
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "XMLFilePath", nullptr, &type, nullptr, &size));
  RegCloseKey(key);
  EXPECT_EQ((DWORD)REG_SZ, type);
  EXPECT_EQ(settings.XMLFilePath.size(), size);
  std::string hive = machine.read("user.reg");
  // Stored as text values are: UTF-16LE (exported so by the registry editor).
  EXPECT_NE(std::string::npos, hive.find("\"XMLFilePath\"=hex(1):43,00,3a,00,5c,00,75,00,6e,00,69,00,74,00,73,00,"));
  EXPECT_EQ(nullptr, regRootKey(HKEY_CURRENT_USER));  // closed again
}

}  // namespace
