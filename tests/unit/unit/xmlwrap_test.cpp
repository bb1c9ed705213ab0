// Guards the nesting check in front of the XML parser: it must never see a document as
// shallower than the parser will build it, or a crafted file could exhaust the stack.
#include "xmlwrap.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Depth of the element tree TinyXML built (also from a document it rejected part way).
size_t treeDepth(const TiXmlNode* node) {
  size_t deepest = 0;
  std::vector<std::pair<const TiXmlNode*, size_t>> stack{{node, 0}};
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    if (n->ToElement() && depth > deepest) deepest = depth;
    for (const TiXmlNode* c = n->FirstChild(); c; c = c->NextSibling())
      stack.push_back({c, depth + (c->ToElement() ? 1 : 0)});
  }
  return deepest;
}

size_t parserDepth(const std::string& text) {
  std::string padded = text + std::string(8, '\0');
  TiXmlDocument doc;
  doc.Parse(padded.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
  return treeDepth(&doc);
}

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(NestingDepth, ExactForPlainMarkup) {
  const std::string text =
      "<?xml version=\"1.0\" encoding='UTF-8'?><!DOCTYPE u><r a=\"1\" b='x/y'><b/><c>x<!-- </r> "
      "--></c>"
      "<d><![CDATA[</d></r>]]><e k=v></e></d></r>";
  EXPECT_EQ(xmlwrap::nestingDepth(text.data(), text.size()), 3u);
  EXPECT_EQ(parserDepth(text), 3u);
}

TEST(NestingDepth, NeverBelowTheParserOnCraftedNesting) {
  const char* const pieces[] = {
      "<a>",
      "<a x=\"/>\">",  // an empty-tag end inside a value
      "<a x='>'>",
      "<?xml version=\"></a>\"?><a>",  // an end tag inside a declaration value
      "<?XML v=\"></a>\"?><a>",
      "<a>\xC3</a>",  // a lead byte swallowing the end tag's '<'
      "<?xml version=\"1.0\"?><a>\xE2</a>",
      "<a><!-- --></a x><a>",
      "<a>&#x3c;/a><a>",
      "<\xC3\xA9 x='1'>",
      "<a \xEF\xBB\xBF x='1'>",
      "</><a>",
  };
  for (const char* piece : pieces) {
    const std::string text = "<?xml version=\"1.0\"?>" + repeat(piece, 300);
    size_t parser = parserDepth(text);
    size_t scanned = xmlwrap::nestingDepth(text.data(), text.size());
    // The scan stops once it is past the limit.
    EXPECT_TRUE(scanned >= parser || scanned > xmlwrap::kMaxXmlDepth) << piece << ": " << scanned;
  }
}

TEST(NestingDepth, NeverBelowTheParserOnRandomMarkup) {
  const char* const tokens[] = {
      "<a>",    "</a>",   "<a/>", "<b x='1'>", "</b>",         "<?xml version=\"",
      "<?xml ", "\"?>",   "?>",   "<!--",      "-->",          "<![CDATA[",
      "]]>",    "<!",     "\xC3", "\xE2\x82",  "\xEF\xBB\xBF", "'",
      "\"",     ">",      "<",    "/",         " x=",          "=",
      " ",      "&#x3c;", "text", "<_>",       "</_>",
  };
  std::mt19937 random(4242);
  for (int round = 0; round < 4000; ++round) {
    std::string text = round % 2 ? "<?xml version=\"1.0\"?>" : "";
    int count = 20 + static_cast<int>(random() % 300);
    for (int i = 0; i < count; ++i) text += tokens[random() % (sizeof tokens / sizeof *tokens)];
    size_t scanned = xmlwrap::nestingDepth(text.data(), text.size());
    if (scanned > xmlwrap::kMaxXmlDepth) continue;
    EXPECT_GE(scanned, parserDepth(text)) << text;
  }
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
