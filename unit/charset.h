// Text of a named character set as UTF-8, through the platform's converters: the C
// library's iconv (charset_posix.cpp), the system's code pages on Windows
// (charset_win32.cpp).
#pragma once
#include <string>

// The bytes of the character set `charset` (an XML encoding name: "ISO-8859-1",
// "windows-1252", ...) as UTF-8 in out; a byte the set does not define becomes the
// character of the same number. False when the platform does not know the set.
bool charsetToUtf8(const std::string& bytes, const std::string& charset, std::string& out);
