// The depth scanner in front of every XML reader against TinyXML on raw bytes, in both
// encodings the readers use: it stops on a text the scanner finds shallower than TinyXML
// builds it, or one TinyXML reads without a fault at another depth.
#include <cstdint>
#include <cstdlib>

#include "../unit/xmldoc/tree_depth.h"
#include "xmldoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  for (TiXmlEncoding encoding : {TIXML_ENCODING_UNKNOWN, TIXML_ENCODING_UTF8}) {
    const size_t scanned = xmldoc_depth(text, size, encoding);
    TiXmlDocument doc;
    // Deeper texts are refused by every reader; TinyXML would exhaust the fuzzer's stack.
    if (xmldoc_parse(doc, text, size, 1000, encoding).result == XMLDOC_TOO_DEEP) continue;
    const size_t built = treeDepth(doc);
    if (scanned < built || (!doc.Error() && scanned != built)) std::abort();
  }
  return 0;
}
