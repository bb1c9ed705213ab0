// Guards the browser launch: the address must arrive whole as one argument, never pass
// through a shell, and leave no zombie process behind; $BROWSER is a command whose "%s"
// takes the address; a started browser can be waited for.
#include <gtest/gtest.h>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#include "test_folder.h"
#include "windows.h"
#include "winhost.h"

namespace {

struct Browser : ::testing::Test {
  TestFolder folder;
  std::string record = folder / "args.txt";
  void SetUp() override {
    writeText(folder / "browser.sh",
              "#!/bin/sh\n{ echo \"$#\"; printf '%s\\n' \"$@\"; pwd; } > \"" + record + ".part\"\nmv \"" + record +
                  ".part\" \"" + record + "\"\n");
    chmod((folder / "browser.sh").c_str(), 0755);
    setenv("BROWSER", (folder / "browser.sh").c_str(), 1);
  }
  void TearDown() override { unsetenv("BROWSER"); }
  std::string waitForRecord() {
    for (int i = 0; i < 500 && !fileExists(record); ++i) usleep(10000);
    return readText(record);
  }
};

SHELLEXECUTEINFOA openInfo(const char* file) {
  SHELLEXECUTEINFOA info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = "open";
  info.lpFile = file;
  info.nShow = SW_RESTORE;
  return info;
}

TEST_F(Browser, AddressArrivesAsOneArgumentAndNoShellSeesIt) {
  const std::string url =
      "http://127.0.0.1:8765/selector/login/Ductora.jsp?email=a b@c&pw=x;y|z $(touch " + folder.path +
      "/pwned)`id`&lang=en";
  SHELLEXECUTEINFOA info = openInfo(url.c_str());
  info.lpDirectory = folder.path.c_str();
  ASSERT_TRUE(ShellExecuteExA(&info));
  EXPECT_GT((INT_PTR)info.hInstApp, 32);
  EXPECT_NE(nullptr, info.hProcess);
  EXPECT_TRUE(CloseHandle(info.hProcess));
  EXPECT_EQ("1\n" + url + "\n" + folder.path + "\n", waitForRecord());
  EXPECT_FALSE(fileExists(folder / "pwned"));
  // The launcher's own child has been reaped and the browser is not ours to wait for.
  errno = 0;
  EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
  EXPECT_EQ(ECHILD, errno);
}

TEST_F(Browser, BrowserCommandIsSplitAtBlanksAndTakesTheAddressForPercentS) {
  const std::string url = "http://h/p?passw=a b&x=%s";
  setenv("BROWSER", (" " + folder / "browser.sh" + "  --new-window\t%s --to=%s ").c_str(), 1);
  SHELLEXECUTEINFOA info = openInfo(url.c_str());
  ASSERT_TRUE(ShellExecuteExA(&info));
  CloseHandle(info.hProcess);
  std::string record1 = waitForRecord();
  EXPECT_EQ(0u, record1.find("3\n--new-window\n" + url + "\n--to=" + url + "\n")) << record1;

  unlink(record.c_str());
  setenv("BROWSER", (folder / "browser.sh" + " --new-window").c_str(), 1);
  info = openInfo(url.c_str());
  ASSERT_TRUE(ShellExecuteExA(&info));
  CloseHandle(info.hProcess);
  std::string record2 = waitForRecord();
  EXPECT_EQ(0u, record2.find("2\n--new-window\n" + url + "\n")) << record2;
}

TEST_F(Browser, StartedProgramsCanBeWaitedFor) {
  EXPECT_EQ(0, winWaitForShellPrograms(10000));  // those of earlier tests
  writeText(folder / "slow.sh", "#!/bin/sh\nwhile [ ! -e \"" + folder / "release" + "\" ]; do sleep 0.02; done\n");
  chmod((folder / "slow.sh").c_str(), 0755);
  setenv("BROWSER", (folder / "slow.sh").c_str(), 1);
  SHELLEXECUTEINFOA info = openInfo("http://x/");
  info.fMask = 0;
  ASSERT_TRUE(ShellExecuteExA(&info));
  EXPECT_EQ(1, winWaitForShellPrograms(100));
  writeText(folder / "release", "");
  EXPECT_EQ(0, winWaitForShellPrograms(10000));
  EXPECT_EQ(0, winWaitForShellPrograms(0));
}

TEST_F(Browser, FailuresAreReported) {
  setenv("BROWSER", (folder / "no-browser").c_str(), 1);
  SHELLEXECUTEINFOA info = openInfo("http://x/");
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ(nullptr, info.hProcess);
  info = openInfo("http://x/");
  info.lpVerb = "print";
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(ERROR_NO_ASSOCIATION, GetLastError());
  info = openInfo("http://x/");
  info.cbSize = 4;
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

}  // namespace
