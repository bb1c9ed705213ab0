// BSTR strings: a 32-bit byte length stored just before the characters, then the
// characters, then a terminating zero that the length does not count.
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include "objbase.h"

namespace {
const size_t kPrefix = sizeof(uint32_t);
// The byte length must fit the 32-bit prefix.
const size_t kMaxChars = (0xFFFFFFF0u / sizeof(OLECHAR)) - 1;

uint32_t* prefixOf(BSTR text) { return reinterpret_cast<uint32_t*>(text) - 1; }
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxChars) return nullptr;
  size_t bytes = size_t(length) * sizeof(OLECHAR);
  void* block = std::calloc(1, kPrefix + bytes + sizeof(OLECHAR));
  if (!block) return nullptr;
  *static_cast<uint32_t*>(block) = uint32_t(bytes);
  BSTR result = reinterpret_cast<BSTR>(static_cast<char*>(block) + kPrefix);
  if (text && length) std::memcpy(result, text, bytes);
  return result;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  size_t n = std::wcslen(text);
  if (n > kMaxChars) return nullptr;
  return SysAllocStringLen(text, UINT(n));
}

UINT SysStringLen(BSTR text) { return text ? UINT(*prefixOf(text) / sizeof(OLECHAR)) : 0; }

UINT SysStringByteLen(BSTR text) { return text ? UINT(*prefixOf(text)) : 0; }

void SysFreeString(BSTR text) {
  if (text) std::free(prefixOf(text));
}
