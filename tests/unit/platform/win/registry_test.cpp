// Guards the registry against lost or altered values: wrong bytes after a reload, a broken
// hive overwritten, half-written files, and keys found only in one letter case.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include "test_folder.h"
#include "windows.h"
#include "winhost.h"

namespace {

struct Registry : ::testing::Test {
  TestFolder machine;
  std::vector<std::string> printed;
  void SetUp() override {
    WinHostIo io;
    io.print = [this](const std::string& text) { printed.push_back(text); };
    winSetHostIo(io);
    winSetMachineFolder(machine.path);
  }
  void TearDown() override {
    winSetHostIo(WinHostIo());
    winSetMachineFolder("");
  }
  // Forgets the loaded hives so the next call reads the files again.
  void reload() { winSetMachineFolder(machine.path); }
};

HKEY createKey(HKEY root, const char* path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, const_cast<LPSTR>(""), REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, &disposition));
  return key;
}

std::vector<BYTE> query(HKEY root, const char* path, const char* name, DWORD* type = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD size = 0;
  std::vector<BYTE> data;
  if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, name, nullptr, type, data.data(), &size));
  }
  RegCloseKey(key);
  return data;
}

std::vector<BYTE> bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

TEST_F(Registry, EveryValueTypeComesBackWithItsExactBytesAfterReload) {
  struct Case {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  std::vector<BYTE> longBinary(300);
  for (size_t i = 0; i < longBinary.size(); ++i) longBinary[i] = (BYTE)(i * 7);
  std::vector<Case> cases = {
      {"Text", REG_SZ, bytes(std::string("say \"hi\" to C:\\dir", 18) + '\0')},
      {"NoZero", REG_SZ, bytes("no terminating zero")},
      {"Lines", REG_SZ, bytes(std::string("two\nlines\r\n", 11) + '\0')},
      {"Inner", REG_SZ, bytes(std::string("a\0b\0", 4))},
      {"Utf8", REG_SZ, bytes(std::string("Gr\xC3\xBC\xC3\x9F" "e") + '\0')},
      {"", REG_SZ, bytes(std::string("default") + '\0')},
      {"Number", REG_DWORD, {0xcd, 0xab, 0x00, 0x00}},
      {"ShortNumber", REG_DWORD, {0x01, 0x02}},
      {"Blob", REG_BINARY, longBinary},
      {"Empty", REG_BINARY, {}},
      {"Expand", REG_EXPAND_SZ, bytes(std::string("%TEMP%\\x") + '\0')},
      {"Multi", REG_MULTI_SZ, bytes(std::string("a\0bc\0\0", 6))},
      {"Big", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"Quote\"And\\Slash", REG_NONE, {9}},
  };
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Ventholm\\Types");
  for (const Case& c : cases)
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, c.name, 0, c.type, c.data.data(), (DWORD)c.data.size())) << c.name;
  RegCloseKey(key);

  reload();
  for (const Case& c : cases) {
    DWORD type = 0xFFFF;
    EXPECT_EQ(c.data, query(HKEY_CURRENT_USER, "Software\\Ventholm\\Types", c.name, &type)) << c.name;
    EXPECT_EQ(c.type, type) << c.name;
  }
  // A hive with text beyond ASCII is written as the registry editor writes it: UTF-16LE.
  std::string raw = readText(machine / "user.reg"), text;
  ASSERT_EQ(0, raw.compare(0, 2, "\xFF\xFE"));
  for (size_t i = 2; i + 1 < raw.size(); i += 2)
    if (raw[i] != '\r') text += raw[i + 1] ? '?' : raw[i];  // Latin-1 characters as one byte
  EXPECT_NE(std::string::npos, text.find("\"Utf8\"=\"Gr\xFC\xDF" "e\"\n"));
  EXPECT_NE(std::string::npos, text.find("\"Number\"=dword:0000abcd\n"));
  EXPECT_NE(std::string::npos, text.find("\"NoZero\"=hex(1):6e,00,6f,00,"));
  EXPECT_NE(std::string::npos, text.find("@=\"default\"\n"));
  EXPECT_NE(std::string::npos, text.find("\"Text\"=\"say \\\"hi\\\" to C:\\\\dir\"\n"));
}

