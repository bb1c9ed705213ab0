// Guards file access against paths that miss because of letter case or separators, temp
// files that others can read or redirect, and wrong Win32 counting.
#include <gtest/gtest.h>
#include <cstdlib>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>
#include "test_folder.h"
#include "windows.h"

namespace {

std::string upperWindowsPath(std::string path) {
  for (char& c : path) {
    c = (char)toupper((unsigned char)c);
    if (c == '/') c = '\\';
  }
  return path;
}

struct EnvGuard {
  std::string name;
  std::string old;
  bool had;
  explicit EnvGuard(const char* n) : name(n) {
    const char* v = getenv(n);
    had = v != nullptr;
    if (had) old = v;
  }
  ~EnvGuard() {
    if (had) setenv(name.c_str(), old.c_str(), 1);
    else unsetenv(name.c_str());
  }
};

TEST(Files, UpperCasedWindowsPathsFindTheFiles) {
  TestFolder folder;
  ASSERT_EQ(0, mkdir((folder / "Mixed").c_str(), 0700));
  writeText(folder / "Mixed/tekcore.dll", "x");
  std::string upper = upperWindowsPath(folder / "Mixed/tekcore.dll");  // as the loader writes it
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_NORMAL, GetFileAttributesA(upper.c_str()));
  EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA((folder.path + "\\MIXED\\").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder.path + "\\MIXED\\none.dll").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

