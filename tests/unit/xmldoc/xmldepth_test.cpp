// Guards the depth check in front of TinyXML: a scanner that sees a text as shallower than
// TinyXML builds it lets a crafted file exhaust the stack (a "/>" or ">" inside a value
// once did), and one that sees a valid file as deeper refuses it (stray bytes, comments).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tree_depth.h"
#include "xmldoc.h"

namespace {

const TiXmlEncoding kEncodings[] = {TIXML_ENCODING_UNKNOWN, TIXML_ENCODING_UTF8};

struct Parsed {
  size_t depth;
  bool error;
};

// What TinyXML builds from the text: the depth of its element tree (also of the part it
// built before a fault) and whether it reported a fault.
Parsed parse(const std::string& text, TiXmlEncoding encoding) {
  std::string padded = text + std::string(kXmlDocPadding, '\0');
  TiXmlDocument doc;
  doc.Parse(padded.c_str(), nullptr, encoding);
  return {treeDepth(doc), doc.Error()};
}

size_t scan(const std::string& text, TiXmlEncoding encoding) {
  return xmldoc_depth(text.data(), text.size(), encoding);
}

// The scanner is never below TinyXML, and equal to it where TinyXML reports no fault.
::testing::AssertionResult agreesWithTinyXml(const std::string& text, TiXmlEncoding encoding,
                                             Parsed* parsedOut = nullptr) {
  Parsed parsed = parse(text, encoding);
  if (parsedOut) *parsedOut = parsed;
  size_t scanned = scan(text, encoding);
  if (scanned < parsed.depth || (!parsed.error && scanned != parsed.depth))
    return ::testing::AssertionFailure() << "scanned " << scanned << ", TinyXML " << parsed.depth
                                         << (parsed.error ? " with a fault" : "") << ", encoding "
                                         << encoding << ": " << text;
  return ::testing::AssertionSuccess();
}

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// Random documents: mostly well-formed trees whose values, texts, comments, CDATA sections,
// processing instructions and DOCTYPEs hold markup characters, entities and stray bytes;
// some of them then cut or with bytes changed.
class Generator {
 public:
  explicit Generator(unsigned seed) : m_random(seed) {}

  std::string document() {
    std::string text;
    if (chance(10)) text += "\xEF\xBB\xBF";
    if (chance(3))
      text += pick({"<?xml version=\"1.0\"?>", "<?xml version='1.0' encoding='UTF-8'?>",
                    "<?XML encoding=\"ISO-8859-1\"?>", "<?xml encoding='utf8' standalone=\"yes\"?>",
                    "<?xml version=\"1.0\" encoding=\"&#85;TF-8\"?>", "<?xml encoding='&UTF-8'?>",
                    "<?xml encoding='&#0;x'?>", "<?xml x=\"?>\"?>"});
    while (chance(3)) text += misc();
    if (chance(6)) text += "<!DOCTYPE r [ <!ELEMENT r ANY> ]>";
    text += element(0);
    while (chance(4)) text += misc();
    return chance(3) ? damaged(text) : text;
  }

 private:
  bool chance(unsigned oneIn) { return m_random() % oneIn == 0; }
  const char* pick(std::initializer_list<const char*> list) {
    return list.begin()[m_random() % list.size()];
  }
  char strayByte() { return static_cast<char>(0x80 + m_random() % 0x80); }

  // Bytes for inside a value, a text or a comment: markup characters, entities and stray
  // bytes, all of which TinyXML may read differently from an XML parser.
  std::string junk(const char* avoid) {
    std::string text;
    for (int n = m_random() % 6; n > 0; --n) {
      std::string piece = chance(4) ? std::string(1, strayByte())
                                    : pick({"x", " ", ">", "/>", "<", "</a>", "<a>", "'", "\"", "&amp;",
                                            "&lt;", "&#x3c;", "&#60;", "&#x", "x;", "&", "?>", "-", "]",
                                            "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBB\xBF"});
      if (piece.find(avoid) == std::string::npos) text += piece;
    }
    return text;
  }
  std::string misc() {
    switch (m_random() % 4) {
      case 0: return "<!--" + junk("--") + "-->";
      case 1: return "<?pi " + junk(">") + "?>";
      case 2: return " \n\t";
      default: return "<![CDATA[" + junk("]]>") + "]]>";
    }
  }
  std::string element(int depth) {
    std::string name = pick({"a", "b", "r_1", "x:y", "\xC3\xA9t", "_"});
    std::string text = "<" + name;
    for (int n = m_random() % 3; n > 0; --n) {
      std::string key = "k" + std::to_string(n);
      if (chance(2)) text += " " + key + "=\"" + junk("\"") + "\"";
      else text += " " + key + " = '" + junk("'") + "'";
    }
    if (depth > 24 || chance(5)) return text + (chance(2) ? "/>" : " />");
    text += ">";
    for (int n = m_random() % 4; n > 0; --n) {
      switch (m_random() % 5) {
        case 0: text += junk("<"); break;
        case 1: text += misc(); break;
        case 2: text += "<!DOCTYPE x [ > <b/> ]>"; break;
        default: text += element(depth + 1);
      }
    }
    return text + "</" + name + (chance(4) ? " >" : ">");
  }
  std::string damaged(std::string text) {
    if (chance(2)) text.resize(m_random() % (text.size() + 1));
    for (int n = m_random() % 4; n > 0 && !text.empty(); --n) {
      size_t at = m_random() % text.size();
      if (chance(2)) text[at] = strayByte();
      else text.insert(at, pick({"<", ">", "\"", "'", "/", "<a>", "&#x", ";", "\xC3", "\xF0"}));
    }
    return text;
  }