TEST_F(Registry, HandWrittenHivesAreRead) {
  writeText(machine / "user.reg",
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; written by hand\r\n"
            "[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr\\Any version\\General]\r\n"
            "\"ServerRootURL\" = \"http://host/selector/\"\r\n"
            "\"Count\"=dword:1f\r\n"
            "\"Blob\"=hex:01,02,\\\r\n"
            "  03 , ff\r\n"
            "@=\"dflt\"\r\n");
  writeText(machine / "system.reg",
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CLASSES_ROOT\\DuraComSrv.Drawing\\CLSID]\n"
            "@=\"{1234}\"\n");
  const char* general = "SOFTWARE\\ventholm\\ZEPHYR\\any VERSION\\General";
  EXPECT_EQ(bytes(std::string("http://host/selector/") + '\0'), query(HKEY_CURRENT_USER, general, "serverrooturl"));
  EXPECT_EQ((std::vector<BYTE>{0x1f, 0, 0, 0}), query(HKEY_CURRENT_USER, general, "Count"));
  EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 0xff}), query(HKEY_CURRENT_USER, general, "Blob"));
  EXPECT_EQ(bytes(std::string("dflt") + '\0'), query(HKEY_CURRENT_USER, general, nullptr));
  EXPECT_EQ(bytes(std::string("{1234}") + '\0'), query(HKEY_CLASSES_ROOT, "DuraComSrv.Drawing\\CLSID", ""));
  EXPECT_EQ(bytes(std::string("{1234}") + '\0'),
            query(HKEY_LOCAL_MACHINE, "Software\\Classes\\DuraComSrv.Drawing\\CLSID", ""));
  EXPECT_TRUE(printed.empty());
}

TEST_F(Registry, ClassesRootIsKeptInTheMachineHive) {
  HKEY clsid = createKey(HKEY_CLASSES_ROOT, "DuraComSrv.Ductora\\CLSID");
  const char text[] = "{ABCD}";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(clsid, nullptr, 0, REG_SZ, (const BYTE*)text, sizeof text));
  RegCloseKey(clsid);
  EXPECT_NE(std::string::npos, readText(machine / "system.reg")
                                   .find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\DuraComSrv.Ductora\\CLSID]\n"
                                         "@=\"{ABCD}\"\n"));
  EXPECT_FALSE(fileExists(machine / "user.reg"));
  reload();
  EXPECT_EQ(bytes(std::string("{ABCD}") + '\0'), query(HKEY_CLASSES_ROOT, "duracomsrv.ductora\\clsid", ""));
}

TEST_F(Registry, BadHiveIsReportedOnceKeptOnDiskAndNeverOverwritten) {
  const std::string broken =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"A\"=dword:xyz\n";
  writeText(machine / "user.reg", broken);
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_REGISTRY_CORRUPT, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Y", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                    nullptr, &key, nullptr));
  EXPECT_EQ(nullptr, key);
  BYTE one = 1;
  EXPECT_EQ(ERROR_REGISTRY_CORRUPT, RegSetValueExA(HKEY_CURRENT_USER, "V", 0, REG_BINARY, &one, 1));
  ASSERT_EQ(1u, printed.size());
  EXPECT_NE(std::string::npos, printed[0].find("line 4"));
  EXPECT_EQ(broken, readText(machine / "user.reg"));
  // The other hive is not affected.
  HKEY machineKey = createKey(HKEY_LOCAL_MACHINE, "Software\\Fine");
  EXPECT_NE(nullptr, machineKey);
  RegCloseKey(machineKey);
}

