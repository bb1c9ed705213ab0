// Guards module loading by an upper-cased Windows path, module lookup and paths, and the
// version record and resources a module carries.
#include <gtest/gtest.h>
#include <unistd.h>
#include "test_folder.h"
#include "windows.h"

namespace {

std::string binFolder() {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string path(exe, n > 0 ? (size_t)n : 0);
  return path.substr(0, path.find_last_of('/'));
}

std::string upperWindowsPath(std::string path) {
  for (char& c : path) {
    c = (char)toupper((unsigned char)c);
    if (c == '/') c = '\\';
  }
  return path;
}

const std::string kModulePath = binFolder() + "/ZwinTestMod.dll";

TEST(Modules, VersionIsReadFromTheFileWithoutLoadingIt) {
  EXPECT_EQ(nullptr, GetModuleHandleA("ZwinTestMod.dll"));
  std::string upper = upperWindowsPath(kModulePath);
  DWORD handle = 99;
  DWORD size = GetFileVersionInfoSizeA(upper.c_str(), &handle);
  ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(0u, handle);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(upper.c_str(), handle, size, block.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (LPVOID*)&info, &length));
  EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
  EXPECT_EQ(0xFEEF04BDu, info->dwSignature);
  EXPECT_EQ((3u << 16) | 1u, info->dwProductVersionMS);
  EXPECT_EQ((4u << 16) | 15u, info->dwProductVersionLS);
  EXPECT_EQ(info->dwProductVersionMS, info->dwFileVersionMS);
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName", (LPVOID*)&info, &length));
  EXPECT_FALSE(GetFileVersionInfoA(upper.c_str(), 0, size - 1, block.data()));
  EXPECT_EQ(nullptr, GetModuleHandleA("ZwinTestMod.dll"));
}

TEST(Modules, FilesWithoutVersionGiveSizeZero) {
  TestFolder folder;
  writeText(folder / "plain.txt", std::string(2000, '\x7f'));
  DWORD handle = 0;
  EXPECT_EQ(0u, GetFileVersionInfoSizeA((folder / "plain.txt").c_str(), &handle));
  EXPECT_EQ(0u, GetFileVersionInfoSizeA((folder / "missing.dll").c_str(), &handle));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  writeText(folder / "cut.dll", readText(kModulePath).substr(0, 300));  // an ELF head and nothing more
  EXPECT_EQ(0u, GetFileVersionInfoSizeA((folder / "cut.dll").c_str(), &handle));
  EXPECT_EQ(0u, GetFileVersionInfoSizeA("/proc/self/exe", &handle));
}

TEST(Modules, LoadByUpperCasedPathThenFindByNameAndPath) {
  HMODULE module = LoadLibraryA(upperWindowsPath(kModulePath).c_str());
  ASSERT_NE(nullptr, module);
  EXPECT_EQ(module, GetModuleHandleA("zwintestmod.DLL"));
  EXPECT_EQ(module, GetModuleHandleA("C:\\Somewhere\\ZWINTESTMOD.DLL"));
  EXPECT_EQ(module, GetModuleHandleA("ZwinTestMod"));  // ".dll" added as Windows does

  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(module, path, sizeof path);
  EXPECT_EQ(kModulePath, std::string(path));
  EXPECT_EQ(kModulePath.size(), n);
  char small[8];
  EXPECT_EQ(8u, GetModuleFileNameA(module, small, sizeof small));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(kModulePath.substr(0, 7), std::string(small));

  auto answer = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "zwinTestAnswer")));
  ASSERT_NE(nullptr, answer);
  EXPECT_EQ(42, answer());
  EXPECT_EQ(nullptr, GetProcAddress(module, "malloc"));  // a dependency's symbol is not the module's
  EXPECT_EQ(ERROR_PROC_NOT_FOUND, GetLastError());
  EXPECT_EQ(nullptr, GetProcAddress(module, MAKEINTRESOURCEA(1)));

  HRSRC dialog = FindResourceA(module, "dlg_test", RT_DIALOG);
  ASSERT_NE(nullptr, dialog);
  EXPECT_STREQ("dialog template bytes", (const char*)LockResource(LoadResource(module, dialog)));
  EXPECT_EQ(22u, SizeofResource(module, dialog));
  HRSRC numbered = FindResourceA(module, "#101", RT_RCDATA);
  ASSERT_NE(nullptr, numbered);
  EXPECT_EQ(8, ((const int*)LockResource(LoadResource(module, numbered)))[1]);
  EXPECT_EQ(numbered, FindResourceA(module, MAKEINTRESOURCEA(101), RT_RCDATA));
  EXPECT_EQ(nullptr, FindResourceA(module, "DLG_OTHER", RT_DIALOG));
  EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
  EXPECT_EQ(nullptr, FindResourceA(module, "DLG_TEST", RT_STRING));
  EXPECT_EQ(ERROR_RESOURCE_TYPE_NOT_FOUND, GetLastError());
  HRSRC version = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  ASSERT_NE(nullptr, version);
  LPVOID fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueA(LockResource(LoadResource(module, version)), "\\", &fixed, &fixedLength));
  EXPECT_EQ(0xFEEF04BDu, static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwSignature);
  // The program has no resources of its own; the module's are not taken for it.
  EXPECT_EQ(nullptr, FindResourceA(nullptr, "DLG_TEST", RT_DIALOG));

  HMODULE second = LoadLibraryA("zwintestmod.dll");  // a bare name: beside the program
  EXPECT_EQ(module, second);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_EQ(nullptr, GetModuleHandleA("ZwinTestMod.dll"));
}

TEST(Modules, ProgramAndStartupLibrariesAreFound) {
  HMODULE program = GetModuleHandleA(nullptr);
  ASSERT_NE(nullptr, program);
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  EXPECT_EQ(binFolder() + "/win_tests", std::string(path));
  HMODULE zwin = GetModuleHandleA("LIBZWIN.SO");
  ASSERT_NE(nullptr, zwin);
  ASSERT_GT(GetModuleFileNameA(zwin, path, sizeof path), 0u);
  EXPECT_EQ(binFolder() + "/libzwin.so", std::string(path));
  EXPECT_EQ(nullptr, GetModuleHandleA("Zephyr_R20_x32.arx"));
  EXPECT_EQ(ERROR_MOD_NOT_FOUND, GetLastError());
  EXPECT_EQ(0u, GetModuleFileNameA((HMODULE)&path, path, sizeof path));
}

TEST(Modules, LoadFailuresCarryTheWindowsCodes) {
  TestFolder folder;
  EXPECT_EQ(nullptr, LoadLibraryA((folder.path + "\\NONE.DLL").c_str()));
  EXPECT_EQ(ERROR_MOD_NOT_FOUND, GetLastError());
  writeText(folder / "text.dll", "not a shared object");
  EXPECT_EQ(nullptr, LoadLibraryA((folder.path + "\\TEXT.DLL").c_str()));
  EXPECT_EQ(ERROR_BAD_EXE_FORMAT, GetLastError());
  EXPECT_EQ(nullptr, LoadLibraryA("no-such-library.dll"));
  EXPECT_EQ(ERROR_MOD_NOT_FOUND, GetLastError());
}

}  // namespace
