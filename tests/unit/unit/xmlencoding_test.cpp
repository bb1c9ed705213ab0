// Guards unit files written by Windows programs: a file in ISO-8859-1 or windows-1252
// (declared, or not UTF-8 and undeclared) once reached the record with U+FFFD in place of
// its umlauts; it must arrive in the process's UTF-8, and UTF-8 files must stay as they are.
#include "xmlencoding.h"

#include <gtest/gtest.h>

#include <string>

#include "xmlwrap.h"

namespace {

std::string textOf(const std::string& document) {
  TiXmlDocument doc;
  xmlwrap::parseText(doc, xmlToUtf8(document));
  return xmlwrap::text(*xmlwrap::findChild(xmlwrap::rootElement(doc), "UnitDescription"));
}

TEST(XmlEncoding, EightBitFilesArriveAsUtf8) {
  const std::string body = "<Unit><UnitDescription>L\xFC" "ftungsger\xE4t \x80 &#252;</UnitDescription></Unit>";
  const std::string expected = "L\xC3\xBC" "ftungsger\xC3\xA4t \xE2\x82\xAC \xC3\xBC";
  EXPECT_EQ(textOf("<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + body), expected);
  EXPECT_EQ(textOf("<?xml version='1.0' encoding='ISO-8859-1' ?>" + body),
            "L\xC3\xBC" "ftungsger\xC3\xA4t \xC2\x80 \xC3\xBC");
  EXPECT_EQ(textOf(body), expected);  // undeclared and not UTF-8: what Windows programs write
  const std::string converted = xmlToUtf8("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + body);
  EXPECT_EQ(converted.compare(0, 38, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 0) << converted;
}

TEST(XmlEncoding, Utf8AndUnknownEncodingsStayAsTheyAre) {
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Unit>L\xC3\xBC" "ftung</Unit>";
  EXPECT_EQ(xmlToUtf8(utf8), utf8);
  const std::string plain = "<Unit>L\xC3\xBC" "ftung \xE2\x82\xAC</Unit>";
  EXPECT_EQ(xmlToUtf8(plain), plain);
  const std::string unknown = "<?xml version=\"1.0\" encoding=\"no-such-code\"?><Unit>\xFC</Unit>";
  EXPECT_EQ(xmlToUtf8(unknown), unknown);
}

}  // namespace
