// Text of DXF files. Files before AC1021 hold text in the code page that $DWGCODEPAGE
// names, files from AC1021 on in UTF-8; both escape other characters as \U+XXXX.
#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace dxf {
class Codec {
 public:
  // Windows code page 1252, the default of R2000 files.
  Codec();
  // The codec of a drawing from its header values. A code page the host does not know is
  // read as code page 1252, whose bytes come back unchanged when written again.
  static Codec forDrawing(const std::string& acadver, const std::string& codePage);

  // Decodes the file's bytes and \U+XXXX escapes; a byte the code page does not define
  // becomes the character of the same number.
  std::wstring decode(std::string_view bytes) const;
  // Appends text in the file's form: characters outside the code page and control
  // characters as \U+XXXX, a backslash that would start such an escape as \U+005C. The
  // text always reads back as it stands.
  void append(std::string& out, const std::wstring& text) const;
  std::string encode(const std::wstring& text) const;

  bool utf8() const { return m_utf8; }
  // The $DWGCODEPAGE value written with this codec ("ANSI_1252").
  const std::string& pageName() const { return m_page; }

 private:
  void appendEach(std::string& out, const std::wstring& text, bool escapeBeyondAscii) const;

  struct Converters;
  bool m_utf8 = false;
  std::string m_page = "ANSI_1252";
  std::shared_ptr<Converters> m_conv;  // null for code page 1252 and UTF-8
};
}  // namespace dxf
