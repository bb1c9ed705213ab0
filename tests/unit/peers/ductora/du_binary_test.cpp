// Guards against byte buffers written out of bounds or from bad digits, and against a
// journal that does not show what the server was asked.
#include <unistd.h>
#include "du_fake.h"

TEST_F(DuctoraTest, BufferBounds) {
  EXPECT_EQ(du_alloc_binary(server, 1, -1), DU_BINARY);
  EXPECT_EQ(du_alloc_binary(server, 1, kDuMaxBinarySize + 1), DU_BINARY);
  ASSERT_EQ(du_alloc_binary(server, 1, 4), DU_OK);
  EXPECT_EQ(du_write_binary(server, 1, 0, "0A0b"), DU_OK);
  EXPECT_EQ(du_write_binary(server, 1, 2, "FFEE"), DU_OK);
  EXPECT_EQ(server.binaries[1].bytes, (std::vector<uint8_t>{0x0A, 0x0B, 0xFF, 0xEE}));
  EXPECT_EQ(du_write_binary(server, 1, 3, "FFEE"), DU_BINARY);   // one byte past the end
  EXPECT_EQ(du_write_binary(server, 1, 5, ""), DU_BINARY);       // offset past the end
  EXPECT_EQ(du_write_binary(server, 1, -1, "00"), DU_BINARY);
  EXPECT_EQ(du_write_binary(server, 1, 0, "ABC"), DU_BINARY);    // odd length
  EXPECT_EQ(du_write_binary(server, 1, 0, "0G"), DU_BINARY);     // not hexadecimal
  EXPECT_EQ(du_write_binary(server, 1, 0, "0 "), DU_BINARY);
  EXPECT_EQ(du_write_binary(server, 2, 0, "00"), DU_BINARY);     // no such buffer
  EXPECT_EQ(server.binaries[1].bytes, (std::vector<uint8_t>{0x0A, 0x0B, 0xFF, 0xEE}));
  EXPECT_EQ(du_free_binary(server, 1), DU_OK);
  EXPECT_EQ(du_free_binary(server, 1), DU_BINARY);
  EXPECT_EQ(du_alloc_binary(server, 1, 0), DU_OK);  // an empty block is the caller's to refuse
  // All open buffers together stay within their limit, however they are asked for.
  // Before, nothing bounded them and a failed allocation threw out of the COM method.
  ASSERT_EQ(du_alloc_binary(server, 1, kDuMaxBinarySize), DU_OK);
  ASSERT_EQ(du_alloc_binary(server, 2, kDuMaxBinaryTotal - kDuMaxBinarySize), DU_OK);
  EXPECT_EQ(du_alloc_binary(server, 3, 1), DU_BINARY);
  EXPECT_NE(server.lastError.find("free one first"), std::string::npos);
  EXPECT_EQ(du_alloc_binary(server, 1, 16), DU_OK);  // replacing a buffer gives its bytes back
  EXPECT_EQ(du_alloc_binary(server, 3, kDuMaxBinarySize - 16), DU_OK);
}

TEST_F(DuctoraTest, DisplayListBecomesThePartsGeometry) {
  writeSampleProject();
  std::string h = customPart();
  std::string hex;
  for (int i = 0; i < 56; ++i) hex += "A5";
  ASSERT_EQ(du_alloc_binary(server, 1, 56), DU_OK);
  ASSERT_EQ(du_write_binary(server, 1, 0, hex), DU_OK);
  ASSERT_EQ(du_set_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", 1.0), DU_OK) << server.lastError;
  ASSERT_EQ(du_free_binary(server, 1), DU_OK);
  double n;
  ASSERT_EQ(du_get_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", n), DU_OK);
  EXPECT_EQ(n, 56);
  EXPECT_EQ(du_set_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", 1.0), DU_BINARY);
  ASSERT_EQ(du_alloc_binary(server, 2, 30), DU_OK);  // not whole 28-byte elements
  EXPECT_EQ(du_set_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", 2.0), DU_BINARY);

  EXPECT_EQ(drawing.redrawn, 1);  // the refused lists drew nothing
  saveDrawing();
  du_reset(server);  // the geometry comes back from the file
  ASSERT_EQ(du_get_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", n), DU_OK);
  EXPECT_EQ(n, 56);
}

TEST_F(DuctoraTest, JournalHasOneLinePerCall) {
  writeSampleProject();
  double n;
  du_get_number(server, "", "Count(/Project/Ductwork/System)", n);
  du_alloc_binary(server, 1, 10240);
  const std::string hex = std::string(20478, 'F') + "0A";
  du_write_binary(server, 1, 0, hex);
  du_write_binary(server, 1, 0, "XY");
  std::string s;
  du_get_string(server, "", "/Project/Ductwork/System[0]/Name", s);
  std::string journal = read(journalFile());
  EXPECT_NE(journal.find("GetNumber handle=\"\" query=\"Count(/Project/Ductwork/System)\" -> 0 value=2\n"),
            std::string::npos)
      << journal;
  EXPECT_NE(journal.find("AllocBinary id=1 size=10240 -> 0\n"), std::string::npos);
  EXPECT_NE(journal.find("WriteBinary id=1 offset=0 hexText=\"" + hex + "\" -> 0\n"), std::string::npos);
  EXPECT_NE(journal.find("WriteBinary id=1 offset=0 hexText=\"XY\" -> 7 error=\""), std::string::npos);
  EXPECT_NE(journal.find("value=\"Supply air\"\n"), std::string::npos);
  size_t lines = 0;
  for (char c : journal) lines += c == '\n';
  EXPECT_EQ(lines, 5u);
}

// Before, the journal was opened with fopen(.., "a") on every call and followed a link
// planted at NAME.ductora.log, appending to whatever file it named.
TEST_F(DuctoraTest, JournalNeverFollowsALink) {
  writeSampleProject();
  const std::string target = folder + "/target.txt";
  write(target, "mine\n");
  ASSERT_EQ(symlink(target.c_str(), journalFile().c_str()), 0);
  double n;
  EXPECT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_OK);  // not a reason to refuse
  EXPECT_EQ(read(target), "mine\n");
}
