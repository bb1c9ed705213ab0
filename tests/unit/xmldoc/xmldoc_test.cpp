// Guards the parse every XML reader goes through: a text nested too deep must be refused
// before TinyXML recurses into it, and a text that ends in a cut UTF-8 sequence must not
// make TinyXML read past the end of what it parses. TinyXML is not built with
// AddressSanitizer, so the test puts every block allocated during the parse right in front
// of an inaccessible page: a read past it faults in any build.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "xmldoc.h"

namespace {

bool g_guarded = false;
struct GuardedBlock {
  char* base;
  size_t span;
};
GuardedBlock g_blocks[512];
size_t g_blockCount = 0;

// A block of size bytes (rounded up to 16 for alignment) that ends where a page nobody may
// read begins.
void* guardedBlock(size_t size) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size = (size + 15) / 16 * 16;
  size_t span = (size + page - 1) / page * page + page;
  void* base = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED || g_blockCount == sizeof g_blocks / sizeof *g_blocks) std::abort();
  char* start = static_cast<char*>(base);
  mprotect(start + span - page, page, PROT_NONE);
  g_blocks[g_blockCount++] = {start, span};
  return start + span - page - size;
}
bool freeGuardedBlock(void* p) {
  for (size_t i = 0; i < g_blockCount; ++i) {
    GuardedBlock& b = g_blocks[i];
    if (p >= static_cast<void*>(b.base) && p < static_cast<void*>(b.base + b.span)) {
      munmap(b.base, b.span);
      b = g_blocks[--g_blockCount];
      return true;
    }
  }
  return false;
}

}  // namespace

void* operator new(size_t size) {
  if (g_guarded) return guardedBlock(size);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p && !freeGuardedBlock(p)) std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

XmlDocStatus parse(TiXmlDocument& doc, const std::string& text, size_t maxDepth,
                   TiXmlEncoding encoding = TIXML_ENCODING_UTF8) {
  return xmldoc_parse(doc, text.data(), text.size(), maxDepth, encoding);
}

TEST(XmlDocParse, DepthIsCheckedBeforeParsing) {
  TiXmlDocument doc;
  EXPECT_EQ(parse(doc, repeat("<a>", 16) + repeat("</a>", 16), 16).result, XMLDOC_OK);
  XmlDocStatus deep = parse(doc, repeat("<a>", 17) + repeat("</a>", 17), 16);
  EXPECT_EQ(deep.result, XMLDOC_TOO_DEEP);
  EXPECT_EQ(deep.description, "Elements are nested deeper than 16 levels");
  EXPECT_EQ(doc.FirstChild(), nullptr) << "nothing of the refused text, nothing of the one before";
  // Parsed, these would overflow the stack.
  EXPECT_EQ(parse(doc, repeat("<a x=\"/>\">", 1000000), 256).result, XMLDOC_TOO_DEEP);
  EXPECT_EQ(parse(doc, repeat("<a>\xC3</a>", 1000000), 256).result, XMLDOC_TOO_DEEP);
}

TEST(XmlDocParse, CutSequencesAndFaultsComeBackAsValues) {
  for (const char* cut : {"<r>\xF0", "<r a='\xE2", "<r>\xC3", "<r>x\xEF\xBB", "<r><![CDATA[\xE0"}) {
    for (TiXmlEncoding encoding : {TIXML_ENCODING_UTF8, TIXML_ENCODING_UNKNOWN}) {
      // A length that fills whole 16-byte units with its terminator: an unpadded copy
      // would end right at the inaccessible page.
      std::string text = std::string("<!-- -->") + cut;
      text.insert(0, 31 - text.size() % 16, ' ');
      std::vector<char> bytes(text.begin(), text.end());  // no terminator behind them
      TiXmlDocument doc;
      g_guarded = true;
      XmlDocStatus status = xmldoc_parse(doc, bytes.data(), bytes.size(), 8, encoding);
      g_guarded = false;
      EXPECT_EQ(status.result, XMLDOC_BAD_XML) << cut;
      EXPECT_EQ(status.description, doc.ErrorDesc()) << cut;
    }
  }
  TiXmlDocument doc;
  XmlDocStatus bad = parse(doc, "<r>\n<a></b></r>", 8);
  EXPECT_EQ(bad.result, XMLDOC_BAD_XML);
  EXPECT_FALSE(bad.description.empty());
  EXPECT_EQ(bad.description, doc.ErrorDesc());
  EXPECT_EQ(doc.ErrorRow(), 2);
  EXPECT_EQ(parse(doc, "", 8).result, XMLDOC_BAD_XML);
}

TEST(XmlDocParse, TextEndsAtItsFirstZeroAndKeepsItsEncoding) {
  TiXmlDocument doc;
  ASSERT_EQ(parse(doc, "<old/>", 8).result, XMLDOC_OK);
  ASSERT_EQ(parse(doc, std::string("<r>&#xE9;</r>\0<a><b>", 20), 1).result, XMLDOC_OK);
  ASSERT_NE(doc.RootElement(), nullptr);
  EXPECT_EQ(doc.RootElement()->NextSibling(), nullptr) << "the old document was cleared";
  EXPECT_STREQ(doc.RootElement()->GetText(), "\xC3\xA9");
  ASSERT_EQ(parse(doc, "<r>&#xE9;</r>", 1, TIXML_ENCODING_UNKNOWN).result, XMLDOC_OK);
  EXPECT_STREQ(doc.RootElement()->GetText(), "\xE9");
}

}  // namespace
