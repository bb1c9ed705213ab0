// Guards model retrieval against damaged downloads passing as good, lost or stray files.
#include <gtest/gtest.h>

#include <random>

#include "hosttest.h"
#include "model_fixtures.h"
#include "modeldb.h"
#include "selector_settings.h"

using namespace modeltest;

namespace {

const char kDictionary[] = "Duratcd.ddtz";
const char kDatabase[] = "Ventholm_14a.tcdz";

class DecompressTest : public ::testing::Test {
 protected:
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override { cadhost::endTestSession(); }
  TempDir dir;
};

TEST_F(DecompressTest, GzipAndPlainDataComeOutExactly) {
  std::string data = sampleBytes(300 * 1024 + 5);
  writeFile(dir.file("a.gz"), gzipBytes(data));
  EXPECT_EQ(DecompressFile(dir.file("a.gz").c_str(), dir.file("a").c_str()), 0);
  EXPECT_TRUE(readFile(dir.file("a")) == data);

  writeFile(dir.file("plain"), data);
  EXPECT_EQ(DecompressFile(dir.file("plain").c_str(), dir.file("copy").c_str()), 0);
  EXPECT_TRUE(readFile(dir.file("copy")) == data);

  writeFile(dir.file("empty"), "");
  EXPECT_EQ(DecompressFile(dir.file("empty").c_str(), dir.file("empty.out").c_str()), 0);
  EXPECT_EQ(readFile(dir.file("empty.out")), "");
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(DecompressTest, TruncatedOrCorruptStreamIsAReadFailure) {
  std::string packed = gzipBytes(sampleBytes(200 * 1024));
  writeFile(dir.file("cut.gz"), packed.substr(0, packed.size() / 2));
  EXPECT_EQ(DecompressFile(dir.file("cut.gz").c_str(), dir.file("cut").c_str()), -6);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Failed to fogzreadpen file " + dir.file("cut.gz") + "\n");

  writeFile(dir.file("tail.gz"), packed.substr(0, packed.size() - 4));  // length trailer lost
  EXPECT_EQ(DecompressFile(dir.file("tail.gz").c_str(), dir.file("tail").c_str()), -6);

  std::string corrupt = packed;
  corrupt[corrupt.size() / 2] ^= 0x55;
  writeFile(dir.file("bad.gz"), corrupt);
  EXPECT_EQ(DecompressFile(dir.file("bad.gz").c_str(), dir.file("bad").c_str()), -6);
}

// A small gzip file can unpack to any size: past the bound it is a write failure, and the
// partial output goes. 520 members of 1 MB of zeros each, about 540 KB packed.
TEST_F(DecompressTest, CompressionBombStopsAtTheSizeBoundAndLeavesNothing) {
  const std::string member = gzipBytes(std::string(1024 * 1024, '\0'));
  std::string bomb;
  for (int k = 0; k < 520; ++k) bomb += member;
  writeFile(dir.file("bomb.gz"), bomb);
  EXPECT_EQ(DecompressFile(dir.file("bomb.gz").c_str(), dir.file("bomb").c_str()), -5);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Failed to fwrite to file " + dir.file("bomb") + "\n");
  EXPECT_FALSE(exists(dir.file("bomb")));
}

TEST_F(DecompressTest, MissingNamesAndUnopenableFiles) {
  writeFile(dir.file("in"), "x");
  EXPECT_EQ(DecompressFile(nullptr, dir.file("o").c_str()), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Failed to DecompressFile infilename == NULL\n");
  EXPECT_EQ(DecompressFile(dir.file("in").c_str(), nullptr), -2);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Failed to DecompressFile outfilename == NULL\n");
  EXPECT_EQ(DecompressFile(dir.file("none").c_str(), dir.file("o").c_str()), -3);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Failed to gzopen file " + dir.file("none") + "\n");
  EXPECT_EQ(DecompressFile(dir.file("in").c_str(), dir.file("no/folder").c_str()), -4);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Failed to fopen file " + dir.file("no/folder") + "\n");
}

TEST_F(DecompressTest, OutputNameThatIsASymbolicLinkIsNotFollowed) {
  writeFile(dir.file("victim"), "keep");
  fs::create_symlink(dir.file("victim"), dir.file("link"));
  writeFile(dir.file("in"), gzipBytes("payload"));
  EXPECT_EQ(DecompressFile(dir.file("in").c_str(), dir.file("link").c_str()), -4);
  EXPECT_EQ(readFile(dir.file("victim")), "keep");
}

// Random damage to a gzip file: never a crash, and never a "success" with wrong content.
TEST_F(DecompressTest, FuzzedInputFailsCleanlyOrDecompressesRight) {
  std::string data = sampleBytes(20 * 1024, 3);
  std::string packed = gzipBytes(data);
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    std::string input = packed;
    int kind = round % 4;
    if (kind == 0) {
      input.resize(random() % input.size());
    } else if (kind == 1) {
      for (int k = 0; k < 1 + static_cast<int>(random() % 8); ++k)
        input[random() % input.size()] = static_cast<char>(random());
    } else if (kind == 2) {
      input.insert(random() % input.size(), std::string(1 + random() % 32, static_cast<char>(random())));
    } else {
      input = std::string("\x1f\x8b", 2);
      for (int k = 0; k < 1 + static_cast<int>(random() % 512); ++k) input += static_cast<char>(random());
    }
    writeFile(dir.file("f.gz"), input);
    int result = DecompressFile(dir.file("f.gz").c_str(), dir.file("f").c_str());
    ASSERT_TRUE(result == 0 || result == -6) << "round " << round << " result " << result;
    if (result == 0) {
      std::string out = readFile(dir.file("f"));
      ASSERT_TRUE(out == data || out == input) << "round " << round;
    }
  }
  cadhost::takeOutput();
}

// Retrieval with the module-folder copies in a folder of the test's own and the user's
// temporary folder redirected, so every file the retrieval leaves can be counted.
class RetrieveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cadhost::startTestSession();
    setLocalModelFolderForTests(moduleFolder.path.string());
    dictionary = sampleBytes(40 * 1024, 1);
    database = sampleBytes(90 * 1024, 2);
    settings.ServerRootURL = server.url();
  }
  void TearDown() override {
    deleteModelFiles();
    setLocalModelFolderForTests("");
    cadhost::endTestSession();
  }
  void serve(const char* name, const std::string& bytes) { writeFile(served.file(name), gzipBytes(bytes)); }
  void copyBeside(const char* name, const std::string& bytes) {
    writeFile(moduleFolder.file(name), gzipBytes(bytes));
  }

