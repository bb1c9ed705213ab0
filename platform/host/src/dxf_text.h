// Text of DXF R2000 files: Windows code page 1252, other characters as \U+XXXX.
#pragma once
#include <string>

namespace dxf {
// Characters outside code page 1252 and control characters become \U+XXXX.
void appendEncoded(std::string& out, const std::wstring& text);
std::string encode(const std::wstring& text);
// Decodes code page 1252 (or UTF-8 when utf8 is set) and \U+XXXX escapes.
std::wstring decode(const std::string& bytes, bool utf8);
}