  std::mt19937 m_random;
};

// The scanner and TinyXML both find `expected` levels in the text.
void expectDepth(const std::string& text, TiXmlEncoding encoding, size_t expected) {
  EXPECT_EQ(parse(text, encoding).depth, expected) << "TinyXML, encoding " << encoding << ": " << text;
  EXPECT_EQ(scan(text, encoding), expected) << "encoding " << encoding << ": " << text;
}

TEST(XmlDocDepth, CasesTheOldScannersGotWrong) {
  for (TiXmlEncoding encoding : kEncodings) {
    // "/>" or ">" inside a value does not end the tag: 300 open elements, not 0.
    expectDepth(repeat("<a x=\"/>\">", 300), encoding, 300);
    expectDepth(repeat("<a x='/>' y=\">\">", 300), encoding, 300);
    // Comments are no elements.
    expectDepth(repeat("<!-- c -->", 17) + "<DuctoraProject/>", encoding, 1);
    // A stray byte or a '>' in a value leaves later start tags at their depth.
    expectDepth("<r k=\"\xE9 > x\">" + repeat("<a><b/></a>", 100) + "</r>", encoding, 3);
    // A DOCTYPE ends at its first '>', so its internal subset may hold elements.
    expectDepth("<r><!DOCTYPE x [ > <b><c/></b> ]></r>", encoding, 3);
    expectDepth("<!DOCTYPE r [ <!ELEMENT r ANY> ]><r><b/></r>", encoding, 0);
    // A numeric entity runs to the next ';', over any markup.
    expectDepth("<r>&#x<b><b>x;</r>", encoding, 1);
    expectDepth("<r k='&#<b>#;'><b/></r>", encoding, 2);
    // Cut texts; the text ends at its first zero byte.
    expectDepth("<a k='1'><b", encoding, 2);
    expectDepth("", encoding, 0);
    EXPECT_EQ(scan(std::string("<a>\0<b><c><d>", 14), encoding), 1u);
  }
  EXPECT_EQ(xmldoc_depth(nullptr, 10, TIXML_ENCODING_UTF8), 0u);
  // In UTF-8 a lead byte swallows the '<' of the end tag behind it; a declaration at the
  // top decides the encoding of an unknown one.
  const std::string swallowed = repeat("<a>\xC3</a>", 50);
  expectDepth(swallowed, TIXML_ENCODING_UTF8, 50);
  expectDepth(swallowed, TIXML_ENCODING_UNKNOWN, 1);
  expectDepth("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + swallowed, TIXML_ENCODING_UNKNOWN, 50);
  expectDepth("<?xml version='1.0' encoding='ISO-8859-1'?>" + swallowed, TIXML_ENCODING_UNKNOWN, 1);
  expectDepth("\xEF\xBB\xBF" + swallowed, TIXML_ENCODING_UNKNOWN, 50);
}

TEST(XmlDocDepth, NeverBelowTinyXmlOnRepeatedCraftedPieces) {
  const char* const pieces[] = {
      "<a>", "<a x=\"/>\">", "<a x='>'>", "<?xml version=\"></a>\"?><a>", "<?XML v=\"></a>\"?><a>",
      "<a>\xC3</a>", "<?xml version=\"1.0\"?><a>\xE2</a>", "<a><!-- --></a x><a>", "<a>&#x3c;/a><a>",
      "<\xC3\xA9 x='1'>", "<a \xEF\xBB\xBF x='1'>", "</><a>", "<a>&#x</a>x;", "<a><![CDATA[</a>]]>",
      "<a><?pi </a>?>", "<a><!DOCTYPE [ </a> ]>",
  };
  for (const char* piece : pieces) {
    for (TiXmlEncoding encoding : kEncodings) {
      EXPECT_TRUE(agreesWithTinyXml("<?xml version=\"1.0\"?>" + repeat(piece, 300), encoding));
    }
  }
}

TEST(XmlDocDepth, MatchesTinyXmlOnRandomDocuments) {
  Generator generator(20240611);
  size_t faultless = 0, deepest = 0;
  for (int round = 0; round < 6000; ++round) {
    const std::string text = generator.document();
    for (TiXmlEncoding encoding : kEncodings) {
      Parsed parsed;
      ASSERT_TRUE(agreesWithTinyXml(text, encoding, &parsed));
      if (!parsed.error) {
        ++faultless;
        if (parsed.depth > deepest) deepest = parsed.depth;
      }
    }
  }
  // The generator must keep producing documents TinyXML reads whole, and deep ones.
  EXPECT_GT(faultless, 2000u);
  EXPECT_GT(deepest, 8u);
}

}  // namespace
