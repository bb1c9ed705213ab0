// Guards the request writer against cut values, unescaped markup and format directives
// taken from user text.
#include <gtest/gtest.h>

#include <string>

#include "xmlwriter.h"

TEST(XmlEscape, ReplacesTheFiveSpecialCharactersInPlace) {
  EXPECT_EQ(xmlStringWriter::xmlEscape("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
  EXPECT_EQ(xmlStringWriter::xmlEscape("plain text 100%"), "plain text 100%");
  EXPECT_EQ(xmlStringWriter::xmlEscape(nullptr), "");
}

TEST(XmlAppendf, LongValueIsAppendedWhole) {
  xmlStringWriter writer;
  const std::string value(300, 'v');
  writer.xmlAppend("<Part>");
  writer.xmlAppendf("<Description>%s</Description>", value.c_str());
  EXPECT_EQ(std::string(writer.text()), "<Part><Description>" + value + "</Description>");
}

TEST(XmlAppendf, PercentSignInAnEscapedValuePassesUnchanged) {
  xmlStringWriter writer;
  writer.xmlAppendf("<Productcode>%s</Productcode>", xmlStringWriter::xmlEscape("50% & more %s").c_str());
  EXPECT_STREQ(writer.text(), "<Productcode>50% &amp; more %s</Productcode>");
  writer.clear();
  EXPECT_STREQ(writer.text(), "");
}