  TempDir moduleFolder;
  TempDir served;
  TempDir temp;
  ScopedEnv tmp{"TMP", temp.path.string()};
  FileServer server{served.path.string()};
  SelectorSettings settings;
  std::string dictionary;
  std::string database;
};

TEST_F(RetrieveTest, ModuleFolderCopiesAreUsedAndKept) {
  copyBeside(kDictionary, dictionary);
  copyBeside(kDatabase, database);
  settings.ServerRootURL = deadAddress();
  ASSERT_EQ(retrieveModelDatabase(deadAddress(kDatabase), settings), 0);
  EXPECT_EQ(cadhost::takeOutput(),
            "Zephyr: Local models database dictionary used.\n"
            "Zephyr: Local models database used '" + moduleFolder.file(kDatabase) + "'\n");
  EXPECT_TRUE(readFile(modelDictionaryPath()) == dictionary);
  EXPECT_TRUE(readFile(modelDatabasePath()) == database);
  EXPECT_EQ(temp.count(), 2u);

  ASSERT_EQ(retrieveModelDatabase(deadAddress(kDatabase), settings), 0);
  // What SQLite may leave beside a database goes with it.
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    writeFile(std::string(modelDatabasePath()) + suffix, "x");
    writeFile(std::string(modelDictionaryPath()) + suffix, "x");
  }
  deleteModelFiles();
  EXPECT_TRUE(exists(moduleFolder.file(kDictionary)));
  EXPECT_TRUE(exists(moduleFolder.file(kDatabase)));
  EXPECT_EQ(temp.count(), 0u);
  EXPECT_STREQ(modelDictionaryPath(), "");
  EXPECT_STREQ(modelDatabasePath(), "");
}

