// Guards DownloadFile's result codes and messages, and that bodies arrive byte for byte.
#include <gtest/gtest.h>

#include "download.h"
#include "hosttest.h"
#include "model_fixtures.h"
#include "wininet.h"

using namespace modeltest;

namespace {

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { cadhost::startTestSession(); }
  void TearDown() override { cadhost::endTestSession(); }
  TempDir served;
  TempDir target;
};

TEST_F(DownloadTest, MissingParametersAreRefusedBeforeAnythingIsCreated) {
  EXPECT_EQ(DownloadFile(nullptr, target.file("x").c_str()), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Wrong parameter Url == NULL\n\n");
  EXPECT_EQ(DownloadFile("http://127.0.0.1/", nullptr), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Wrong parameter SaveFileName == NULL\n\n");
  EXPECT_EQ(target.count(), 0u);
}

TEST_F(DownloadTest, TargetThatCannotBeCreated) {
  EXPECT_EQ(DownloadFile(deadAddress().c_str(), target.file("no/such/folder/x").c_str()), -1);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Can't create file\n");
}

TEST_F(DownloadTest, OfflineMachineSaysSoAndStops) {
  FileServer server(served.path.string());
  writeFile(served.file("a.bin"), "abc");
  ScopedEnv offline("ZEPHYR_OFFLINE", "1");
  EXPECT_EQ(DownloadFile(server.url("a.bin").c_str(), target.file("a").c_str()), -2);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: There is no connection to internet\n");
  EXPECT_EQ(readFile(target.file("a")), "");
}

TEST_F(DownloadTest, UnreachableOrMalformedAddressCannotBeOpened) {
  EXPECT_EQ(DownloadFile(deadAddress("x").c_str(), target.file("a").c_str()), -4);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Can't open file from internet\n");
  EXPECT_EQ(DownloadFile("not an address", target.file("b").c_str()), -4);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Can't open file from internet\n");
  EXPECT_EQ(DownloadFile("file:///etc/passwd", target.file("c").c_str()), -4);
  EXPECT_EQ(readFile(target.file("c")), "");
}

// A redirect that leads nowhere used to end as an empty "successful" download: the 302
// itself was taken for the answer. Redirects are followed to http and https only, a few
// times at most, and one that cannot be followed is a failed open.
TEST_F(DownloadTest, RedirectsAreFollowedOnlyToWebAddresses) {
  FileServer server(served.path.string());
  writeFile(served.file("a.bin"), "abc");
  EXPECT_EQ(DownloadFile(server.url("redirect?to=/a.bin").c_str(), target.file("moved").c_str()), 1);
  EXPECT_EQ(readFile(target.file("moved")), "abc");
  EXPECT_EQ(cadhost::takeOutput(), "");

  const std::string chain = server.url("redirect?to=/redirect%3Fto%3D/a.bin");
  EXPECT_EQ(DownloadFile(chain.c_str(), target.file("chain").c_str()), 1);
  EXPECT_EQ(readFile(target.file("chain")), "abc");

  const std::string bad[] = {server.url("redirect?to=" + deadAddress("x")),
                             server.url("redirect?to=file:///etc/passwd"),
                             server.url("redirect?to=ftp://127.0.0.1/x"),
                             server.url("loop")};
  for (const std::string& address : bad) {
    EXPECT_EQ(DownloadFile(address.c_str(), target.file("bad").c_str()), -4) << address;
    EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: Can't open file from internet\n") << address;
    EXPECT_EQ(readFile(target.file("bad")), "") << address;
  }
}

TEST_F(DownloadTest, BodiesArriveWholeAndOverwriteTheTarget) {
  FileServer server(served.path.string());
  std::string big = sampleBytes(3 * 1024 * 1024 + 17);
  writeFile(served.file("big.bin"), big);
  writeFile(served.file("empty.bin"), "");
  writeFile(target.file("big"), std::string(5 * 1024 * 1024, 'x'));

  EXPECT_EQ(DownloadFile(server.url("big.bin").c_str(), target.file("big").c_str()), 1);
  EXPECT_TRUE(readFile(target.file("big")) == big);
  EXPECT_EQ(DownloadFile(server.url("empty.bin").c_str(), target.file("empty").c_str()), 1);
  EXPECT_TRUE(exists(target.file("empty")));
  EXPECT_EQ(readFile(target.file("empty")), "");
  EXPECT_EQ(cadhost::takeOutput(), "");
}

TEST_F(DownloadTest, ErrorAnswerBodyIsWrittenAsIs) {
  FileServer server(served.path.string());
  EXPECT_EQ(DownloadFile(server.url("missing.XML").c_str(), target.file("m").c_str()), 1);
  EXPECT_TRUE(exists(target.file("m")));
}

TEST_F(DownloadTest, BodyBrokenOffPartWayCountsAsSuccessWithWhatCame) {
  FileServer server(served.path.string());
  EXPECT_EQ(DownloadFile(server.url("cut").c_str(), target.file("cut").c_str()), 0);
  EXPECT_EQ(readFile(target.file("cut")), "0123456789");
  EXPECT_EQ(cadhost::takeOutput(), "");
}

// A server that never ends its answer must not fill the disk.
TEST_F(DownloadTest, AnswerPastTheSizeBoundFailsAndLeavesNoFile) {
  FileServer server(served.path.string());
  EXPECT_EQ(DownloadFile(server.url("endless").c_str(), target.file("e").c_str()), -7);
  EXPECT_EQ(cadhost::takeOutput(), "Error DownloadFile: File is larger than 1 GB\n");
  EXPECT_FALSE(exists(target.file("e")));
}

TEST(InternetStandIn, HandlesAreCheckedAndReadsEndCleanly) {
  TempDir served;
  writeFile(served.file("f"), "hello");
  FileServer server(served.path.string());
  HINTERNET session = InternetOpenA("t", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  HINTERNET file = InternetOpenUrlA(session, server.url("f").c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  ASSERT_NE(file, nullptr);
  char buffer[3];
  DWORD got = 0;
  std::string body;
  while (InternetReadFile(file, buffer, sizeof buffer, &got) && got > 0) body.append(buffer, got);
  EXPECT_EQ(body, "hello");
  EXPECT_TRUE(InternetReadFile(file, buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(InternetReadFile(session, buffer, sizeof buffer, &got));  // not a transfer
  EXPECT_TRUE(InternetCloseHandle(file));
  EXPECT_FALSE(InternetCloseHandle(file));
  EXPECT_TRUE(InternetCloseHandle(session));
}

}  // namespace
