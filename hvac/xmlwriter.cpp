#include "xmlwriter.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
const size_t kGrowth = 1024;       // the text grows in steps of at least this
const size_t kLocalFormat = 256;   // ordinary elements are formatted without the heap
}

void xmlStringWriter::xmlAppend(const char* text) {
  if (!text) return;
  const size_t added = std::strlen(text);
  if (m_text.size() + added > m_text.capacity()) m_text.reserve(m_text.size() + added + kGrowth);
  m_text.append(text, added);
}

void xmlStringWriter::xmlAppendf(const char* format, ...) {
  if (!format) return;
  char local[kLocalFormat] = {0};
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(local, sizeof local, format, args);
  va_end(args);
  if (n >= 0 && static_cast<size_t>(n) < sizeof local) {
    va_end(again);
    xmlAppend(local);
    return;
  }
  // Too long for the local buffer: format once more into a block of the exact size.
  std::vector<char> block(n > 0 ? static_cast<size_t>(n) + 1 : 2 * sizeof local, '\0');
  std::vsnprintf(block.data(), block.size(), format, again);
  va_end(again);
  xmlAppend(block.data());
}

std::string xmlStringWriter::xmlEscape(const char* text) {
  static const struct {
    char character;
    const char* entity;
  } kEntities[] = {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&apos;"}};
  std::string escaped;
  if (!text) return escaped;
  for (const char* p = text; *p; ++p) {
    const char* entity = nullptr;
    for (const auto& e : kEntities)
      if (e.character == *p) entity = e.entity;
    if (entity)
      escaped += entity;
    else
      escaped += *p;
  }
  return escaped;
}
