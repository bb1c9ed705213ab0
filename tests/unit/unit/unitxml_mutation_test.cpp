// Guards the unit reader against damaged exports: truncated and corrupted copies of the
// test files must end in a report or a reading, never a crash or a broken record.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "hosttest.h"
#include "selector_settings.h"
#include "testfiles.h"
#include "unitxml.h"
#include "xmldoc.h"
#include "xmlwrap.h"

namespace {

void checkRecord(const UnitRecord& unit, const std::string& what) {
  ASSERT_FALSE(unit.parts.empty()) << what;
  EXPECT_EQ(unit.parts[0].connections.size(), 5u) << what;
  for (size_t i = 1; i < unit.parts.size(); ++i) {
    EXPECT_LT(unit.parts[i].attachedTo, static_cast<int>(i)) << what;
    EXPECT_FALSE(unit.parts[i].connectionTypes.empty()) << what;
  }
}

class Mutations : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    cadhost::startTestSession();
    original = testfiles::readData(GetParam());
    path = testfiles::writeScratch("");
  }
  void TearDown() override { cadhost::endTestSession(); }

  void readCopy(const std::string& text, const std::string& what) {
    {
      std::ofstream file(path, std::ios::binary | std::ios::trunc);
      file << text;
    }
    cadhost::addAnswers({"yes"});
    UnitRecord unit;
    int result = readUnitXml(unit, SelectorSettings(), "", path.c_str());
    cadhost::takeOutput();
    EXPECT_TRUE(result == 0 || result == -1) << what << " gave " << result;
    checkRecord(unit, what);
    // The reader refuses a document nested past the limit before parsing it.
    if (result == 0) {
      EXPECT_LE(xmldoc_depth(text.data(), text.size(), TIXML_DEFAULT_ENCODING), xmlwrap::kMaxXmlDepth) << what;
    }
  }

  std::string original;
  std::string path;
};

TEST_P(Mutations, TruncatedCopies) {
  for (size_t length = 0; length < original.size(); length += 5)
    readCopy(original.substr(0, length), "cut at " + std::to_string(length));
}

TEST_P(Mutations, CorruptedCopies) {
  std::mt19937 random(20261208);
  const char special[] = {'<', '>', '/', '"', '\'', '=',    '!',    '?',
                          '-', ']', '&', ' ', '\0', '\xC3', '\xEF', '\xFF'};
  for (int round = 0; round < 600; ++round) {
    std::string text = original;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      size_t at = random() % text.size();
      switch (random() % 4) {
        case 0:
          text[at] = static_cast<char>(random() & 0xFF);
          break;
        case 1:
          text[at] = special[random() % sizeof special];
          break;
        case 2:
          text.erase(at, 1 + random() % 16);
          break;
        default:
          text.insert(at, text.substr(random() % text.size(), 1 + random() % 64));
          break;
      }
    }
    readCopy(text, "round " + std::to_string(round));
  }
}

INSTANTIATE_TEST_SUITE_P(UnitFiles, Mutations, ::testing::Values("complete.xml", "components.xml"));

}  // namespace
