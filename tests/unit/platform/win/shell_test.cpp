// Guards the browser launch: the address must arrive whole as one argument, never pass
// through a shell, and leave no zombie process behind.
#include <gtest/gtest.h>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#include "test_folder.h"
#include "windows.h"

namespace {

struct Browser : ::testing::Test {
  TestFolder folder;
  std::string record = folder / "args.txt";
  void SetUp() override {
    writeText(folder / "browser.sh",
              "#!/bin/sh\n{ echo \"$#\"; printf '%s\\n' \"$1\"; pwd; } > \"" + record + ".part\"\nmv \"" + record +
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
