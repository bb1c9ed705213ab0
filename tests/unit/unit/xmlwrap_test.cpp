// Guards the unit reader's XML wrapper: deep documents refused before parsing, shallow
// ones read whatever bytes their values hold, faults reported with the parser's words.
#include "xmlwrap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(ParseText, RefusesDeepDocumentsBeforeParsing) {
  TiXmlDocument doc;
  const std::string ok = repeat("<a>", 256) + repeat("</a>", 256);
  EXPECT_NO_THROW(xmlwrap::parseText(doc, ok));
  const std::string deep = repeat("<a>", 257) + repeat("</a>", 257);
  try {
    xmlwrap::parseText(doc, deep);
    FAIL() << "a document nested 257 deep was parsed";
  } catch (const xmlwrap::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("nested deeper than 256"), std::string::npos);
  }
  EXPECT_THROW(xmlwrap::parseText(doc, repeat("<a>", 1000000)), xmlwrap::Exception);
  // A stray byte or a '>' in a value once made every later start tag count one deeper.
  for (const char* value : {"a\xE9" "b", "a>b", "\xC3"}) {
    const std::string shallow = std::string("<r k=\"") + value + "\">" + repeat("<a><b/></a>", 300) + "</r>";
    EXPECT_NO_THROW(xmlwrap::parseText(doc, shallow)) << value;
  }
}

TEST(ParseText, FaultsCarryTheParsersDescriptionAndPlace) {
  TiXmlDocument doc;
  try {
    xmlwrap::parseText(doc, "<r>\n<a></b></r>");
    FAIL();
  } catch (const xmlwrap::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("(line 2"), std::string::npos) << e.what();
  }
  EXPECT_THROW(xmlwrap::parseText(doc, ""), xmlwrap::Exception);
  EXPECT_THROW(xmlwrap::parseText(doc, "<!-- only a comment -->"), xmlwrap::Exception);
  EXPECT_THROW(xmlwrap::loadFile(doc, "/nonexistent/unit.xml"), xmlwrap::Exception);
}

TEST(Elements, RequiredChildAndTextThrowOptionalOnesDoNot) {
  TiXmlDocument doc;
  xmlwrap::parseText(doc, "<r><a k='H'>text</a><e/></r>");
  const TiXmlElement& root = xmlwrap::rootElement(doc);
  EXPECT_EQ(xmlwrap::text(xmlwrap::child(root, "a")), "text");
  EXPECT_EQ(xmlwrap::attribute(xmlwrap::child(root, "a"), "k", "D"), "H");
  EXPECT_EQ(xmlwrap::attribute(xmlwrap::child(root, "a"), "z", "D"), "D");
  EXPECT_EQ(xmlwrap::findChild(root, "missing"), nullptr);
  EXPECT_THROW(xmlwrap::child(root, "missing"), xmlwrap::Exception);
  EXPECT_THROW(xmlwrap::text(xmlwrap::child(root, "e")), xmlwrap::Exception);
  EXPECT_EQ(xmlwrap::textOr(xmlwrap::child(root, "e")), "");
}

}  // namespace
