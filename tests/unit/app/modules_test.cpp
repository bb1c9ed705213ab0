// Guards the start-up and shut-down of the system's modules: a loader that stops at a
// missing library must leave none of the others loaded, and the main module must take
// its commands and its service away when it is unloaded, and its exported functions must
// be found by their names.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "arxhost.h"
#include "hosttest.h"
#include "test_temp.h"
#include "text.h"

namespace fs = std::filesystem;

namespace {

fs::path binFolder() {
  const char* bin = std::getenv("ZEPHYR_BIN");
  return bin ? fs::path(bin) : fs::current_path();
}

int countLoadedFrom(const std::string& folder) {
  struct Search {
    std::string folder;
    int count = 0;
  } search{folder};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        if (info->dlpi_name && std::string(info->dlpi_name).rfind(s->folder, 0) == 0) ++s->count;
        return 0;
      },
      &search);
  return search.count;
}

}  // namespace

TEST(Loader, MissingLibraryStopsTheSequenceAndFreesTheOthers) {
  const fs::path folder = fs::path(testTempRoot()) / ("loader_" + std::to_string(getpid()));
  fs::create_directories(folder);
  // The loader with three of the four libraries, and the platform libraries it links.
  for (const char* name : {"Zephyr_Load_R20_x32.arx", "tekcore.dll", "tekshape.dll", "tekpaint.dll"})
    fs::copy_file(binFolder() / name, folder / name, fs::copy_options::overwrite_existing);
  for (const auto& entry : fs::directory_iterator(binFolder())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("lib", 0) == 0 && name.find(".so") != std::string::npos)
      fs::copy_file(entry.path(), folder / name, fs::copy_options::overwrite_existing);
  }

  cadhost::startTestSession();
  acedArxLoad(widen((folder / "Zephyr_Load_R20_x32.arx").string()).c_str());
  const std::string out = cadhost::takeOutput();
  EXPECT_NE(out.find("module: tekcore.dll\nmodule: tekshape.dll\nmodule: tekpaint.dll\nmodule: teksolid.dll\n"),
            std::string::npos) << out;
  EXPECT_NE(out.find("Errors in modules - Application not loaded\n"), std::string::npos) << out;
  // The three libraries it had loaded are gone again.
  for (const char* name : {"tekcore.dll", "tekshape.dll", "tekpaint.dll"})
    EXPECT_EQ(countLoadedFrom((folder / name).string()), 0) << name << "\n" << out;
  cadhost::endTestSession();
  fs::remove_all(folder);
}

TEST(MainModule, UnloadRemovesCommandsAndService) {
  cadhost::startTestSession();
  const fs::path module = binFolder() / "Zephyr_R20_x32.arx";
  fs::current_path(fs::path(testTempRoot()));
  ASSERT_EQ(acedArxLoad(widen(module.string()).c_str()), RTNORM) << cadhost::takeOutput();
  EXPECT_EQ(fs::current_path(), fs::canonical(binFolder()));
  for (const wchar_t* command : {L"Zephyr", L"ZephyrFile", L"ZephyrView"})
    EXPECT_NE(acedRegCmds->lookupCmd(command), nullptr);
  EXPECT_TRUE(acrxServiceIsRegistered(L"ZEPH"));
  // Other modules find the block functions by their plain names.
  void* loaded = dlopen(module.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(loaded, nullptr);
  for (const char* name : {"block_build_from_a2d", "block_insertblockref", "block_get_free_blkname", "layer_create"})
    EXPECT_NE(dlsym(loaded, name), nullptr) << name;
  dlclose(loaded);

  EXPECT_EQ(acedArxUnload(L"Zephyr_R20_x32.arx"), RTNORM);
  EXPECT_EQ(acedRegCmds->lookupCmd(L"ZephyrFile"), nullptr);
  EXPECT_FALSE(acedRegCmds->hasGroup(L"ZEPH_CMDS"));
  EXPECT_FALSE(acrxServiceIsRegistered(L"ZEPH"));
  cadhost::endTestSession();
}
