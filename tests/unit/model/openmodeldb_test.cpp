// Guards the model-database step of both imports: a pair that does not open is fetched
// exactly once more, and a second failure leaves no model files behind.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "openmodeldb.h"
#include "hosttest.h"
#include "modeldb.h"
#include "tekcore.h"
#include "test_temp.h"

namespace fs = std::filesystem;

namespace {

fs::path binFolder() {
  const char* bin = std::getenv("ZEPHYR_BIN");
  return bin ? fs::path(bin) : fs::current_path();
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A module folder holding the sample dictionary beside the given database bytes.
struct ModuleFolder {
  fs::path path;
  explicit ModuleFolder(const std::string& database) {
    std::string pattern = (fs::path(testTempRoot()) / "zephyr-open-XXXXXX").string();
    path = mkdtemp(pattern.data());
    fs::copy_file(binFolder() / "Duratcd.ddtz", path / "Duratcd.ddtz");
    std::ofstream(path / "Ventholm_14a.tcdz", std::ios::binary) << database;
    setLocalModelFolderForTests(path.string());
  }
  ~ModuleFolder() {
    setLocalModelFolderForTests("");
    fs::remove_all(path);
  }
};

}  // namespace

TEST(OpenModelDatabase, UnusableDatabaseIsFetchedOnceMoreThenGivenUp) {
  ModuleFolder folder("this is not a model database");
  cadhost::startTestSession();
  UnitRecord unit;
  SelectorSettings settings;
  EXPECT_EQ(openModelDatabase(unit, settings), -3);
  EXPECT_LT(unit.productDb, 0);
  const std::string out = cadhost::takeOutput();
  EXPECT_EQ(count(out, "Zephyr: Local models database used"), 2u) << out;
  EXPECT_EQ(count(out, "Zephyr: Database is updated. Please, create new .xml-file.\n"), 1u) << out;
  EXPECT_STREQ(modelDictionaryPath(), "");
  EXPECT_STREQ(modelDatabasePath(), "");
  EXPECT_TRUE(fs::exists(folder.path / "Ventholm_14a.tcdz"));  // the module folder's copy stays
  cadhost::endTestSession();
}

TEST(OpenModelDatabase, GoodPairOpensAtOnce) {
  std::ifstream shipped(binFolder() / "Ventholm_14a.tcdz", std::ios::binary);
  const std::string database((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>());
  ModuleFolder folder(database);
  cadhost::startTestSession();
  UnitRecord unit;
  SelectorSettings settings;
  ASSERT_EQ(openModelDatabase(unit, settings), 0);
  EXPECT_GE(unit.productDb, 0);
  EXPECT_EQ(count(cadhost::takeOutput(), "Zephyr: Local models database used"), 1u);
  const std::string dictionary = modelDictionaryPath();
  const std::string decompressed = modelDatabasePath();
  EXPECT_TRUE(fs::exists(dictionary));
  tc_close_database(unit.productDb);
  deleteModelFiles();
  EXPECT_FALSE(fs::exists(dictionary));
  EXPECT_FALSE(fs::exists(decompressed));
  cadhost::endTestSession();
}