TEST_F(Registry, OtherSyntaxFaultsAreRefused) {
  const char* bad[] = {
      "REGEDIT5\n",
      "Windows Registry Editor Version 5.00\n\"A\"=\"outside a key\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"A\"=\"unclosed\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"A\"=hex:01,\\\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"A\"=hex:1g\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"A\"=-\n",
      "Windows Registry Editor Version 5.00\n[-HKEY_CURRENT_USER\\A]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\\\\B]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"A\"=dword:123456789\n",
  };
  for (const char* text : bad) {
    writeText(machine / "user.reg", text);
    reload();
    printed.clear();
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_REGISTRY_CORRUPT, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Y", 0, nullptr, 0,
                                                      KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << text;
    EXPECT_EQ(1u, printed.size()) << text;
    EXPECT_EQ(text, readText(machine / "user.reg"));
  }
}

TEST_F(Registry, WritesLeaveNoTemporaryFilesAndKeepTheHivePrivate) {
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\A");
  for (int i = 0; i < 5; ++i) ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "N", 0, REG_DWORD, (BYTE*)&i, 4));
  RegCloseKey(key);
  std::vector<std::string> names;
  DIR* dir = opendir(machine.path.c_str());
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] != '.' || std::string(e->d_name).size() > 2) names.push_back(e->d_name);
  }
  closedir(dir);
  EXPECT_EQ(std::vector<std::string>{"user.reg"}, names);
  struct stat st;
  ASSERT_EQ(0, stat((machine / "user.reg").c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777);
}

TEST_F(Registry, AFailedWriteIsUndoneInMemoryAndReported) {
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\A");
  std::string before = readText(machine / "user.reg");
  // The machine folder turns into a file: no temporary file can be made beside the hive.
  ASSERT_EQ(0, std::system(("mv '" + machine.path + "' '" + machine.path + ".moved' && touch '" + machine.path +
                            "'").c_str()));
  BYTE one = 1;
  EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegSetValueExA(key, "V", 0, REG_BINARY, &one, 1));
  DWORD size = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size));
  HKEY sub = nullptr;
  EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                                      nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "Sub", 0, KEY_READ, &sub));
  RegCloseKey(key);
  ASSERT_EQ(0, std::system(("rm '" + machine.path + "' && mv '" + machine.path + ".moved' '" + machine.path +
                            "'").c_str()));
  EXPECT_EQ(before, readText(machine / "user.reg"));
}

TEST_F(Registry, ResultCodesFollowTheRealFunctions) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Codes\\", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, &disposition));
  EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
  const char text[] = "twelve bytes";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "T", 0, REG_SZ, (const BYTE*)text, sizeof text));
  RegCloseKey(key);

  HKEY again = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "software\\CODES", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &again, &disposition));
  EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
  RegCloseKey(again);

  HKEY reader = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Codes", 0, KEY_QUERY_VALUE, &reader));
  char small[4];
  DWORD size = sizeof small, type = 0;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(reader, "t", nullptr, &type, (BYTE*)small, &size));
  EXPECT_EQ(sizeof text, size);
  EXPECT_EQ((DWORD)REG_SZ, type);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(reader, "absent", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(reader, "T", nullptr, nullptr, (BYTE*)small, nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(reader, "T", 0, REG_SZ, (const BYTE*)"x", 2));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(reader, "T"));
  EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(reader));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(reader));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reader));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(reader, "T", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\None", 0, KEY_READ, &reader));
  EXPECT_EQ(nullptr, reader);
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &reader));

  HKEY readOnly = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &readOnly));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &reader,
                                                 nullptr));
  RegCloseKey(readOnly);

  HKEY writer = createKey(HKEY_CURRENT_USER, "Software\\Codes");
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(writer, "T"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(writer, "T"));
  RegCloseKey(writer);
}

TEST_F(Registry, OversizedNamesAndValuesAreRefusedNotCut) {
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Limits");
  std::vector<BYTE> huge((1u << 20) + 1, 'x');
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "Huge", 0, REG_BINARY, huge.data(), (DWORD)huge.size()));
  std::string longName(256, 'k');
  HKEY sub = nullptr;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExA(key, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                     &sub, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "two\nlines", 0, REG_BINARY, huge.data(), 1));
  RegCloseKey(key);
}

std::string utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += (char)(c & 0xFF);
    bytes += (char)(c >> 8);
  }
  return bytes;
}

