#include "charset.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>

namespace {

struct NamedPage {
  const char* name;
  UINT page;
};
// Names of XML encodings that carry no code page number of their own.
const NamedPage kNamedPages[] = {
    {"latin1", 28591},    {"us-ascii", 20127}, {"ascii", 20127},     {"shift_jis", 932}, {"sjis", 932},
    {"euc-jp", 20932},    {"gb2312", 936},     {"gbk", 936},         {"big5", 950},      {"euc-kr", 949},
    {"koi8-r", 20866},    {"koi8-u", 21866},   {"iso-8859-13", 28603}, {"iso-8859-15", 28605},
};

std::string lower(const std::string& text) {
  std::string out;
  for (char c : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The number after one of the prefixes, or 0.
UINT numberAfter(const std::string& name, const char* const* prefixes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const std::string prefix = prefixes[i];
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) continue;
    char* end = nullptr;
    unsigned long number = std::strtoul(name.c_str() + prefix.size(), &end, 10);
    if (*end == '\0' && number > 0 && number < 65536) return static_cast<UINT>(number);
  }
  return 0;
}

// The system's code page of an XML encoding name, or 0.
UINT codePageOf(const std::string& charset) {
  const std::string name = lower(charset);
  for (const NamedPage& named : kNamedPages)
    if (name == named.name) return named.page;
  static const char* const kIso[] = {"iso-8859-", "iso8859-", "iso_8859-"};
  if (UINT part = numberAfter(name, kIso, 3)) return part <= 9 ? 28590 + part : 0;
  static const char* const kNumbered[] = {"windows-", "cp", "ibm", "x-cp"};
  return numberAfter(name, kNumbered, 4);
}

void appendUtf8(std::string& out, const wchar_t* text, int length) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[at], n, nullptr, nullptr);
}

}  // namespace

bool charsetToUtf8(const std::string& bytes, const std::string& charset, std::string& out) {
  const UINT page = codePageOf(charset);
  if (page == 0 || !IsValidCodePage(page)) return false;
  out.clear();
  out.reserve(bytes.size() + bytes.size() / 4);
  for (size_t i = 0; i < bytes.size();) {
    // One character at a time: a lead byte takes its trail byte along.
    const int length = IsDBCSLeadByteEx(page, static_cast<BYTE>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
    wchar_t chars[2];
    int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data() + i, length, chars, 2);
    if (n <= 0) {
      chars[0] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
      n = 1;
      i += 1;
    } else {
      i += static_cast<size_t>(length);
    }
    appendUtf8(out, chars, n);
  }
  return true;
}