TEST_F(RetrieveTest, DatabaseIsDownloadedFromTheUnitsAddressWhenOnlyTheDictionaryIsLocal) {
  copyBeside(kDictionary, dictionary);
  serve("unit-db.tcdz", database);
  ASSERT_EQ(retrieveModelDatabase(server.url("unit-db.tcdz"), settings), 0);
  EXPECT_EQ(cadhost::takeOutput(), "Zephyr: Local models database dictionary used.\n");
  EXPECT_TRUE(readFile(modelDictionaryPath()) == dictionary);
  EXPECT_TRUE(readFile(modelDatabasePath()) == database);
  EXPECT_EQ(temp.count(), 2u);  // the downloaded source is gone
}

TEST_F(RetrieveTest, BothDownloadedAndASecondRetrievalReplacesTheFirstsFiles) {
  serve(kDictionary, dictionary);
  serve(kDatabase, database);
  ASSERT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), 0);
  EXPECT_TRUE(readFile(modelDatabasePath()) == database);
  EXPECT_EQ(temp.count(), 2u);
  serve(kDatabase, dictionary);
  ASSERT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), 0);
  EXPECT_TRUE(readFile(modelDatabasePath()) == dictionary);
  EXPECT_EQ(temp.count(), 2u);  // the first retrieval's two files are gone
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(RetrieveTest, SourceThatIsNotGzipArrivesUnchanged) {
  writeFile(served.file(kDictionary), dictionary);
  writeFile(served.file(kDatabase), database);
  ASSERT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), 0);
  EXPECT_TRUE(readFile(modelDictionaryPath()) == dictionary);
  EXPECT_TRUE(readFile(modelDatabasePath()) == database);
}

TEST_F(RetrieveTest, FailedDownloadsNameTheAddressAndLeaveNoFiles) {
  settings.ServerRootURL = deadAddress("root");  // the dictionary's name goes below it
  EXPECT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), -1);
  EXPECT_EQ(cadhost::takeOutput(),
            "Error DownloadFile: Can't open file from internet\n"
            "Zephyr: Failed to download models database dictionary '" + deadAddress("root/Duratcd.ddtz") +
                "'.\n");
  EXPECT_STREQ(modelDictionaryPath(), "");
  EXPECT_EQ(temp.count(), 0u);

  settings.ServerRootURL = server.url();
  serve(kDictionary, dictionary);
  EXPECT_EQ(retrieveModelDatabase(deadAddress(kDatabase), settings), -3);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Can't open file from internet\n"
                                   "Zephyr: Failed to download models database '" + deadAddress(kDatabase) + "'\n");
  EXPECT_TRUE(readFile(modelDictionaryPath()) == dictionary);
  EXPECT_STREQ(modelDatabasePath(), "");
  EXPECT_EQ(temp.count(), 1u);
}

TEST_F(RetrieveTest, DamagedDownloadIsRefusedAndLeavesNoHalfFile) {
  serve(kDictionary, dictionary);
  std::string packed = gzipBytes(database);
  writeFile(served.file(kDatabase), packed.substr(0, packed.size() - 100));
  EXPECT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), -4);
  EXPECT_NE(cadhost::takeOutput().find("Zephyr: Failed to fogzreadpen file "), std::string::npos);
  EXPECT_STREQ(modelDatabasePath(), "");
  EXPECT_TRUE(exists(modelDictionaryPath()));
  EXPECT_EQ(temp.count(), 1u);

  writeFile(served.file(kDictionary), packed.substr(0, 10));
  EXPECT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), -2);
  EXPECT_STREQ(modelDictionaryPath(), "");
  EXPECT_EQ(temp.count(), 0u);
}

TEST_F(RetrieveTest, OfflineMachineFailsTheDictionary) {
  ScopedEnv offline("ZEPHYR_OFFLINE", "1");
  EXPECT_EQ(retrieveModelDatabase(server.url(kDatabase), settings), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: There is no connection to internet\n"
                                   "Zephyr: Failed to download models database dictionary '" +
                                       server.url(kDictionary) + "'.\n");
}

}  // namespace
