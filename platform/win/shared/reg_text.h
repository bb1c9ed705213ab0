// Text forms of the registry: UTF-8 (the process's narrow text), UTF-16LE (stored text
// values and the registry editor's files).
#pragma once
#include <cstdint>
#include <string>

namespace zwin {
// Code points of UTF-16LE bytes (from `begin`, an even count); a lone surrogate stays a
// code point of its own, an odd last byte is left out. False when the text holds a lone
// surrogate.
bool utf16Units(const std::string& bytes, size_t begin, std::u32string& out);
// True when the text is strict UTF-8 throughout.
bool isUtf8(const std::string& text);
// A UTF-16LE file (byte order mark first) as UTF-8 text.
std::string utf16FileToUtf8(const std::string& bytes);
// UTF-8 text as a UTF-16LE file: byte order mark, CR LF line ends.
std::string utf8ToUtf16File(const std::string& text);
}  // namespace zwin
