// Guards against byte buffers written out of bounds or from bad digits, and against a
// journal that does not show what the server was asked.
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

  du_reset(server);  // the geometry comes back from the file
  ASSERT_EQ(du_get_number(server, h, "/Part/Geometry/Source[0]/gm_model/binvar", n), DU_OK);
  EXPECT_EQ(n, 56);
}

TEST_F(DuctoraTest, JournalHasOneLinePerCall) {
  writeSampleProject();
  double n;
  du_get_number(server, "", "Count(/Project/Ductwork/System)", n);
  du_alloc_binary(server, 1, 10240);
  du_write_binary(server, 1, 0, std::string(20480, 'F'));
  du_write_binary(server, 1, 0, "XY");
  std::string s;
  du_get_string(server, "", "/Project/Ductwork/System[0]/Name", s);
  std::string journal = read(journalFile());
  EXPECT_NE(journal.find("GetNumber handle=\"\" query=\"Count(/Project/Ductwork/System)\" -> 0 value=2\n"),
            std::string::npos)
      << journal;
  EXPECT_NE(journal.find("AllocBinary id=1 size=10240 -> 0\n"), std::string::npos);
  EXPECT_NE(journal.find("WriteBinary id=1 offset=0 hexText=<20480 chars> -> 0\n"), std::string::npos);
  EXPECT_NE(journal.find("WriteBinary id=1 offset=0 hexText=\"XY\" -> 7 error=\""), std::string::npos);
  EXPECT_NE(journal.find("value=\"Supply air\"\n"), std::string::npos);
  size_t lines = 0;
  for (char c : journal) lines += c == '\n';
  EXPECT_EQ(lines, 5u);
}
