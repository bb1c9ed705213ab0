#include "text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include "adslib.h"
#include "objbase.h"
#include "windows.h"

namespace {
const int kMessageCapacity = 8192;
const size_t kHandleTextCapacity = 300;
// Ductora names its parts by handle texts of at most this many characters.
const size_t kHandleTextLength = 32;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Drops a character whose last bytes were cut off the end of the text (UTF-8).
void dropCutCharacter(char* text, size_t length) {
  size_t lead = length;
  while (lead > 0 && isContinuationByte(text[lead - 1])) --lead;
  if (lead == 0) return;
  const unsigned char c = static_cast<unsigned char>(text[--lead]);
  const size_t needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (lead + needed > length) text[lead] = '\0';
}
}

int printMessage(const char* format, ...) {
  if (!format) return 0;
  char buffer[kMessageCapacity];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return 0;
  if (n >= kMessageCapacity) dropCutCharacter(buffer, kMessageCapacity - 1);
  return acutPrintf(L"%ls", widen(buffer).c_str());
}

wchar_t* toWide(const char* text, unsigned int codePage) {
  if (!text) return nullptr;
  int length = static_cast<int>(std::strlen(text));
  int needed = MultiByteToWideChar(codePage, 0, text, length + 1, nullptr, 0);
  if (needed < 1) needed = length + 1;
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(needed));
  if (!wide) return nullptr;
  MultiByteToWideChar(codePage, 0, text, length + 1, wide, needed);
  return wide;
}

char* toNarrow(const wchar_t* text, char* buffer, int bufferSize, unsigned int codePage) {
  if (!text || !buffer || bufferSize < 1) return nullptr;
  buffer[0] = '\0';
  int needed = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed < 1) return buffer;
  std::string whole(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, text, -1, &whole[0], needed, nullptr, nullptr);
  whole.resize(static_cast<size_t>(needed - 1));
  size_t n = whole.size() < static_cast<size_t>(bufferSize) ? whole.size() : bufferSize - 1;
  // Cut at a character boundary so a cut text is still valid UTF-8.
  while (n > 0 && n < whole.size() && isContinuationByte(whole[n])) --n;
  std::memcpy(buffer, whole.data(), n);
  buffer[n] = '\0';
  return buffer;
}

std::wstring widen(const char* text) {
  if (!text || !*text) return std::wstring();
  int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (needed < 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], needed);
  wide.resize(static_cast<size_t>(needed - 1));
  return wide;
}

std::wstring widen(const std::string& text) { return widen(text.c_str()); }

std::string narrow(const wchar_t* text) {
  if (!text || !*text) return std::string();
  int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed < 1) return std::string();
  std::string result(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], needed, nullptr, nullptr);
  result.resize(static_cast<size_t>(needed - 1));
  return result;
}

std::string narrow(const std::wstring& text) { return narrow(text.c_str()); }

char* handleToText(const AcDbHandle& handle, char* buffer, size_t size) {
  if (!buffer || size == 0) return buffer;
  buffer[0] = '\0';
  ACHAR wide[kHandleTextCapacity + 1] = {0};
  if (!handle.getIntoAsciiBuffer(wide, kHandleTextCapacity)) return buffer;
  // A shortened handle names another object: a buffer too small gets the empty text.
  if (std::wcslen(wide) >= size) return buffer;
  toNarrow(wide, buffer, static_cast<int>(size));
  return buffer;
}

std::string handleText(const AcDbObjectId& id) {
  char text[kHandleTextLength + 1] = {0};
  if (!id.isNull()) handleToText(id.handle(), text, sizeof text);
  return text;
}

char* copyTrimmed(char* target, const char* source, size_t n) {
  if (!target) return target;
  std::memset(target, 0, n + 1);
  if (!source) return target;
  size_t length = strnlen(source, n);
  std::memcpy(target, source, length);
  while (length > 0 && target[length - 1] == ' ') target[--length] = '\0';
  return target;
}

const char* getField(char* target, const char* source, char separator, int index, int size) {
  if (target && size > 0) target[0] = '\0';
  if (!source || index < 0 || size < 1 || !target) return nullptr;
  const char* p = source;
  for (int skipped = 0; skipped < index; ++skipped) {
    p = std::strchr(p, separator);
    if (!p || *p == '\0') return nullptr;  // separator '\0': the text is one field
    ++p;
  }
  if (*p == '\0') return nullptr;  // an empty last field counts as missing
  int copied = 0;
  while (*p && *p != separator) {
    if (copied < size - 1) target[copied++] = *p;
    ++p;
  }
  target[copied] = '\0';
  return *p != '\0' ? p + 1 : p;
}

std::string joinAddress(const std::string& root, const std::string& path) {
  size_t end = root.size();
  while (end > 0 && root[end - 1] == '/') --end;
  size_t start = 0;
  while (start < path.size() && path[start] == '/') ++start;
  return root.substr(0, end) + "/" + path.substr(start);
}