// The registry editor exports UTF-16LE with text values in hex(1), hex(2) and hex(7) as
// UTF-16LE too; its older narrow REGEDIT4 files hold those in the narrow code page. The
// A functions give both as narrow text (the stand-in once passed the UTF-16 bytes on).
TEST_F(Registry, RegistryEditorFilesOfBothVersionsAreRead) {
  writeText(machine / "system.reg",
            utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ventholm]\r\n"
                  u"\"Name\"=\"M\u00fcller\"\r\n"
                  u"\"Expand\"=hex(2):25,00,54,00,4d,00,50,00,25,00,fc,00,00,00\r\n"
                  u"\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"));
  writeText(machine / "user.reg",
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Ventholm]\n"
            "\"Expand\"=hex(2):25,54,4d,50,25,c3,bc,00\n\"Name\"=\"M\xC3\xBCller\"\n");
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_EQ(bytes(std::string("M\xC3\xBCller") + '\0'), query(root, "Software\\Ventholm", "Name"));
    DWORD type = 0;
    EXPECT_EQ(bytes(std::string("%TMP%\xC3\xBC") + '\0'), query(root, "Software\\Ventholm", "Expand", &type));
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
  }
  EXPECT_EQ(bytes(std::string("a\0bc\0\0", 6)), query(HKEY_LOCAL_MACHINE, "Software\\Ventholm", "Multi"));
  EXPECT_TRUE(printed.empty());

  // A mistyped value line is a fault of its line, not the key's default value.
  writeText(machine / "user.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\nX\"=\"oops\"\n");
  reload();
  EXPECT_TRUE(query(HKEY_CURRENT_USER, "A", "").empty());
  ASSERT_EQ(1u, printed.size());
  EXPECT_NE(std::string::npos, printed[0].find("user.reg line 4: a value line starts with \"name\" or @"));
}

// Another process's change to a hive (a second cadhost, a person editing the file) is read
// before the next write, under a lock, so no write of this process undoes it.
TEST_F(Registry, ChangesOfOtherProcessesAreKept) {
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Shared");
  RegCloseKey(key);
  writeText(machine / "user.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Shared]\n"
                                  "\"ByHand\"=\"edited\"\n");
  EXPECT_EQ(bytes(std::string("edited") + '\0'), query(HKEY_CURRENT_USER, "Software\\Shared", "ByHand"));
  const int kEach = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  HKEY shared = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_ALL_ACCESS, &shared);
  for (int i = 0; i < kEach; ++i) {
    std::string name = (child == 0 ? "child" : "parent") + std::to_string(i);
    DWORD v = (DWORD)i;
    if (RegSetValueExA(shared, name.c_str(), 0, REG_DWORD, (const BYTE*)&v, 4) != ERROR_SUCCESS && child == 0) _exit(1);
  }
  RegCloseKey(shared);
  if (child == 0) _exit(0);
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  reload();
  for (int i = 0; i < kEach; ++i) {
    EXPECT_EQ(4u, query(HKEY_CURRENT_USER, "Software\\Shared", ("parent" + std::to_string(i)).c_str()).size()) << i;
    EXPECT_EQ(4u, query(HKEY_CURRENT_USER, "Software\\Shared", ("child" + std::to_string(i)).c_str()).size()) << i;
  }
  EXPECT_EQ(bytes(std::string("edited") + '\0'), query(HKEY_CURRENT_USER, "Software\\Shared", "ByHand"));
}

TEST(RegistryWithoutMachineFolder, KeepsValuesInMemoryAndWritesNoFile) {
  winSetMachineFolder("");
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Volatile");
  DWORD v = 5;
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "V", 0, REG_DWORD, (BYTE*)&v, 4));
  EXPECT_EQ((std::vector<BYTE>{5, 0, 0, 0}), query(HKEY_CURRENT_USER, "Software\\Volatile", "V"));
  RegCloseKey(key);
  EXPECT_FALSE(fileExists("user.reg"));
}

}  // namespace