  // Two entries differing only in case: the exact one wins, a third spelling matches none.
  writeText(folder / "Mixed/Twin", "1");
  writeText(folder / "Mixed/twin", "2");
  HANDLE h = CreateFileA((folder.path + "\\Mixed\\Twin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  char c = 0;
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, &c, 1, &got, nullptr));
  EXPECT_EQ('1', c);
  CloseHandle(h);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder.path + "/Mixed/TWIN").c_str()));

  EXPECT_TRUE(DeleteFileA(upper.c_str()));
  EXPECT_FALSE(fileExists(folder / "Mixed/tekcore.dll"));
  EXPECT_FALSE(DeleteFileA(upper.c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(Files, TempPathComesFromTheEnvironmentOrAPrivateFolder) {
  EnvGuard tmp("TMP"), temp("TEMP"), tmpdir("TMPDIR");
  char buffer[MAX_PATH];
  setenv("TMP", "/var/tmp", 1);
  EXPECT_EQ(9u, GetTempPathA(sizeof buffer, buffer));
  EXPECT_STREQ("/var/tmp/", buffer);
  EXPECT_EQ(10u, GetTempPathA(5, buffer));  // too small: the size needed, terminator included

  // A variable naming no folder is passed over: the next one, else the private folder.
  TestFolder folder;
  setenv("TMP", (folder / "removed").c_str(), 1);
  setenv("TEMP", (folder / "file").c_str(), 1);
  writeText(folder / "file", "not a folder");
  setenv("TMPDIR", folder.path.c_str(), 1);
  ASSERT_GT(GetTempPathA(sizeof buffer, buffer), 0u);
  EXPECT_EQ(folder.path + "/", std::string(buffer));

  unsetenv("TEMP");
  unsetenv("TMPDIR");
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  ASSERT_GT(n, 0u);
  EXPECT_EQ("/tmp/zephyr-" + std::to_string(getuid()) + "/", std::string(buffer));
  struct stat st;
  ASSERT_EQ(0, lstat(buffer, &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0700u, st.st_mode & 0777);
}

TEST(Files, TempFileNamesAreUniquePrivateFilesOfTheWindowsForm) {
  TestFolder folder;
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    char name[MAX_PATH];
    UINT unique = GetTempFileNameA((folder.path + "/").c_str(), "Zephyr", 0, name);
    ASSERT_NE(0u, unique);
    char expected[16];
    snprintf(expected, sizeof expected, "Zep%04X.tmp", unique);
    EXPECT_EQ(folder / expected, std::string(name));
    struct stat st;
    ASSERT_EQ(0, lstat(name, &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    EXPECT_EQ(0, st.st_size);
    names.insert(name);
  }
  EXPECT_EQ(20u, names.size());

  char name[MAX_PATH];
  EXPECT_EQ(0x12u, GetTempFileNameA(folder.path.c_str(), "ab", 0x12, name));
  EXPECT_EQ(folder / "ab0012.tmp", std::string(name));
  EXPECT_FALSE(fileExists(name));  // a given number only forms the name
  EXPECT_EQ(0u, GetTempFileNameA((folder.path + "/missing").c_str(), "Zep", 0, name));
  EXPECT_EQ(ERROR_DIRECTORY, GetLastError());
  std::string tooLong(300, 'a');
  EXPECT_EQ(0u, GetTempFileNameA(tooLong.c_str(), "Zep", 0, name));
}

TEST(Files, TempFileNamesSkipEveryNameTakenBySymbolicLinks) {
  TestFolder folder;
  writeText(folder / "victim", "keep");
  for (unsigned n = 1; n <= 0xFFFF; ++n) {
    if (n == 0x1234) continue;
    char name[32];
    snprintf(name, sizeof name, "Zep%04X.tmp", n);
    ASSERT_EQ(0, symlink((folder / "victim").c_str(), (folder / name).c_str()));
  }
  char name[MAX_PATH];
  EXPECT_EQ(0x1234u, GetTempFileNameA(folder.path.c_str(), "Zephyr", 0, name));
  EXPECT_EQ(folder / "Zep1234.tmp", std::string(name));
  EXPECT_EQ("keep", readText(folder / "victim"));
  EXPECT_EQ(0u, GetTempFileNameA(folder.path.c_str(), "Zephyr", 0, name));  // every name taken now
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
}

TEST(Files, CreatingAFileNeverWritesThroughASymbolicLink) {
  TestFolder folder;
  writeText(folder / "victim", "keep");
  ASSERT_EQ(0, symlink((folder / "victim").c_str(), (folder / "Zep1234.tmp").c_str()));
  ASSERT_EQ(0, symlink((folder / "absent").c_str(), (folder / "dangling").c_str()));
  for (DWORD disposition : {CREATE_ALWAYS, CREATE_NEW, OPEN_ALWAYS, TRUNCATE_EXISTING, OPEN_EXISTING}) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA((folder / "Zep1234.tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA((folder / "dangling").c_str(), GENERIC_WRITE, 0, nullptr,
                                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  EXPECT_EQ("keep", readText(folder / "victim"));
  EXPECT_FALSE(fileExists(folder / "absent"));
}

// A temporary name in a shared folder is free for a moment between GetTempFileNameA's
// delete and the download's create: whatever someone puts there is not written into.
TEST(Files, CreatingAtATakenNameNeverWritesIntoSomeoneElsesFile) {
  TestFolder folder;
  writeText(folder / "victim", "keep");
  ASSERT_EQ(0, link((folder / "victim").c_str(), (folder / "Zep0001.tmp").c_str()));
  ASSERT_EQ(0, mkfifo((folder / "Zep0002.tmp").c_str(), 0600));  // would block an open for writing
  std::vector<std::string> taken = {folder / "Zep0001.tmp", folder / "Zep0002.tmp"};
  if (geteuid() == 0) {  // only root can give a file to another user
    writeText(folder / "Zep0003.tmp", "theirs");
    ASSERT_EQ(0, chown((folder / "Zep0003.tmp").c_str(), 65534, 65534));
    taken.push_back(folder / "Zep0003.tmp");
  }
  for (const std::string& name : taken)
    for (DWORD disposition : {CREATE_ALWAYS, OPEN_ALWAYS, TRUNCATE_EXISTING})
      EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr)) << name;
  EXPECT_EQ("keep", readText(folder / "victim"));
  if (geteuid() == 0) {
    EXPECT_EQ("theirs", readText(folder / "Zep0003.tmp"));
  }

  // The user's own file at the name is overwritten, as CREATE_ALWAYS does.
  writeText(folder / "Zep0004.tmp", "old contents");
  HANDLE h = CreateFileA((folder / "Zep0004.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, "new", 3, &written, nullptr));
  CloseHandle(h);
  EXPECT_EQ("new", readText(folder / "Zep0004.tmp"));
}

TEST(Files, HandlesWriteReadAndCloseOnce) {
  TestFolder folder;
  std::string path = folder / "Data.bin";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(ERROR_SUCCESS, GetLastError());
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, "hello", 5, &written, nullptr));
  EXPECT_EQ(5u, written);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));

  h = CreateFileA(upperWindowsPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
  CloseHandle(h);

  h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(3u, GetFileSize(h, nullptr));
  char buf[10] = {0};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(3u, got);
  EXPECT_STREQ("abc", buf);
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(0u, got);
  CloseHandle(h);
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA((folder / "none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              0, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(folder.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                              nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
}

TEST(Files, CurrentFolderAndEnvironmentUseWindowsCounting) {
  TestFolder folder;
  ASSERT_EQ(0, mkdir((folder / "Work").c_str(), 0700));
  char old[4096];
  ASSERT_NE(nullptr, getcwd(old, sizeof old));
  EXPECT_TRUE(SetCurrentDirectoryA((folder.path + "\\WORK").c_str()));
  char buf[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  EXPECT_EQ(folder / "Work", std::string(buf));
  EXPECT_EQ(n, strlen(buf));
  EXPECT_EQ(n + 1, GetCurrentDirectoryA(3, buf));
  EXPECT_FALSE(SetCurrentDirectoryA((folder.path + "/none").c_str()));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  ASSERT_EQ(0, chdir(old));

  EnvGuard guard("ZWIN_TEST_VAR");
  setenv("ZWIN_TEST_VAR", "value", 1);
  EXPECT_EQ(5u, GetEnvironmentVariableA("ZWIN_TEST_VAR", buf, sizeof buf));
  EXPECT_STREQ("value", buf);
  EXPECT_EQ(5u, GetEnvironmentVariableA("zwin_test_var", buf, sizeof buf));
  EXPECT_EQ(6u, GetEnvironmentVariableA("ZWIN_TEST_VAR", buf, 5));
  unsetenv("ZWIN_TEST_VAR");
  EXPECT_EQ(0u, GetEnvironmentVariableA("ZWIN_TEST_VAR", buf, sizeof buf));
  EXPECT_EQ(ERROR_ENVVAR_NOT_FOUND, GetLastError());
}

TEST(Files, TickCountAdvances) {
  DWORD a = GetTickCount();
  Sleep(20);
  DWORD b = GetTickCount();
  EXPECT_GE((DWORD)(b - a), 15u);
  EXPECT_LT((DWORD)(b - a), 5000u);
}

}  // namespace
