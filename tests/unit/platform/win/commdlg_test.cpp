// Guards the answers of message boxes and the open-file dialog: only offered answers,
// a missing file refused, a path that does not fit never written.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "dialog_fixture.h"
#include "test_temp.h"
#include "window.h"

namespace {

TEST(MessageBox, AcceptsOnlyTheOfferedAnswers) {
  FakeHost host({"maybe", "OK", " Yes "});
  EXPECT_EQ(MessageBoxA(nullptr, "Replace it?", "Zephyr 1.2.5", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_TRUE(host.saw("Message box \"Zephyr 1.2.5\"\nQuestion: Replace it?\n"));
  EXPECT_TRUE(host.saw("Answer (yes/no): maybe\nPlease answer yes/no.\n"));
  EXPECT_TRUE(host.saw("Answer (yes/no): OK\nPlease answer yes/no.\n"));
  EXPECT_EQ(host.reads, 3);
}

TEST(MessageBox, EscapeAndEndOfInputGiveWhatEscapeGives) {
  struct Case {
    UINT type;
    const char* line;  // null: end of input
    int expected;
  };
  const Case cases[] = {
      {MB_OK, nullptr, IDOK},           {MB_OK, "*cancel*", IDOK},
      {MB_OKCANCEL, nullptr, IDCANCEL}, {MB_YESNOCANCEL, "*cancel*", IDCANCEL},
      {MB_YESNO, nullptr, IDNO},        {MB_YESNO, "*cancel*", IDNO},
      {MB_YESNOCANCEL, "no", IDNO},     {MB_OKCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL, "cancel", IDCANCEL},
  };
  for (const Case& c : cases) {
    FakeHost host(c.line ? std::deque<std::string>{c.line} : std::deque<std::string>{});
    EXPECT_EQ(MessageBoxA(nullptr, "Text", "Caption", c.type), c.expected) << c.type << " " << (c.line ? c.line : "EOF");
  }
}

struct OpenFile : ::testing::Test {
  std::filesystem::path folder;
  void SetUp() override {
    folder = std::filesystem::path(testTempRoot()) /
             ("winui_open_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    FILE* f = fopen((folder / "unit.xml").c_str(), "w");
    fputs("<Unit/>", f);
    fclose(f);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
};

TEST_F(OpenFile, RefusesAMissingFileThenTakesARelativeNameWithTheDefaultExtension) {
  FakeHost host({"missing.xml", "unit"});
  char file[MAX_PATH] = "last.xml";
  ASSERT_TRUE(showOpenFileDialog(nullptr, "XML (*.xml)|*.xml||", folder.c_str(), file, "xml", "Zephyr 1.2.5"));
  EXPECT_EQ(std::string(file), (folder / "unit.xml").string());
  EXPECT_TRUE(host.saw("Open file \"Zephyr 1.2.5\"\n  Folder: " + folder.string() +
                       "\n  File: last.xml\n  Types: XML (*.xml)\n"));
  EXPECT_TRUE(host.saw("File not found: " + (folder / "missing.xml").string() + "\n"));
  EXPECT_EQ(host.reads, 2);
}

TEST_F(OpenFile, NamesMatchInAnyLetterCaseAndComeBackAsStored) {
  FakeHost host({"UNIT.XML"});
  char file[MAX_PATH] = "";
  ASSERT_TRUE(showOpenFileDialog(nullptr, nullptr, folder.c_str(), file, "xml", "t"));
  EXPECT_EQ(std::string(file), (folder / "unit.xml").string());
}

TEST_F(OpenFile, CancelAndEndOfInputLeaveTheBufferAlone) {
  for (std::deque<std::string> lines : {std::deque<std::string>{"*cancel*"}, std::deque<std::string>{}}) {
    FakeHost host(lines);
    char file[MAX_PATH] = "last.xml";
    EXPECT_FALSE(showOpenFileDialog(nullptr, "XML (*.xml)|*.xml||", folder.c_str(), file, "xml", "t"));
    EXPECT_STREQ(file, "last.xml");
    EXPECT_EQ(CommDlgExtendedError(), 0u);
  }
}

TEST_F(OpenFile, APathLongerThanTheBufferIsNotWritten) {
  FakeHost host({(folder / "unit.xml").string()});
  char file[12] = "keep";
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.Flags = OFN_FILEMUSTEXIST;
  EXPECT_FALSE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  EXPECT_STREQ(file, "keep");
}

TEST_F(OpenFile, AnAbsolutePathAndItsParts) {
  std::string path = (folder / "unit.xml").string();
  FakeHost host({"\"" + path + "\""});
  char file[MAX_PATH] = "";
  char title[5] = "";
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = sizeof title;
  ofn.lpstrInitialDir = "/nowhere";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  ASSERT_TRUE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(std::string(file), path);
  EXPECT_EQ(std::string(file + ofn.nFileOffset), "unit.xml");
  EXPECT_EQ(std::string(file + ofn.nFileExtension), "xml");
  EXPECT_STREQ(title, "unit") << "the title is cut to its buffer";
  ofn.lStructSize = 12;
  EXPECT_FALSE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

}  // namespace
