// Text conversion between the ANSI code page (UTF-8 here) and wide text (UTF-32).
#include "base_internal.h"
#include <cstring>
#include <cwchar>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool supportedCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_UTF8; }

using standin::decodeUtf8;

bool validCodePoint(uint32_t cp) { return cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF); }

// Length of the run of ASCII bytes at the start of s[0..n), looked at eight at a time:
// long texts (a model's hexadecimal chunks) are ASCII throughout.
size_t asciiRun(const unsigned char* s, size_t n) {
  size_t i = 0;
  for (uint64_t w; i + 8 <= n; i += 8) {
    std::memcpy(&w, s + i, sizeof w);
    if (w & 0x8080808080808080ull) break;
  }
  while (i < n && s[i] < 0x80) ++i;
  return i;
}

// The same for wide characters.
size_t asciiRun(const wchar_t* w, size_t n) {
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    if (((uint32_t)w[i] | (uint32_t)w[i + 1] | (uint32_t)w[i + 2] | (uint32_t)w[i + 3]) >= 0x80) break;
  while (i < n && (uint32_t)w[i] < 0x80) ++i;
  return i;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize) {
  if (!supportedCodePage(codePage) || !text || length == 0 || length < -1 || wideSize < 0 ||
      (wideSize > 0 && !wide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = length == -1 ? std::strlen(text) + 1 : (size_t)length;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
  // First count, then write, so a short buffer is never written past.
  size_t count = 0;
  for (size_t i = 0; i < n;) {
    const size_t run = asciiRun(s + i, n - i);  // plain ASCII, the common case
    i += run;
    count += run;
    if (i >= n) break;
    uint32_t cp;
    size_t len;
    if (!decodeUtf8(s, n, i, cp, len) && strict) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    i += len;
    ++count;
  }
  if (count > (size_t)INT32_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (wideSize == 0) return (int)count;
  if ((size_t)wideSize < count) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  size_t out = 0;
  for (size_t i = 0; i < n;) {
    const size_t run = asciiRun(s + i, n - i);
    for (size_t k = 0; k < run; ++k) wide[out + k] = (wchar_t)s[i + k];
    out += run;
    i += run;
    if (i >= n) break;
    uint32_t cp;
    size_t len;
    if (!decodeUtf8(s, n, i, cp, len)) cp = kReplacement;
    wide[out++] = (wchar_t)cp;
    i += len;
  }
  return (int)count;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR text, int textSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (!supportedCodePage(codePage) || !wide || length == 0 || length < -1 || textSize < 0 ||
      (textSize > 0 && !text) || (codePage == CP_UTF8 && (defaultChar || usedDefaultChar))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = length == -1 ? std::wcslen(wide) + 1 : (size_t)length;
  bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
  const char* fallback = (defaultChar && *defaultChar) ? defaultChar : nullptr;
  bool usedDefault = false;
  auto encode = [&](uint32_t cp, std::string& buf) -> size_t {
    buf.clear();
    if (validCodePoint(cp)) {
      standin::appendUtf8(buf, cp);
    } else {
      usedDefault = true;
      if (fallback) buf = *fallback;
      else standin::appendUtf8(buf, kReplacement);
    }
    return buf.size();
  };
  size_t count = 0;
  std::string buf;
  for (size_t i = 0; i < n; ++i) {
    const size_t run = asciiRun(wide + i, n - i);  // plain ASCII, the common case
    i += run;
    count += run;
    if (i >= n) break;
    uint32_t cp = (uint32_t)wide[i];
    if (!validCodePoint(cp) && strict) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    count += encode(cp, buf);
    if (count > (size_t)INT32_MAX) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  if (count > (size_t)INT32_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  if (textSize == 0) return (int)count;
  if ((size_t)textSize < count) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  size_t out = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t run = asciiRun(wide + i, n - i);
    for (size_t k = 0; k < run; ++k) text[out + k] = (char)wide[i + k];
    out += run;
    i += run;
    if (i >= n) break;
    size_t len = encode((uint32_t)wide[i], buf);
    std::memcpy(text + out, buf.data(), len);
    out += len;
  }
  return (int)count;
}
